#include "history/Workspace.h"

#include "history/IssueNumbers.h"
#include "history/ParameterTable.h"
#include "store/DataFolder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <filesystem>
#include <system_error>
#include <unistd.h>

Workspace::Workspace() = default;
Workspace::~Workspace() = default;

QString Workspace::databasePath() const
{
    return QDir(m_dataFolder).filePath(QStringLiteral("formula.mdb"));
}

bool Workspace::open(const QString& dataFolderOption, QString* error)
{
    m_lotteryIndex = m_settings.lotteryIndex();
    m_dataFolder = DataFolder::resolve(dataFolderOption);
    // The objects exist even when opening fails, so the window can run without stored data.
    m_database = std::make_unique<Database>(databasePath(), ParameterTable::codes());
    m_history = std::make_unique<HistoryStore>(m_database.get());
    m_database->setBeforeUpgrade(
        [this](QString* e) { return backupBefore(QStringLiteral("升级数据库"), e); });
    if (!DataFolder::ensure(m_dataFolder, error))
        return false;
    if (!m_database->open(error))
        return false;
    return m_history->reload(error);
}

bool Workspace::addTypedDraw(const QString& issue, const std::array<int, 3>& numbers, const QDate& today,
                             QString* error, HistoryStore::Placement* placement)
{
    if (isRunningCountLottery())
        return m_history->addTypedRunningCount(issue, numbers, today, error, placement);
    // The lottery's name in the message (the store knows only the draws per day).
    if (!IssueNumbers::checkSequence(issue.trimmed(), lottery().drawsPerDay, lottery().caption, error))
        return false;
    return m_history->addTyped(issue, numbers, lottery().drawsPerDay, error, placement);
}

QString Workspace::nextIssue() const
{
    const DrawRecord* newest = m_history ? m_history->newest() : nullptr;
    if (!newest)
        return {};
    return IssueNumbers::next(*newest, lottery().drawsPerDay, isRunningCountLottery());
}

bool Workspace::compact(QString* error)
{
    const bool ok = m_database->compact(error);
    QString reloadError;
    if (!m_history->reload(&reloadError) && ok) {
        *error = reloadError;
        return false;
    }
    return ok;
}

bool Workspace::backupBefore(const QString& operation, QString* error)
{
    m_lastBackup.clear();
    if (!m_settings.backupBeforeChanges())
        return true;
    // Nothing can be written to a read-only file: say that, not that its copy failed.
    if (m_database->isReadOnly()) {
        *error = QStringLiteral("数据库“%1”或它所在的文件夹是只读的，%2没有执行，数据没有任何改动。")
                     .arg(QDir::toNativeSeparators(m_database->filePath()), operation);
        return false;
    }
    QString reason;
    if (backups().write(*m_database, operation, QDateTime::currentDateTime(), &m_lastBackup, &reason))
        return true;
    *error = QStringLiteral("无法备份数据库：%1。%2之前要先备份数据库，以便需要时恢复，所以%2没有执行，"
                            "数据没有任何改动。请腾出磁盘空间后再试，或者在“设置”菜单中关闭“%3”。")
                 .arg(reason, operation, backupSettingCaption());
    return false;
}

QString Workspace::backupSettingCaption()
{
    return QStringLiteral("删除或替换数据前自动备份");
}

QString Workspace::undoNote()
{
    if (!m_settings.backupBeforeChanges())
        return QStringLiteral("“%1”已关闭：删除后不能恢复。").arg(backupSettingCaption());
    return QStringLiteral(
               "删除前会先把数据库备份到数据文件夹的“%1”文件夹，需要时可以用“历史管理 → 恢复备份”找回。")
        .arg(BackupFolder::folderName());
}

bool Workspace::restoreBackup(const QString& path, QString* error)
{
    BackupInfo info;
    QString reason;
    if (!BackupFolder::inspect(path, &info, &reason, true)) {
        *error = reason + QStringLiteral("。数据库没有改动。");
        return false;
    }
    if (!m_database) {
        *error = QStringLiteral("数据文件夹没有打开。");
        return false;
    }
    if (!m_database->isOpen())
        return replaceUnopenedDatabase(path, error);
    if (!backupBefore(QStringLiteral("恢复备份"), error))
        return false;
    if (m_database->restoreFrom(path, error))
        return m_history->reload(error);
    // A failed restore leaves the file as it was; the connection may need opening again.
    if (!m_database->isOpen()) {
        QString reopen;
        m_database->open(&reopen);
    }
    QString reload;
    m_history->reload(&reload);
    *error += QStringLiteral("。数据库没有改动。");
    return false;
}

bool Workspace::replaceUnopenedDatabase(const QString& path, QString* error)
{
    error->clear();
    // The file that would not open is kept among the backups, with its journal, before it goes.
    const QString current = databasePath();
    const BackupFolder folder = backups();
    QDir().mkpath(folder.path());
    const QString kept = QDir(folder.path())
                             .filePath(BackupFolder::fileName(QDateTime::currentDateTime(),
                                                              QStringLiteral("无法打开的数据库")));
    const auto copy = [error](const QString& from, const QString& to) {
        if (!QFile::exists(from) || QFile::copy(from, to))
            return true;
        *error = QStringLiteral("无法写入文件“%1”：磁盘已满或读写出错。数据库没有改动。")
                     .arg(QDir::toNativeSeparators(to));
        return false;
    };
    if (!copy(current, kept) ||
        !copy(current + QStringLiteral("-journal"), kept + QStringLiteral("-journal")))
        return false;
    m_lastBackup = QFile::exists(current) ? kept : QString();
    // The backup goes in under a name of its own and takes the database's place in one rename; the
    // old journal must not be played back into it.
    const QString swap = current + QStringLiteral(".swap");
    QFile::remove(swap);
    QFile written(swap);
    if (!copy(path, swap) || !written.open(QIODevice::ReadWrite) || ::fsync(written.handle()) != 0) {
        if (error->isEmpty())
            *error = QStringLiteral("无法写入文件“%1”：%2")
                         .arg(QDir::toNativeSeparators(swap), written.errorString());
        QFile::remove(swap);
        return false;
    }
    written.close();
    QFile::remove(current + QStringLiteral("-journal"));
    std::error_code ec;
    std::filesystem::rename(QFile::encodeName(swap).toStdString(), QFile::encodeName(current).toStdString(),
                            ec);
    if (ec) {
        QFile::remove(swap);
        *error = QStringLiteral("无法用备份替换“%1”：%2")
                     .arg(QDir::toNativeSeparators(current), QString::fromStdString(ec.message()));
        return false;
    }
    return m_database->open(error) && m_history->reload(error);
}
