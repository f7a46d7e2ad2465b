#include "DatabaseContent.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QUuid>

DatabaseContent DatabaseContent::read(const QString& path)
{
    DatabaseContent content;
    if (!QFileInfo(path).isFile()) {
        content.integrity = QStringLiteral("no file");
        return content;
    }
    const QString name = QStringLiteral("content-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (!db.open()) {
            content.integrity = db.lastError().text();
        } else {
            QSqlQuery q(db);
            content.integrity = q.exec(QStringLiteral("PRAGMA integrity_check")) && q.next()
                                    ? q.value(0).toString()
                                    : q.lastError().text();
            QCryptographicHash hash(QCryptographicHash::Sha1);
            QStringList tables;
            q.exec(QStringLiteral("SELECT name, sql FROM sqlite_master ORDER BY name"));
            while (q.next()) {
                hash.addData(q.value(1).toString().toUtf8());
                if (!q.value(1).toString().startsWith(QLatin1String("CREATE TABLE")))
                    continue;
                tables << q.value(0).toString();
            }
            for (const QString& table : tables) {
                QSqlQuery rows(db);
                rows.exec(QStringLiteral("SELECT count(*) FROM \"%1\"").arg(table));
                content.counts[table] = rows.next() ? rows.value(0).toLongLong() : -1;
                QStringList columns;
                rows.exec(QStringLiteral("PRAGMA table_info(\"%1\")").arg(table));
                while (rows.next())
                    columns << QStringLiteral("quote(\"%1\")").arg(rows.value(1).toString());
                // SQLite builds the rows' text and sorts it: row order and rowids do not count
                // (a compaction may renumber rowids), only what the rows hold.
                rows.exec(QStringLiteral(
                              "SELECT group_concat(r, char(10)) FROM (SELECT %1 AS r FROM \"%2\" ORDER BY r)")
                              .arg(columns.join(QStringLiteral("||','||")), table));
                hash.addData(table.toUtf8());
                if (rows.next())
                    hash.addData(rows.value(0).toString().toUtf8());
            }
            content.digest = hash.result();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return content;
}
