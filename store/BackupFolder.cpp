#include "store/BackupFolder.h"

#include "store/Database.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <algorithm>

namespace {

const QString kTimeFormat = QStringLiteral("yyyyMMdd-HHmmss-zzz");

QString nativePath(const QString& p)
{
    return QDir::toNativeSeparators(QFileInfo(p).absoluteFilePath());
}

} // namespace

QString BackupFolder::folderName()
{
    return QStringLiteral("备份");
}

BackupFolder::BackupFolder(const QString& dataFolder) : m_path(QDir(dataFolder).filePath(folderName())) {}

QString BackupFolder::path() const
{
    return m_path;
}

QString BackupFolder::fileName(const QDateTime& time, const QString& operation)
{
    QString name = operation;
    name.replace(QRegularExpression(QStringLiteral("[/\\\\:*?\"<>|\\s]")), QStringLiteral("_"));
    return QStringLiteral("formula-%1-%2.mdb").arg(time.toString(kTimeFormat), name);
}

bool BackupFolder::parseFileName(const QString& name, QDateTime* time, QString* operation)
{
    static const QRegularExpression pattern(QStringLiteral("^formula-(\\d{8}-\\d{6}-\\d{3})-(.+)\\.mdb$"));
    const QRegularExpressionMatch m = pattern.match(name);
    if (!m.hasMatch())
        return false;
    const QDateTime t = QDateTime::fromString(m.captured(1), kTimeFormat);
    if (!t.isValid())
        return false;
    *time = t;
    *operation = m.captured(2);
    return true;
}

bool BackupFolder::write(const Database& database, const QString& operation, const QDateTime& time,
                         QString* written, QString* error) const
{
    if (!QDir().mkpath(m_path)) {
        *error = QStringLiteral("无法创建备份文件夹“%1”").arg(nativePath(m_path));
        return false;
    }
    // Two backups within one millisecond still get names of their own.
    QDateTime at = time;
    QString file = QDir(m_path).filePath(fileName(at, operation));
    while (QFileInfo::exists(file)) {
        at = at.addMSecs(1);
        file = QDir(m_path).filePath(fileName(at, operation));
    }
    if (!database.backupTo(file, error))
        return false;
    *written = file;
    prune(time);
    return true;
}

std::vector<BackupInfo> BackupFolder::list() const
{
    std::vector<BackupInfo> backups;
    const QDir dir(m_path);
    for (const QString& name : dir.entryList({QStringLiteral("formula-*.mdb")}, QDir::Files)) {
        BackupInfo info;
        if (!parseFileName(name, &info.time, &info.operation))
            continue;
        info.path = dir.filePath(name);
        QString problem;
        if (!inspect(info.path, &info, &problem))
            info.problem = problem;
        backups.push_back(std::move(info));
    }
    std::sort(backups.begin(), backups.end(), [](const BackupInfo& a, const BackupInfo& b) {
        return a.time != b.time ? a.time > b.time : a.path > b.path;
    });
    return backups;
}

QString BackupFolder::resolve(const QString& nameOrPath) const
{
    const QFileInfo given(nameOrPath);
    if (given.isAbsolute() || given.exists() || nameOrPath.contains(QLatin1Char('/')))
        return given.absoluteFilePath();
    return QDir(m_path).filePath(nameOrPath);
}

bool BackupFolder::inspect(const QString& path, BackupInfo* info, QString* error, bool verify)
{
    if (!QFileInfo(path).isFile()) {
        *error = QStringLiteral("找不到备份文件“%1”").arg(nativePath(path));
        return false;
    }
    const QString name =
        QStringLiteral("zorvane-backup-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        QSqlQuery q(db);
        const auto count = [&](const QString& table, qint64* rows) {
            if (!q.exec(QStringLiteral("SELECT count(*) FROM \"%1\"").arg(table)) || !q.next())
                return false;
            *rows = q.value(0).toLongLong();
            return true;
        };
        if (!db.open()) {
            *error = QStringLiteral("无法打开备份“%1”：%2").arg(nativePath(path), db.lastError().text());
            ok = false;
        } else if (!count(QStringLiteral("Lishi"), &info->draws)) {
            *error =
                QStringLiteral("“%1”不是本程序的数据库（%2）").arg(nativePath(path), q.lastError().text());
            ok = false;
        } else {
            const QStringList& tables = Database::formulaTables();
            for (int i = 0; i < tables.size(); ++i)
                if (!count(tables[i], &info->formulas[std::size_t(i)]))
                    info->formulas[std::size_t(i)] = 0; // a file older than that table holds none
            if (verify && (!q.exec(QStringLiteral("PRAGMA quick_check")) || !q.next() ||
                           q.value(0).toString() != QLatin1String("ok"))) {
                *error =
                    QStringLiteral("备份“%1”已损坏（%2）")
                        .arg(nativePath(path), q.isActive() ? q.value(0).toString() : q.lastError().text());
                ok = false;
            }
        }
        q = QSqlQuery();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

std::vector<std::size_t> BackupFolder::expired(const std::vector<QDateTime>& newestFirst,
                                               const QDateTime& now)
{
    std::vector<std::size_t> gone;
    const QDateTime cutoff = now.addDays(-kKeepDays);
    for (std::size_t i = std::size_t(kKeepNewest); i < newestFirst.size(); ++i)
        if (newestFirst[i] < cutoff)
            gone.push_back(i);
    return gone;
}

void BackupFolder::prune(const QDateTime& now) const
{
    QDir dir(m_path);
    std::vector<std::pair<QDateTime, QString>> backups;
    for (const QString& name : dir.entryList({QStringLiteral("formula-*.mdb")}, QDir::Files)) {
        QDateTime time;
        QString operation;
        if (parseFileName(name, &time, &operation))
            backups.emplace_back(time, name);
    }
    std::sort(backups.begin(), backups.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first > b.first : a.second > b.second;
    });
    std::vector<QDateTime> times;
    for (const auto& b : backups)
        times.push_back(b.first);
    // Removing an old copy only frees room: when it fails the copy simply stays.
    for (std::size_t i : expired(times, now))
        dir.remove(backups[i].second);
    // A copy cut off by a killed program never became a backup.
    for (const QString& name :
         dir.entryList({QStringLiteral("*.mdb.part"), QStringLiteral("*.mdb.part-journal")}, QDir::Files))
        if (QFileInfo(dir.filePath(name)).lastModified() < now.addSecs(-3600))
            dir.remove(name);
}
