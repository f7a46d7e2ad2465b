#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

// What a database file holds, for telling "exactly as before" from "exactly as after" from
// anything in between. Opening it the way the program does rolls back a transaction that a killed
// program left behind, as the next program to open the file would.
struct DatabaseContent
{
    QString integrity;            // the answer of PRAGMA integrity_check ("ok"), or why it failed
    QMap<QString, qint64> counts; // rows per table
    QByteArray digest;            // of the schema and every row of every table, in a fixed order

    static DatabaseContent read(const QString& path);
    // The same as `other`: the counts first (cheap), then the digest.
    bool sameAs(const DatabaseContent& other) const
    {
        return counts == other.counts && digest == other.digest;
    }
};
