#pragma once

#include "history/DrawDeriver.h"
#include "history/DrawRecord.h"

#include <QDate>
#include <QString>
#include <vector>

class Database;

// The draw history: table Lishi and its snapshot in ascending issue order (the time order).
// Every write runs in one transaction and reloads the snapshot afterwards.
class HistoryStore
{
public:
    explicit HistoryStore(Database* db);

    // Reads the snapshot afresh. A read that stops early (a damaged page, a failing disk) fails
    // with the database's damage message and leaves the snapshot empty.
    bool reload(QString* error);
    const std::vector<DrawRecord>& draws() const { return m_draws; }
    bool isEmpty() const { return m_draws.empty(); }
    const DrawRecord* newest() const { return m_draws.empty() ? nullptr : &m_draws.back(); }
    // The numbers the next derived draw is chained from: the newest stored draw, or 0, 0, 0.
    PreviousDraw lastDrawMemory() const;
    bool contains(const QString& issue) const;

    // Where a draw typed by hand went: the stored draws just before and after it (`after` empty
    // when it became the newest draw, `before` empty in an empty history).
    struct Placement
    {
        DrawRecord stored;
        QString before;
        QString after;
        bool filledGap() const { return !after.isEmpty(); }
    };
    // Derives a draw typed by hand and stores it in its place in issue order: after the newest
    // draw, or into a gap of the history (then chained from the draw before it, and the draw after
    // it chained again from it). An issue before the oldest stored draw is refused.
    bool addTyped(const QString& issue, const std::array<int, 3>& numbers, int drawsPerDay, QString* error,
                  Placement* placement = nullptr);
    // The same for a lottery that numbers its draws with a running count (北京快3): the issue is
    // digits only; its issue columns are those of the online update (SQH = issue MOD 100,
    // QH = SQH + 1) and its date columns `today`'s, since the issue holds no date.
    bool addTypedRunningCount(const QString& issue, const std::array<int, 3>& numbers, const QDate& today,
                              QString* error, Placement* placement = nullptr);
    // Appends complete records; refuses (and stores nothing) when an issue is already stored or
    // repeated within the batch, or when another program changed the history since the snapshot
    // was read (see changedElsewhere()).
    bool append(const std::vector<DrawRecord>& records, QString* error);
    // Inserts complete records wherever they fall in issue order and rewrites the stored draws in
    // `rederived` (matched by issue) with their new columns, in one transaction; refuses like
    // append(), and when a draw to rewrite is not stored.
    bool insert(const std::vector<DrawRecord>& records, const std::vector<DrawRecord>& rederived,
                QString* error);
    // True when the last write stored nothing because the history in the file was no longer the
    // snapshot (another program had written): the snapshot has been read again since.
    bool changedElsewhere() const { return m_changedElsewhere; }
    // Counts the times the snapshot was read: a window that shows it compares the count to learn
    // that a write which failed still read it afresh (another program had changed it).
    quint64 generation() const { return m_generation; }
    // The online update's write: when removeStored, every stored draw is deleted; then records are
    // appended. One transaction: on any failure (or an issue already stored and kept, or repeated
    // within the batch) the history stays exactly as it was.
    bool replaceAndAppend(bool removeStored, const std::vector<DrawRecord>& records, QString* error);

    // Deletions return the number of draws removed, or -1 on failure (nothing removed).
    int deleteLast(int count, QString* error);
    int deleteAfter(const QString& keepUpTo, QString* error); // removes every draw with strQQH > keepUpTo
    // Checks an answer to "删除到选定期(&D)" (and `history delete --after`): blanks trimmed, digits
    // only, the last three not all 0, and not an issue before the oldest stored draw, which would
    // delete the whole history ("删除所有历史" does that). *keepUpTo receives the issue to keep up to.
    static bool checkKeepUpTo(const QString& answer, const std::vector<DrawRecord>& draws, QString* keepUpTo,
                              QString* error);
    int deleteAll(QString* error);

private:
    bool read(std::vector<DrawRecord>* draws, QString* error);
    // Merges the typed draw into the snapshot and stores it; derived again from the history as
    // stored when another program changed it meanwhile.
    bool addDerived(const DrawInput& input, Placement* placement, QString* error);
    bool write(bool removeStored, const std::vector<DrawRecord>& records,
               const std::vector<DrawRecord>& rederived, QString* error);
    // After a committed write: the loaded history takes the written draws in issue order.
    void applyWritten(bool removeStored, const std::vector<DrawRecord>& records,
                      const std::vector<DrawRecord>& rederived);
    // Inside a write transaction: reads the history again when another program committed since
    // the snapshot was read (SQLite's data version tells), and says whether it differs.
    bool refreshInTransaction(bool* changed, QString* error);
    int deleteWhere(const QString& whereClause, const QVariantList& binds, QString* error);

    Database* m_db;
    std::vector<DrawRecord> m_draws;
    bool m_changedElsewhere = false;
    qint64 m_dataVersion = -1; // the database's data version when the snapshot was read
    quint64 m_generation = 0;
};
