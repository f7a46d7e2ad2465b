#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <array>
#include <vector>

// A draw as written on one line of a history text.
struct TextDraw
{
    int lineNumber = 0;
    QString issue;
    std::array<int, 3> numbers{}; // 百位, 十位, 个位
    bool runningCount = false;    // a 北京快3 running count rather than a dated issue
    QDate date;                   // the draw date written on the line, when there is one
};

// A line that holds no readable draw, with the reason in Chinese.
struct UnreadLine
{
    int lineNumber = 0;
    QString text;
    QString reason;
    QString issue; // the issue on the line, when one was read
};

// Reads draws from the history texts users have, recognised by content rather than by file name:
// - the program's own text export: "ISSUE DDD" lines;
// - a table saved as CSV (comma or semicolon) or TSV, or a workbook's sheet, with an issue column
//   and either three number columns or one column holding the three numbers ("3 5 6", "3,5,6",
//   "356"), with or without heading rows;
// - text copied from a results page: every line holding an issue followed by three numbers 1..6
//   with any separators; dates, times and words on the line are passed over, and lines without
//   an issue are ignored.
// Issues are read in every form IssueText knows and kept as nine digits. Where a one-number field
// beside the numbers makes rows readable in more than one way (a sum, a count, a day), the layout
// is chosen by LayoutChoice: a sum column is never read as numbers, and a history that two layouts
// read equally well but differently is refused as ambiguous, with a row read both ways.
class HistoryTextReader
{
public:
    enum class Format
    {
        Empty,
        OwnExport,
        Table,
        ResultsPage
    };

    struct Options
    {
        // The current lottery counts its draws (北京快3): five- and six-digit issues are read too.
        bool runningCount = false;
        // Dates written without a year (05-01, 5月1日) fall in this day's year, or the last year
        // for December dates read in January.
        QDate today = QDate::currentDate();
    };

    struct Result
    {
        Format format = Format::Empty;
        QChar delimiter; // of a table
        std::vector<TextDraw> draws;
        std::vector<UnreadLine> unread;
        int ignoredLines = 0; // heading rows of a table, lines without an issue on a page
        // Where the numbers were found ("期号在第1列，开奖号码在第4到6列，第3列是和值"); empty for the
        // export.
        QString layout;
        // Rows that read two ways equally well: the message with a row read both ways. Nothing is
        // read then (draws and unread are empty).
        QString ambiguity;
    };

    static Result read(const QStringList& lines, const Options& options);
    static Result read(const QByteArray& bytes, const Options& options);
    // A workbook's sheet: the rows' cells, read by the table rules (or as page text when no cell
    // holds an issue by itself, for a date and a sequence number in two cells).
    static Result readCells(const std::vector<QStringList>& rows, const Options& options);
    // A sheet's rows as the lines readCells() reads: cells separated by tabs.
    static QStringList cellLines(const std::vector<QStringList>& rows);
    // The format's name as the preview shows it.
    static QString formatName(const Result& result);

private:
    static Result readOwnExport(const QStringList& lines, const Options& options);
    static Result readTable(const QStringList& lines, QChar delimiter, const Options& options);
    static Result readPage(const QStringList& lines, const Options& options);
};
