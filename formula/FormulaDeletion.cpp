#include "formula/FormulaDeletion.h"

#include "store/Database.h"

#include <QSqlError>
#include <QSqlQuery>

int FormulaDeletion::deleteRows(Database* db, const FormulaKind& kind, const std::vector<qint64>& rowIds,
                                QString* error)
{
    QSqlDatabase connection = db->connection();
    const QString table = kind.tableName();
    Transaction tx(connection);
    if (!tx.begin(error))
        return -1;
    QSqlQuery q(connection);
    int deleted = 0;
    q.prepare(QStringLiteral("DELETE FROM \"%1\" WHERE rowid = ?").arg(table));
    for (qint64 id : rowIds) {
        q.bindValue(0, id);
        if (!q.exec()) {
            *error = QStringLiteral("删除公式失败：%1。公式没有改变。")
                         .arg(Database::errorText(q.lastError(), db->filePath()));
            return -1;
        }
        deleted += q.numRowsAffected();
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
