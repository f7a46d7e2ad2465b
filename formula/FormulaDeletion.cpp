#include "formula/FormulaDeletion.h"

#include "formula/FormulaTableStore.h"
#include "store/Database.h"

#include <QSqlError>
#include <QSqlQuery>

int FormulaDeletion::deleteRows(Database* db, const FormulaKind& kind, const std::vector<FormulaRecord>& rows,
                                QString* error)
{
    QSqlDatabase connection = db->connection();
    const QString table = kind.tableName();
    Transaction tx(connection);
    if (!tx.begin(error))
        return -1;
    QSqlQuery q(connection);
    int deleted = 0;
    // A row that no longer holds its formula was changed by another program (a deletion, a
    // rebuild or a compaction gives rows new rowids): then nothing is deleted.
    q.prepare(QStringLiteral("DELETE FROM \"%1\" WHERE rowid = ? AND %2")
                  .arg(table, QLatin1String(FormulaTableStore::kSameFormulaTest)));
    for (const FormulaRecord& r : rows) {
        q.addBindValue(r.rowId);
        FormulaTableStore::bindFormula(&q, r);
        if (!q.exec()) {
            *error = QStringLiteral("删除公式失败：%1。公式没有改变。")
                         .arg(Database::errorText(q.lastError(), db->filePath()));
            return -1;
        }
        if (q.numRowsAffected() != 1) {
            *error =
                QStringLiteral("另一个程序刚刚改动了公式表%1，这次没有删除任何公式。公式列表已经重新读取，"
                               "请重新选择。")
                    .arg(table);
            return kChangedElsewhere;
        }
        ++deleted;
    }
    QSqlQuery order(connection);
    if (!order.exec(QStringLiteral("SELECT rowid FROM \"%1\" ORDER BY idx, rowid").arg(table))) {
        *error = QStringLiteral("公式重新编号失败：%1。公式没有改变。")
                     .arg(Database::errorText(order.lastError(), db->filePath()));
        return -1;
    }
    std::vector<qint64> remaining;
    while (order.next())
        remaining.push_back(order.value(0).toLongLong());
    if (order.lastError().isValid()) {
        *error = db->readFailure(QStringLiteral("公式重新编号失败"), order.lastError());
        return -1;
    }
    q.prepare(QStringLiteral("UPDATE \"%1\" SET idx = ? WHERE rowid = ?").arg(table));
    for (size_t i = 0; i < remaining.size(); ++i) {
        q.bindValue(0, int(i + 1));
        q.bindValue(1, remaining[i]);
        if (!q.exec()) {
            *error = QStringLiteral("公式重新编号失败：%1。公式没有改变。")
                         .arg(Database::errorText(q.lastError(), db->filePath()));
            return -1;
        }
    }
    if (!tx.commit(error))
        return -1;
    return deleted;
}
