// The windows' side of the backups: every entry that deletes or replaces stored draws or formulas
// leaves a copy of the state before it, the two that used to act at once now ask, 恢复备份 brings a
// copy back and the window shows it, and 设置 turns the copies off.
#include "DatabaseContent.h"
#include "FixtureResultsServer.h"
#include "SearchTestSupport.h"
#include "TestSupport.h"
#include "WindowTestFixture.h"

#include "app/MainWindow.h"
#include "backtest/AnalysisSession.h"
#include "backtest/FormulaGridModel.h"
#include "formula/FormulaTextFile.h"
#include "formula/FormulaUpdateDialog.h"
#include "history/BackupDialog.h"
#include "history/HistoryGridModel.h"
#include "search/SearchWindow.h"
#include "store/BackupFolder.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

class BackupWindow : public WindowTestFixture
{
protected:
    void SetUp() override
    {
        WindowTestFixture::SetUp();
        addDraws(ws, {{"160121001", "335"},
                      {"160121002", "331"},
                      {"160121003", "124"},
                      {"160121004", "456"},
                      {"160121005", "332"},
                      {"160121006", "116"}});
        addFormulas(ws, {1, true}, true, {"L1A", "L1A+30", "L2A+1", "L3A+2"}, QStringLiteral("式"));
    }
    void TearDown() override
    {
        window.reset();
        WindowTestFixture::TearDown();
    }
    void open()
    {
        window = std::make_unique<MainWindow>(&ws, QString());
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    template <typename T> T* child(const char* name)
    {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    QAction* action(const char* name) { return child<QAction>(name); }
    int draws() { return int(ws.history().draws().size()); }
    void rightClickFormula(int row)
    {
        auto* grid = child<QTableView>("MSFlexGrid2");
        emit grid->customContextMenuRequested(
            grid->visualRect(window->formulaModel()->index(row, 1)).center());
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
    }

    // Runs `act`, which must change the stored data and leave exactly one new copy, of `operation`,
    // holding what was stored before.
    void expectBackedUp(const char* operation, const std::function<void()>& act)
    {
        const DatabaseContent before = DatabaseContent::read(ws.databasePath());
        const std::size_t count = ws.backups().list().size();
        act();
        EXPECT_EQ(MessageBoxes::pendingAnswers(), 0) << operation;
        ASSERT_FALSE(DatabaseContent::read(ws.databasePath()).sameAs(before))
            << operation << " changed nothing";
        const std::vector<BackupInfo> list = ws.backups().list();
        ASSERT_EQ(list.size(), count + 1) << operation;
        EXPECT_EQ(list.front().operation, QString::fromUtf8(operation));
        EXPECT_TRUE(DatabaseContent::read(list.front().path).sameAs(before)) << operation;
    }

    std::unique_ptr<MainWindow> window;
};

TEST_F(BackupWindow, DeletingTheLastDrawAsksFirst)
{
    open();
    // Alt+D no longer deletes at once: cancelled, nothing happens.
    MessageBoxes::pushAnswer(false);
    child<QPushButton>("Command3")->click();
    EXPECT_EQ(draws(), 6);
    EXPECT_TRUE(MessageBoxes::shownTexts().last().contains(QStringLiteral("160121006（开奖号 116）")))
        << MessageBoxes::shownTexts().last().toStdString();
    EXPECT_TRUE(MessageBoxes::shownTexts().last().contains(QStringLiteral("恢复备份")));
    EXPECT_TRUE(ws.backups().list().empty());
    expectBackedUp("删除最后历史", [this] {
        MessageBoxes::pushAnswer(true);
        child<QPushButton>("Command3")->click();
    });
    EXPECT_EQ(draws(), 5);
    EXPECT_EQ(window->historyModel()->rowCount(), 5);
}

TEST_F(BackupWindow, EveryDeletionOfTheHistoryMenuKeepsACopy)
{
    open();
    expectBackedUp("删除最后指定数量期历史", [this] {
        MessageBoxes::pushAnswer(true, "2");
        action("mnuDelLast")->trigger();
    });
    expectBackedUp("删除到选定期", [this] {
        MessageBoxes::pushAnswer(true, "160121002");
        action("mnuDelTo")->trigger();
    });
    expectBackedUp("删除所有历史", [this] {
        MessageBoxes::pushAnswer(true);
        action("mnuDelAll")->trigger();
    });
    EXPECT_EQ(draws(), 0);
}

TEST_F(BackupWindow, EveryDeletionOfFormulasKeepsACopy)
{
    open();
    expectBackedUp("删除该公式", [this] {
        rightClickFormula(3);
        action("mnuDelGS")->trigger();
    });
    expectBackedUp("删除等价公式", [this] {
        MessageBoxes::pushAnswer(true);
        action("mnuDelDjgs")->trigger();
    });
    expectBackedUp("删除选中所有公式", [this] {
        MessageBoxes::pushAnswer(true);
        action("mnuDelSelected")->trigger();
    });
    addFormulas(ws, {2, false}, true, {"L2A"}, QStringLiteral("式"));
    expectBackedUp("清空所有公式", [this] {
        MessageBoxes::pushAnswer(true);
        child<QPushButton>("Command2")->click();
    });
}

TEST_F(BackupWindow, TheOnlineFormulaUpdateKeepsACopy)
{
    FixtureResultsServer server;
    QStringList lines;
    for (int i = 1; i <= 80; ++i)
        lines << QStringLiteral("个位码+%1=下期生码十位通选").arg(i);
    server.setPage(FormulaTextFile::encode(lines), "text/plain");
    QWidget parent;
    parent.show();
    expectBackedUp("公式在线更新", [&] {
        bool kill = true;
        QString summary;
        MessageBoxes::pushAnswer(true);
        MessageBoxes::pushAnswer(true);
        EXPECT_TRUE(runOnlineFormulaUpdate(&parent, ws, {1, true}, &kill, &summary,
                                           {server.baseUrl() + "/Pelq.txt", 20000}))
            << summary.toStdString();
    });
}

// "公式更新到数据库(&N)" replaced the kind's formulas without a word: now it asks, and keeps a copy.
TEST_F(BackupWindow, SavingSearchResultsAsAnUpdateAsksAndKeepsACopy)
{
    ws.history().deleteAll(nullptr);
    storeDraws(ws, searchTestDraws(300, 4));
    AnalysisSession session(&ws);
    SearchWindow search(&session);
    for (int j = 0; j < 10; ++j)
        search.findChild<QLineEdit*>(QStringLiteral("range%1").arg(j))->setText(j % 2 ? "32768" : "0");
    search.findChild<QLineEdit*>("range1")->setText("100");
    search.findChild<QCheckBox*>("chkAutoStop")->setChecked(true);
    search.findChild<QLineEdit*>("txtAutoStop")->setText("3");
    search.findChild<QPushButton*>("cmdStart")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !search.isSearching(); }, 20000));
    ASSERT_EQ(search.pendingResults().size(), 3u);

    const DatabaseContent before = DatabaseContent::read(ws.databasePath());
    MessageBoxes::pushAnswer(false);
    search.findChild<QPushButton*>("cmdUpdate")->click();
    EXPECT_TRUE(MessageBoxes::shownTexts().last().startsWith(
        QStringLiteral("删除软件现有公式然后将所有合格公式添加到软件数据库")))
        << MessageBoxes::shownTexts().last().toStdString();
    EXPECT_TRUE(DatabaseContent::read(ws.databasePath()).sameAs(before));
    EXPECT_EQ(search.pendingResults().size(), 3u);
    expectBackedUp("公式更新到数据库", [&] {
        MessageBoxes::pushAnswer(true);
        MessageBoxes::pushAnswer(true); // "公式追加完毕！"
        search.findChild<QPushButton*>("cmdUpdate")->click();
    });
    EXPECT_TRUE(search.pendingResults().empty());
}

TEST_F(BackupWindow, RestoringACopyBringsTheStateBackAndTheWindowShowsIt)
{
    open();
    const DatabaseContent start = DatabaseContent::read(ws.databasePath());
    MessageBoxes::pushAnswer(true);
    action("mnuDelAll")->trigger();
    ASSERT_EQ(window->historyModel()->rowCount(), 0);
    // 历史管理 → 恢复备份: the newest copy is chosen; the question names what it holds.
    QTimer::singleShot(0, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* dialog = qobject_cast<BackupDialog*>(w)) {
                EXPECT_EQ(dialog->view()->model()->rowCount(), 1);
                dialog->findChild<QPushButton*>("cmdRestore")->click();
            }
    });
    MessageBoxes::pushAnswer(true);
    MessageBoxes::pushAnswer(true); // "已恢复备份……"
    action("mnuRestore")->trigger();
    EXPECT_TRUE(MessageBoxes::shownTexts()[MessageBoxes::shownTexts().size() - 2].contains(
        QStringLiteral("6期历史号码和4个公式")))
        << MessageBoxes::shownTexts().join('\n').toStdString();
    EXPECT_TRUE(DatabaseContent::read(ws.databasePath()).sameAs(start));
    EXPECT_EQ(window->historyModel()->rowCount(), 6);
    EXPECT_EQ(window->formulaModel()->rowCount(), 4);
    // The emptied state was kept before the restore.
    const std::vector<BackupInfo> list = ws.backups().list();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list.front().operation, QStringLiteral("恢复备份"));
    EXPECT_EQ(list.front().draws, 0);
}

TEST_F(BackupWindow, TheSettingsMenuTurnsTheCopiesOff)
{
    open();
    QAction* entry = action("mnuAutoBackup");
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(entry->isChecked());
    entry->setChecked(false);
    EXPECT_FALSE(ws.settings().backupBeforeChanges());
    MessageBoxes::pushAnswer(true);
    child<QPushButton>("Command3")->click();
    EXPECT_EQ(draws(), 5);
    EXPECT_TRUE(MessageBoxes::shownTexts().last().contains(QStringLiteral("不能恢复")));
    EXPECT_TRUE(ws.backups().list().empty());
    entry->setChecked(true);
    EXPECT_TRUE(ws.settings().backupBeforeChanges());
}

} // namespace
