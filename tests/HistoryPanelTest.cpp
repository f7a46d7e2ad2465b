#include "WindowTestFixture.h"

#include "history/HistoryPanel.h"
#include "history/HistorySession.h"
#include "history/LotteryTable.h"
#include "history/Workspace.h"
#include "ui/DatabaseGuard.h"
#include "ui/MessageBoxes.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace {

// A block of `formulas` verification columns over `draws` rows starting at `first`, empty cells.
VerificationBlock emptyBlock(int first, int formulas, int draws)
{
    VerificationBlock block;
    block.firstNumber = first;
    block.formulaCount = formulas;
    block.drawCount = draws;
    block.predictions.assign(size_t(formulas) * draws, VerificationBlock::kNoPrediction);
    block.colours.assign(size_t(formulas) * draws, VerificationBlock::NoColour);
    return block;
}

// A session whose list the test sets, and whose verification columns are empty blocks of
// `blockColumns` formulas (by default as many as the list holds); it records the scroll values asked
// for.
class ListedSession : public HistorySession
{
public:
    using HistorySession::HistorySession;
    void show(const QStringList& chineseForms)
    {
        std::vector<ShownFormula> list;
        for (const QString& name : chineseForms)
            list.push_back({QStringLiteral("L1A"), name});
        setShownFormulas(std::move(list));
    }
    void show(int count) { show(QStringList(count, QString())); }
    VerificationBlock verificationBlock(int scrollValue) const override
    {
        asked.push_back(scrollValue);
        const int formulas = blockColumns >= 0 ? blockColumns : shownFormulaCount();
        return emptyBlock(VerificationBlock::blockFirst(scrollValue),
                          VerificationBlock::blockSize(scrollValue, formulas), columns()->drawCount());
    }

    int blockColumns = -1;
    mutable std::vector<int> asked;
};

// A history panel on its own over a fresh data folder, on a session nobody else subscribes to, so
// each test sees exactly what the panel itself does and tells the session.
class HistoryPanelTest : public WindowTestFixture
{
protected:
    void TearDown() override
    {
        panel.reset();
        session.reset();
        WindowTestFixture::TearDown();
    }
    void open(const QString& startupError = QString())
    {
        guard = std::make_unique<DatabaseGuard>(startupError);
        session = std::make_unique<ListedSession>(&ws, PublicationOrder::Detect);
        changed = std::make_unique<QSignalSpy>(session.get(), &HistorySession::historyChanged);
        replaced = std::make_unique<QSignalSpy>(session.get(), &HistorySession::storeReplaced);
        panel = std::make_unique<HistoryPanel>(session.get(), guard.get());
        panel->showDraws(1, true);
        panel->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.get()));
    }
    template <typename T> T* child(const char* name)
    {
        return panel->findChild<T*>(QString::fromLatin1(name));
    }
    void typeDraw(const QString& issue, const char* digits)
    {
        panel->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(panel.get()));
        child<QLineEdit>("Text1")->setText(issue);
        child<QLineEdit>("txtIpt1")->setFocus();
        QApplication::processEvents();
        for (int i = 0; i < 3; ++i)
            QTest::keyClicks(QApplication::focusWidget(), QString(QLatin1Char(digits[i])));
    }
    int stored() { return int(ws.history().draws().size()); }

    std::unique_ptr<DatabaseGuard> guard;
    std::unique_ptr<ListedSession> session;
    // What the panel told the session: draws added or deleted, the store rewritten.
    std::unique_ptr<QSignalSpy> changed, replaced;
    std::unique_ptr<HistoryPanel> panel;
};

} // namespace

TEST_F(HistoryPanelTest, TypedDrawIsStoredAnnouncedOnceAndABadOneIsRefused)
{
    open();
    // The owner answers by showing the draws again, as the main window's refresh chain does.
    QObject::connect(session.get(), &HistorySession::historyChanged, panel.get(), [this] {
        panel->showDraws(2, false);
        panel->showNextIssue();
    });
    typeDraw("160121077", "356");
    EXPECT_EQ(changed->count(), 1);
    EXPECT_EQ(session->columns()->drawCount(), 1); // the session's copy follows the stored history
    ASSERT_EQ(stored(), 1);
    EXPECT_EQ(panel->model()->rowCount(), 1);
    EXPECT_EQ(panel->model()->emphasisFirst(), 2); // 十位通选: 十位 to 个位
    EXPECT_EQ(panel->model()->emphasisLast(), 3);
    EXPECT_EQ(child<QLineEdit>("Text1")->text(), "160121078");
    EXPECT_TRUE(child<QLineEdit>("txtIpt3")->text().isEmpty());

    MessageBoxes::pushAnswer(true);
    typeDraw("160121078", "376");
    EXPECT_EQ(changed->count(), 1);
    EXPECT_EQ(stored(), 1);
    EXPECT_EQ(child<QLineEdit>("txtIpt2")->text(), "7"); // kept for correcting
    EXPECT_TRUE(MessageBoxes::shownTexts().last().contains(QStringLiteral("1到6")));
}

TEST_F(HistoryPanelTest, MenuDeletionsSayWhetherTheyCutOrClearedTheHistory)
{
    addDraws(ws, {{"160121001", "123"},
                  {"160121002", "335"},
                  {"160121003", "456"},
                  {"160121004", "111"},
                  {"160121005", "222"}});
    open();
    auto* grid = child<QTableView>("MSFlexGrid1");
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      grid->visualRect(panel->model()->index(3, 0)).center());
    MessageBoxes::pushAnswer(true, "160121003");
    child<QAction>("mnuDelTo")->trigger();
    EXPECT_EQ(MessageBoxes::lastInputDefault(), "160121003");
    EXPECT_EQ(stored(), 3);
    EXPECT_EQ(replaced->count(), 1); // cut off the end and compacted: the store was rewritten
    EXPECT_EQ(session->columns()->drawCount(), 3);

    MessageBoxes::pushAnswer(true, "abc"); // not an issue: nothing happens, and the warning says why
    MessageBoxes::pushAnswer(true);
    child<QAction>("mnuDelTo")->trigger();
    EXPECT_TRUE(MessageBoxes::shownTexts().last().contains(QStringLiteral("只能是数字")));
    EXPECT_EQ(stored(), 3);
    MessageBoxes::pushAnswer(true, "1");
    child<QAction>("mnuDelLast")->trigger();
    EXPECT_EQ(stored(), 2);
    EXPECT_EQ(replaced->count(), 2);

    MessageBoxes::pushAnswer(true); // 删除最后历史 asks first
    panel->deleteLastDraw();
    EXPECT_EQ(stored(), 1);
    EXPECT_EQ(changed->count(), 1);

    MessageBoxes::pushAnswer(true);
    child<QAction>("mnuDelAll")->trigger();
    EXPECT_EQ(stored(), 0);
    EXPECT_EQ(changed->count(), 2);
    EXPECT_EQ(replaced->count(), 2);
    EXPECT_EQ(session->columns()->drawCount(), 0);
}

TEST_F(HistoryPanelTest, CutOffAnswersTheCommandLineRefusesAreRefusedWithTheReason)
{
    addDraws(ws, {{"160121001", "123"}, {"160121002", "335"}, {"160121003", "456"}});
    open();
    const std::pair<const char*, QString> refusals[] = {{"-2", QStringLiteral("只能是数字")},
                                                        {"160121000", QStringLiteral("000")},
                                                        {"1", QStringLiteral("删除所有历史")}};
    for (const auto& [answer, reason] : refusals) {
        MessageBoxes::pushAnswer(true, QLatin1String(answer));
        MessageBoxes::pushAnswer(true);
        child<QAction>("mnuDelTo")->trigger();
        EXPECT_TRUE(MessageBoxes::shownTexts().last().contains(reason)) << answer;
        EXPECT_EQ(stored(), 3) << answer;
    }
    // An empty answer is a change of mind: nothing is said.
    MessageBoxes::pushAnswer(true, " ");
    child<QAction>("mnuDelTo")->trigger();
    EXPECT_TRUE(MessageBoxes::shownTexts().last().startsWith(QStringLiteral("请输入需要删除到的期数")));
    EXPECT_EQ(replaced->count(), 0);
    // Blanks around a good answer do not matter.
    MessageBoxes::pushAnswer(true, " 160121002 ");
    child<QAction>("mnuDelTo")->trigger();
    EXPECT_EQ(stored(), 2);
}

TEST_F(HistoryPanelTest, AnEmptyHistoryIsNotExported)
{
    open();
    MessageBoxes::pushAnswer(true);
    panel->exportText(QStringLiteral("2007001"));
    EXPECT_TRUE(MessageBoxes::shownTexts().last().contains(QStringLiteral("没有历史号码")));
    EXPECT_TRUE(QDir(dir.path()).entryList({QStringLiteral("*.txt")}, QDir::Files).isEmpty());
}

TEST_F(HistoryPanelTest, BeijingRunningCountsAreTypedAfterTheNewestDraw)
{
    ws.setLotteryIndex(LotteryTable::kBeijing);
    QString error;
    ASSERT_TRUE(ws.addTypedDraw("79549", {1, 2, 3}, QDate::currentDate(), &error)) << error.toStdString();
    open();
    QObject::connect(session.get(), &HistorySession::historyChanged, panel.get(),
                     [this] { panel->showNextIssue(); });
    panel->showNextIssue();
    EXPECT_EQ(child<QLineEdit>("Text1")->text(), "79550");
    typeDraw(child<QLineEdit>("Text1")->text(), "356");
    ASSERT_EQ(stored(), 2);
    EXPECT_EQ(ws.history().newest()->issue, "79550");
    EXPECT_EQ(ws.history().newest()->value("SQH"), 50);
    EXPECT_EQ(child<QLineEdit>("Text1")->text(), "79551");

    MessageBoxes::pushAnswer(true);
    typeDraw("79548", "111");
    EXPECT_EQ(stored(), 2);
    EXPECT_TRUE(MessageBoxes::shownTexts().last().contains(QStringLiteral("早于已存的最早一期79549")));
}

TEST_F(HistoryPanelTest, WithoutADatabaseEveryChangeIsRefusedAndNothingAnnounced)
{
    addDraws(ws, {{"160121001", "123"}, {"160121002", "335"}});
    open(QStringLiteral("无法打开数据库 formula.mdb"));
    const std::function<void()> actions[] = {[this] { child<QAction>("mnuDelAll")->trigger(); },
                                             [this] { child<QAction>("mnuDelTo")->trigger(); },
                                             [this] { child<QAction>("mnuDelLast")->trigger(); },
                                             [this] { panel->deleteLastDraw(); },
                                             [this] { panel->updateOnline(); },
                                             [this] { panel->exportText("160121002"); },
                                             [this] { typeDraw("160121003", "123"); }};
    for (const auto& action : actions) {
        MessageBoxes::pushAnswer(true);
        action();
        ASSERT_FALSE(MessageBoxes::shownTexts().isEmpty());
        EXPECT_TRUE(MessageBoxes::shownTexts().last().startsWith(QStringLiteral("数据库没有打开")));
        EXPECT_TRUE(MessageBoxes::shownTexts().last().contains("formula.mdb"));
    }
    EXPECT_EQ(stored(), 2);
    EXPECT_EQ(changed->count() + replaced->count(), 0);
}

TEST_F(HistoryPanelTest, VerificationColumnsFollowTheListTheSessionShows)
{
    addDraws(ws, {{"160121001", "123"}, {"160121002", "335"}, {"160121003", "456"}});
    open();
    session->show(1200);
    auto* scroll = child<QScrollBar>("HScroll1");
    EXPECT_FALSE(scroll->isEnabled());
    EXPECT_TRUE(session->asked.empty()); // switched off: a new list computes nothing

    child<QCheckBox>("Check1")->setChecked(true);
    EXPECT_TRUE(scroll->isEnabled());
    EXPECT_EQ(scroll->maximum(), 1001); // blocks of 500 start at 1, 501, 1001
    ASSERT_EQ(session->asked, std::vector<int>{1});
    EXPECT_EQ(panel->model()->columnCount(), HistoryGridModel::kFixedColumns + 500);
    scroll->setValue(1001);
    EXPECT_EQ(session->asked.back(), 1001);
    EXPECT_EQ(panel->model()->columnCount(), HistoryGridModel::kFixedColumns + 200);
    EXPECT_EQ(panel->model()->headerData(4, Qt::Horizontal, Qt::DisplayRole).toString(),
              QStringLiteral("式1001"));

    // A back-test of a shorter list, announced by the session: the range shrinks and the first
    // block is shown again.
    session->show(2);
    EXPECT_EQ(scroll->maximum(), 1);
    EXPECT_EQ(session->asked.back(), 1);
    EXPECT_EQ(panel->model()->columnCount(), HistoryGridModel::kFixedColumns + 2);

    child<QCheckBox>("Check1")->setChecked(false);
    EXPECT_EQ(panel->model()->columnCount(), HistoryGridModel::kFixedColumns);
    const size_t asks = session->asked.size();
    session->show(3); // switched off: nothing is computed
    EXPECT_EQ(session->asked.size(), asks);
}

TEST_F(HistoryPanelTest, WorkbookNamesTheFormulaColumnsByTheListsChineseForms)
{
    addDraws(ws, {{"160121001", "123"}, {"160121002", "335"}});
    open();
    // Formula 1 has a Chinese form; the list holds no formula 2, whose column keeps its header.
    session->blockColumns = 2;
    session->show(QStringList{QStringLiteral("百位码加一")});
    child<QCheckBox>("Check1")->setChecked(true);

    MessageBoxes::pushAnswer(false); // declining the wait writes nothing
    child<QAction>("mnuLsdc")->trigger();
    EXPECT_FALSE(QFile::exists(dir.file("lishi.xlsx")));
    MessageBoxes::pushAnswer(true);
    child<QAction>("mnuLsdc")->trigger();
    const QString strings = readWorkbookPart(dir.file("lishi.xlsx"), "xl/sharedStrings.xml");
    EXPECT_TRUE(strings.contains(QStringLiteral("百位码加一"))) << strings.toStdString();
    EXPECT_TRUE(strings.contains(QStringLiteral("公式2"))) << strings.toStdString();
    EXPECT_FALSE(strings.contains(QStringLiteral("公式1<"))) << strings.toStdString();
}
