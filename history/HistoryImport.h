#pragma once

#include "history/DrawRecord.h"
#include "history/HistoryTextReader.h"
#include "store/WorkbookReader.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class HistoryStore;

// What a history import reads: the lines of a text, or the sheets of a workbook.
struct HistoryImportSource
{
    QString refusal; // the bytes are neither a text nor a workbook that can be read
    QStringList lines;
    std::vector<WorkbookSheet> sheets;
    QString workbookKind; // "Excel 工作簿（.xlsx）", "旧版 Excel 工作簿（.xls）"; empty for a text

    bool isWorkbook() const { return !workbookKind.isEmpty(); }
};

// What importing a history text would do, worked out before anything is stored.
struct HistoryImportPlan
{
    HistoryTextReader::Result read; // the format found and the lines as read
    // Draws to store in issue order, each chained from the draw just before it (stored or new):
    // new draws after the newest stored one and draws that fill gaps between stored ones.
    std::vector<DrawRecord> toAdd;
    int gapFills = 0; // of toAdd: the draws that fall between stored draws
    // Stored draws after a gap filled, chained again from their new previous draw (only those
    // whose columns change).
    std::vector<DrawRecord> rederived;
    int alreadyStored = 0;          // draws the history holds already with the same numbers
    std::vector<UnreadLine> unread; // lines not read or refused, by line number
    QString baseIssue;              // the newest stored issue when planned (empty history: empty)
    quint64 generation = 0;         // the store's snapshot the plan was derived from
    // Why nothing can be read: bytes that are no text, a damaged workbook, rows that read two ways.
    // Nothing else is set then, except the workbook's sheets.
    QString refusal;
    QString workbookKind; // a workbook: its kind, the names of its sheets and the one read
    QStringList sheetNames;
    int sheet = -1;
    // The lines the first and last draws to add were read from, as the preview shows them.
    QString firstLine;
    QString lastLine;

    QString firstIssue() const { return toAdd.empty() ? QString() : toAdd.front().issue; }
    QString lastIssue() const { return toAdd.empty() ? QString() : toAdd.back().issue; }
    int newDraws() const { return int(toAdd.size()) - gapFills; }
    // "第N行：reason" for every unread line.
    QStringList problems() const;
    // The format as the preview names it, with the workbook's sheet and where the numbers stand.
    QString formatText() const;
};

// Adds the draws of a history text (see HistoryTextReader for the formats) as the hand entry
// does, each chained from the draw before it in issue order: after the newest stored draw, and
// into gaps of the stored history (a draw skipped by an earlier import), when the stored draws
// after a gap are chained again from the draw filled in. Draws already stored with the same
// numbers are skipped. Refused, and listed as unread: a stored issue with other numbers, an issue
// listed twice with different numbers, an issue older than the oldest stored draw, an issue
// without a real date.
class HistoryImport
{
public:
    struct Options
    {
        int drawsPerDay = 0;
        bool runningCount = false; // 北京快3
        QDate today = QDate::currentDate();
        QString lottery; // the lottery's name, for messages
        int sheet = -1;  // of a workbook, from 0; -1: the first
    };

    // The bytes as a text (see TextFileCodec) or, when they are a zip or an OLE2 file, as a
    // workbook; else the refusal.
    static HistoryImportSource source(const QByteArray& bytes);
    static HistoryImportPlan plan(const HistoryStore& store, const HistoryImportSource& source,
                                  const Options& options);
    static HistoryImportPlan plan(const HistoryStore& store, const QStringList& lines,
                                  const Options& options);
    // Bytes that are no text (neither UTF-8 nor GBK nor marked UTF-16/32) and no workbook give a
    // plan with only the refusal.
    static HistoryImportPlan plan(const HistoryStore& store, const QByteArray& bytes, const Options& options);
    // The message when a plan holds no draw at all (read or unread).
    static QString nothingFoundText(const HistoryImportPlan& plan, bool runningCountLottery);
    // Stores the plan's draws and its re-chained draws in one transaction; refuses when the history changed
    // since the plan (also in another program: then store->changedElsewhere() and the history is read again).
    static bool store(HistoryStore* store, const HistoryImportPlan& plan, QString* error);
    // plan() and store() without a preview: a plan `accept`s is stored, and planned again from the
    // history as stored when another program changed it in between. False with an empty error when
    // `accept` refused the plan, with the reason when storing failed.
    static bool planAndStore(HistoryStore* store, const HistoryImportSource& source, const Options& options,
                             const std::function<bool(const HistoryImportPlan&)>& accept,
                             HistoryImportPlan* plan, QString* error);

    // All or nothing: any unread line stores nothing and is named in `problems`. Returns the
    // number of draws added, or -1.
    static int importText(HistoryStore* store, const QByteArray& content, int drawsPerDay,
                          QStringList* problems);
};
