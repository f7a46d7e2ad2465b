#pragma once

#include "history/HistoryStore.h"
#include "history/LotteryTable.h"
#include "store/BackupFolder.h"
#include "store/Database.h"
#include "store/Settings.h"

#include <QDate>
#include <QString>
#include <memory>

// What the window and the command line share: the data folder, the settings, the open database
// and the draw history.
class Workspace
{
public:
    Workspace();
    ~Workspace();

    // Resolves and creates the data folder, opens (or creates) "formula.mdb" and loads the history.
    bool open(const QString& dataFolderOption, QString* error);

    const QString& dataFolder() const { return m_dataFolder; }
    QString databasePath() const;
    Settings& settings() { return m_settings; }
    Database& database() { return *m_database; }
    HistoryStore& history() { return *m_history; }

    int lotteryIndex() const { return m_lotteryIndex; }
    void setLotteryIndex(int index) { m_lotteryIndex = index; }
    Lottery lottery() const { return LotteryTable::orEmpty(m_lotteryIndex); }
    bool isRunningCountLottery() const { return m_lotteryIndex == LotteryTable::kBeijing; }

    // A draw typed by hand under the current lottery: a dated issue, or under 北京快3 a running
    // count dated `today`; stored after the newest draw or into a gap of the history (see
    // HistoryStore::addTyped), `placement` says where.
    bool addTypedDraw(const QString& issue, const std::array<int, 3>& numbers, const QDate& today,
                      QString* error, HistoryStore::Placement* placement = nullptr);
    // The issue proposed for the next draw; empty with an empty history.
    QString nextIssue() const;
    // Compacts the database and reloads the history.
    bool compact(QString* error);

    // Before an operation that deletes or replaces stored draws or formulas (`operation` names it in
    // the backup's name): a copy of the database into the data folder's "备份", unless the setting
    // "AutoBackup" is off. False with the reason when the copy cannot be written: the operation
    // must then not run, so nothing is lost that could not be restored.
    bool backupBefore(const QString& operation, QString* error);
    // The copy written by the last backupBefore (empty when none was written).
    const QString& lastBackup() const { return m_lastBackup; }
    BackupFolder backups() const { return BackupFolder(m_dataFolder); }
    // Puts the backup `path` in place of the database, after backing up the current state as
    // backupBefore does; then reopens the database and reloads the history. False with the reason,
    // the database unchanged.
    bool restoreBackup(const QString& path, QString* error);
    // The caption of the setting that turns the backups off, named in the refusal.
    static QString backupSettingCaption();
    // What a question before a deletion adds: where the backup goes and how to get the data back,
    // or that nothing can be got back while backups are off.
    QString undoNote();

private:
    // Restoring over a file that would not open: kept as a backup, then replaced by a copy.
    bool replaceUnopenedDatabase(const QString& path, QString* error);

    QString m_dataFolder;
    Settings m_settings;
    std::unique_ptr<Database> m_database;
    std::unique_ptr<HistoryStore> m_history;
    int m_lotteryIndex = 0;
    QString m_lastBackup;
};
