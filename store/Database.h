#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QStringList>
#include <functional>

// The program's database "formula.mdb" (an SQLite file). Creates the schema when the file is
// new, adds missing tables and columns to an older file, and refuses a file that is not a
// database without touching it.
class Database
{
public:
    static const QStringList& formulaTables(); // Gongshi1D, Gongshi2D, Gongshi3D, Gongshi2G, Gongshi3G

    // How long a statement waits for another program's lock on the file before it fails.
    static constexpr int kBusyTimeoutMs = 5000;
    // True when a statement failed because another connection holds the file locked.
    static bool isLocked(const QSqlError& error);
    // The text for a failed statement on the database file `filePath`: a lock held by another
    // program is named as such, since the user's remedy is to close that program; a full disk or a
    // file the system would not write names the file; anything else is the driver's text.
    static QString errorText(const QSqlError& error, const QString& filePath = QString());
    // True when a statement failed because the file could not be written: the disk is full, or the
    // system refused the write (a file-size limit, a failing disk, a read-only file).
    static bool isWriteFailure(const QSqlError& error);

    // The history table "Lishi" holds one integer column per derived draw parameter; their names
    // come from the history's parameter table, in its order.
    Database(const QString& filePath, const QStringList& drawParameterColumns);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    bool open(QString* error);
    void close();
    bool isOpen() const;
    QSqlDatabase connection() const;
    const QString& filePath() const { return m_filePath; }

    // Rewrites the file compactly: a copy is made as "formulaTmp.mdb" beside it, then swapped in
    // only once complete; the copy stays until the next compaction. Reopens the connection.
    bool compact(QString* error);

    // A consistent copy of the open database written as the new file `path` through SQLite's online
    // backup, so another program may go on reading meanwhile. The copy is written under a name of its
    // own and renamed to `path` only once complete: a copy cut off (a full disk) is removed.
    bool backupTo(const QString& path, QString* error) const;
    // Replaces the whole content of the open database by that of the database file `path`, as one
    // write: on failure the database stays as it was. The connection is reopened afterwards.
    bool restoreFrom(const QString& path, QString* error);
    // Runs when open() finds an existing file of this program that lacks a table or a column, before
    // anything is added to it; false (with a message) refuses the opening.
    void setBeforeUpgrade(std::function<bool(QString* error)> hook) { m_beforeUpgrade = std::move(hook); }

private:
    bool ensureSchema(QString* error);
    // True when every table and column is there, or when the file holds none of them yet (new).
    bool schemaIsCurrentOrNew() const;
    bool ensureTable(const QString& table, const QList<QPair<QString, QString>>& columns, QString* error);

    QString m_filePath;
    QStringList m_drawParameterColumns;
    QString m_connectionName;
    std::function<bool(QString* error)> m_beforeUpgrade;
};

// One write transaction: takes the file's write lock at begin() (waiting for another program's
// write to end) and rolls back unless commit() succeeded.
class Transaction
{
public:
    explicit Transaction(QSqlDatabase db);
    ~Transaction();
    bool begin(QString* error);
    bool commit(QString* error);

private:
    QSqlDatabase m_db;
    bool m_active = false;
};
