#pragma once

#include "formula/FormulaKind.h"
#include "formula/FormulaRecord.h"
#include "formula/FormulaStats.h"

#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

class Database;
class QSqlQuery;

// The five formula tables of the database. Every write runs in one transaction and leaves the
// table unchanged when it fails. Rows are addressed by their rowId, which stays valid until the
// table is prepared again.
class FormulaTableStore
{
public:
    explicit FormulaTableStore(Database* db);

    // The nine columns of a formula table, in table order.
    static const QStringList& columnNames();

    // The current subset: the kind's formulas of one sense (kill or keep), in idx order.
    bool loadSubset(const FormulaKind& kind, bool kill, std::vector<FormulaRecord>* out,
                    QString* error) const;
    // Every formula of the kind's table, kill and keep alike, in idx order.
    bool loadTable(const FormulaKind& kind, std::vector<FormulaRecord>* out, QString* error) const;
    // Appends formulas (gongshi, gongshiCN, bolKill taken from each record) after the table's last idx,
    // in the order given; their statistics stay empty.
    bool append(const FormulaKind& kind, const std::vector<FormulaRecord>& records, QString* error);
    // Rebuilds the table: rows that repeat an earlier row's (bolKill, gongshi, gongshiCN) are dropped,
    // the table gets exactly the nine columns (the statistics emptied, as for a new formula), and idx
    // runs 1..n in the order of the kept rows' first occurrence (the list order: idx, then insertion order).
    bool prepareGongshiTable(const FormulaKind& kind, QString* error);
    // Writes back a back-test: renumbers the whole table idx = 1..n in idx order and stores stats[i]
    // for rows[i] (read from this table); the rows not given (the other sense) keep theirs. When a
    // row no longer holds its formula (another program changed the table since it was read),
    // nothing is stored and changedElsewhere() is true.
    bool writeStatistics(const FormulaKind& kind, const std::vector<FormulaRecord>& rows,
                         const std::vector<FormulaStats>& stats, QString* error);
    bool changedElsewhere() const { return m_changedElsewhere; }
    // Nothing can be stored: back-tests then skip writing their figures back.
    bool isReadOnly() const;

    // The condition that a row still holds the formula `r` was read as, and its three values in
    // that order: rows are written by rowid only while they hold what the caller saw.
    static const char* const kSameFormulaTest;
    static void bindFormula(QSqlQuery* q, const FormulaRecord& r);

    // The same writes for a caller that already holds a Transaction on the connection (a whole file
    // import is one transaction): they neither begin nor commit, and leave the rollback to the caller.
    bool appendInTransaction(const FormulaKind& kind, const std::vector<FormulaRecord>& records,
                             QString* error);
    bool prepareGongshiTableInTransaction(const FormulaKind& kind, QString* error);
    // Renumbers the whole table idx = 1..n in list order (idx, then insertion order).
    bool renumberInTransaction(const FormulaKind& kind, QString* error);

private:
    bool load(const QString& sql, const QVariantList& binds, std::vector<FormulaRecord>* out,
              QString* error) const;

    Database* m_db;
    bool m_changedElsewhere = false;
};
