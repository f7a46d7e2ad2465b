#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QStringList>
#include <functional>

// The program's database "formula.mdb" (an SQLite file in SQLite's rollback-journal mode).
// Creates the schema when the file is new, adds missing tables and columns to an older file, and
// refuses a file that is not a database, or a damaged one, without touching it. Other programs
// may have the same file open: every change runs under SQLite's own locking, and the file is never
// replaced while open.
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
    // The message for a database that fails its check or a read: damaged, left as it is.
    static QString damagedText(const QString& filePath, const QString& detail);

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

    // Rewrites the file compactly in place (SQLite's VACUUM on this connection): it waits for the
    // other programs' reads and writes to end and keeps them out until done; a failure leaves the
    // file as it was. Formula rows may get new rowids (the tables are read afresh afterwards).
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
    // True when the file or its folder cannot be written: the data can still be read and
    // analysed, but nothing can be stored (back-tests skip writing their figures back).
    bool isReadOnly() const { return m_readOnly; }
    // SQLite's data version of this connection: it changes whenever another connection (another
    // program) has committed a change to the file. A snapshot read with an older value may be stale.
    qint64 dataVersion(QString* error) const;
    // The error of a read that stopped early (`what` names the read): the file is checked with
    // PRAGMA quick_check, and a damaged file is reported as such.
    QString readFailure(const QString& what, const QSqlError& error) const;

private:
    // "ok", or what PRAGMA quick_check found; empty with *error set when it could not run.
    QString quickCheck(QString* error) const;
    bool schemaIsWhole(bool* whole, QString* error) const;
    bool ensureSchema(QString* error);
    // True when every table and column is there, or when the file holds none of them yet (new).
    bool schemaIsCurrentOrNew() const;
    bool ensureTable(const QString& table, const QList<QPair<QString, QString>>& columns, QString* error);

    QString m_filePath;
    QStringList m_drawParameterColumns;
    QString m_connectionName;
    std::function<bool(QString* error)> m_beforeUpgrade;
    bool m_readOnly = false;
};

// One write transaction: takes the file's write lock at begin() (waiting for another program's
// write to end) and rolls back unless commit() succeeded. A failed write (a full disk) is rolled
// back on the spot, so the file is whole by itself afterwards and no hot journal is left beside it.
class Transaction
{
public:
    explicit Transaction(QSqlDatabase db);
    ~Transaction();
    bool begin(QString* error);
    bool commit(QString* error);

private:
    // Rolls back, then makes SQLite restore the file from its journal at once (a read does it),
    // rather than leave that to the next program that opens the file. False when the journal is
    // still there afterwards.
    bool rollBack();

    QSqlDatabase m_db;
    bool m_active = false;
};
