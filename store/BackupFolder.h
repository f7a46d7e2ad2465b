#pragma once

#include <QDateTime>
#include <QString>
#include <array>
#include <cstddef>
#include <vector>

class Database;

// What one backup holds: when it was taken, before which operation, and the rows of the history
// and of each formula table (-1 when the file could not be read; `problem` says why).
struct BackupInfo
{
    QString path;
    QDateTime time;
    QString operation;
    qint64 draws = -1;
    std::array<qint64, 5> formulas{-1, -1, -1, -1, -1}; // in the order of Database::formulaTables()
    QString problem;
};

// The copies of "formula.mdb" in the data folder's "备份" folder, one taken before every operation
// that deletes or replaces stored draws or formulas. A copy is named after its time and operation,
// "formula-YYYYMMDD-HHMMSS-zzz-OPERATION.mdb"; the newest kKeepNewest are kept, and every copy of the
// last kKeepDays days.
class BackupFolder
{
public:
    static constexpr int kKeepNewest = 20;
    static constexpr int kKeepDays = 7;

    static QString folderName(); // "备份"
    explicit BackupFolder(const QString& dataFolder);
    QString path() const;

    // Writes a copy of the open `database` taken at `time` before `operation`, then removes the copies
    // no longer kept. *written receives the copy's path. False with the reason, leaving no file.
    bool write(const Database& database, const QString& operation, const QDateTime& time, QString* written,
               QString* error) const;
    // Every backup of the folder, newest first, with what each holds.
    std::vector<BackupInfo> list() const;
    // A backup named by the user: a path, or the name of a file in the folder.
    QString resolve(const QString& nameOrPath) const;
    // Reads what the database file `path` holds; false with the reason when it is no database of
    // this program (no history table) or, with `verify`, when SQLite finds it damaged.
    static bool inspect(const QString& path, BackupInfo* info, QString* error, bool verify = false);

    static QString fileName(const QDateTime& time, const QString& operation);
    static bool parseFileName(const QString& name, QDateTime* time, QString* operation);
    // The positions in `newestFirst` of the backups that go at `now`: those beyond the newest
    // kKeepNewest that are more than kKeepDays old.
    static std::vector<std::size_t> expired(const std::vector<QDateTime>& newestFirst, const QDateTime& now);
    // Removes the expired backups and copies left unfinished.
    void prune(const QDateTime& now) const;

private:
    QString m_path;
};
