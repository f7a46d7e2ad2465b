#pragma once

#include "history/HistoryStore.h"
#include "history/LotteryTable.h"
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
    // count after the newest stored draw, dated `today`.
    bool addTypedDraw(const QString& issue, const std::array<int, 3>& numbers, const QDate& today,
                      QString* error);
    // The issue proposed for the next draw; empty with an empty history.
    QString nextIssue() const;
    // Compacts the database and reloads the history.
    bool compact(QString* error);

private:
    QString m_dataFolder;
    Settings m_settings;
    std::unique_ptr<Database> m_database;
    std::unique_ptr<HistoryStore> m_history;
    int m_lotteryIndex = 0;
};
