#include "formula/FormulaClearAll.h"

#include "store/Database.h"

#include <QSqlError>
#include <QSqlQuery>

QString FormulaClearAll::title()
{
    return QStringLiteral("清空所有公式");
}

QString FormulaClearAll::question()
{
    return QStringLiteral("清空所有公式后将无法恢复，是否清空所有类别的公式？");
}

bool FormulaClearAll::clearAll(Database* db, QString* error)
{
    Transaction tx(db->connection());
    return tx.begin(error) && clearAllInTransaction(db, error) && tx.commit(error);
}

bool FormulaClearAll::clearAllInTransaction(Database* db, QString* error)
{
    QSqlQuery q(db->connection());
    for (const QString& table : Database::formulaTables()) {
        if (!q.exec(QStringLiteral("DELETE FROM \"%1\"").arg(table))) {
            *error = QStringLiteral("无法清空公式表%1：%2")
                         .arg(table, Database::errorText(q.lastError(), db->filePath()));
            return false;
        }
    }
    return true;
}
