#include "WindowTestFixture.h"

#include "backtest/AnalysisSession.h"
#include "backtest/FormulaGridModel.h"
#include "backtest/FormulaListPanel.h"
#include "formula/FormulaTableStore.h"
#include "history/Workspace.h"
#include "ui/DatabaseGuard.h"
#include "ui/MessageBoxes.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace {

// A formula list panel on its own. The test owns the session, as the main window does, and changes
// its kind and sense behind the panel's back.
class FormulaListPanelTest : public WindowTestFixture
{
protected:
    void SetUp() override
    {
        WindowTestFixture::SetUp();
        addDraws(ws,
                 {{"160121001", "123"}, {"160121002", "456"}, {"160121003", "111"}, {"160121004", "246"}});
    }
    void TearDown() override
    {
        panel.reset();
        session.reset();
        WindowTestFixture::TearDown();
    }
    void open(const QString& startupError = QString())
    {
        guard = std::make_unique<DatabaseGuard>(startupError);
        session = std::make_unique<AnalysisSession>(&ws);
        // The back-tests below run over all draws.
        AnalysisOptions options = session->options();
        options.lookBackIndex = 0;
        session->setOptions(options);
        panel = std::make_unique<FormulaListPanel>(session.get(), guard.get());
        panel->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.get()));
        panel->showFormulas();
    }
    template <typename T> T* child(const char* name)
    {
        return panel->findChild<T*>(QString::fromLatin1(name));
    }
    QStringList codes() const
    {
        QStringList out;
        for (int r = 0; r < panel->model()->rowCount(); ++r)
            out << panel->model()->formulaAt(r).gongshi;
        return out;
    }
    void addChinese(const FormulaKind& k, bool sense, const QStringList& list)
    {
        addFormulas(ws, k, sense, list, QStringLiteral("中文"));
    }

    std::unique_ptr<DatabaseGuard> guard;
    std::unique_ptr<AnalysisSession> session;
    std::unique_ptr<FormulaListPanel> panel;
};

} // namespace

TEST_F(FormulaListPanelTest, ListsTheSubsetItsOwnerChoseAtEachReload)
{
    addChinese({1, true}, true, {"L1A+1", "L2A*2", "L9Z"});
    addChinese({1, true}, false, {"L3A"});
    addChinese({2, false}, true, {"LH+3"});
    open();
    EXPECT_EQ(codes(), QStringList({"L1A+1", "L2A*2", "L9Z"}));
    session->setKind({1, true}, false); // the sense takes effect at the next reload only
    EXPECT_EQ(panel->model()->rowCount(), 3);
    panel->showFormulas();
    EXPECT_EQ(codes(), QStringList({"L3A"}));
    session->setKind({2, false}, true);
    panel->showFormulas();
    EXPECT_EQ(codes(), QStringList({"LH+3"}));
    EXPECT_EQ(panel->model()->kind(), FormulaKind({2, false}));
}

TEST_F(FormulaListPanelTest, BacktestFillsTheFiguresAndFeedsTheHistoryGrid)
{
    addChinese({1, true}, true, {"L1A+1", "L2A*2", "L9Z"});
    open();
    EXPECT_EQ(panel->runBacktest(), FormulaListPanel::BacktestOutcome::Done);
    const FormulaGridModel* m = panel->model();
    ASSERT_NE(m->outcomeAt(0), nullptr);
    EXPECT_EQ(m->outcomeAt(0)->stats.finalHitRun, 3); // L1A+1's three kills all hold
    EXPECT_FALSE(m->outcomeAt(2)->valid);

    // The history grid's columns: one per formula over every draw, numbered from the list the
    // session was told of.
    EXPECT_EQ(session->shownFormulaCount(), 3);
    const VerificationBlock block = session->verificationBlock(1);
    EXPECT_EQ(block.firstNumber, 1);
    EXPECT_EQ(block.formulaCount, 3);
    EXPECT_EQ(block.drawCount, 4);
    EXPECT_TRUE(block.prediction(0, 1).has_value());
    EXPECT_FALSE(block.prediction(2, 1).has_value()); // L9Z is invalid: its column stays empty
    EXPECT_EQ(session->shownFormulaName(1), QStringLiteral("中文L1A+1"));
    EXPECT_EQ(session->shownFormulaName(3), QStringLiteral("中文L9Z"));
    EXPECT_EQ(session->shownFormulaName(0), std::nullopt);
    EXPECT_EQ(session->shownFormulaName(4), std::nullopt);

    // A re-sort tells the session the new order: formula 1 of the columns is row 1 of the grid.
    QSignalSpy shown(session.get(), &HistorySession::shownFormulasChanged);
    auto* grid = panel->findChild<QTableView*>("MSFlexGrid2");
    ASSERT_NE(grid, nullptr);
    emit grid->horizontalHeader()->sectionDoubleClicked(FormulaGridModel::RateColumn);
    EXPECT_EQ(shown.count(), 1);
    for (int n = 1; n <= 3; ++n)
        EXPECT_EQ(session->shownFormulaName(n), QStringLiteral("中文") + codes()[n - 1]) << n;
}

TEST_F(FormulaListPanelTest, WithoutADatabaseNothingIsLoadedOrRun)
{
    addChinese({1, true}, true, {"L1A+1"});
    open(QStringLiteral("无法打开数据库 formula.mdb"));
    EXPECT_EQ(panel->model()->rowCount(), 0);
    EXPECT_EQ(panel->runBacktest(), FormulaListPanel::BacktestOutcome::NotRun);
    MessageBoxes::pushAnswer(true);
    child<QLineEdit>("Text2")->setText(QStringLiteral("[个位单选杀]百位码+1"));
    child<QPushButton>("Command1")->click();
    EXPECT_TRUE(MessageBoxes::shownTexts().last().startsWith(QStringLiteral("数据库没有打开")));
}

TEST_F(FormulaListPanelTest, TypedFormulaNamesTheKindTheOwnerShouldShow)
{
    open();
    QSignalSpy added(session.get(), &AnalysisSession::formulasChanged);
    child<QLineEdit>("Text2")->setText(QStringLiteral("十位码+和数+3=下期生码十位通选"));
    child<QPushButton>("Command1")->click();
    ASSERT_EQ(added.count(), 1);
    EXPECT_EQ(session->kind(), FormulaKind({2, false}));
    EXPECT_FALSE(session->kill());
    // The panel follows the session: the list shows the kind the formula went into.
    EXPECT_EQ(panel->model()->kind(), FormulaKind({2, false}));
    EXPECT_EQ(panel->model()->rowCount(), 1);
    EXPECT_TRUE(child<QLineEdit>("Text2")->text().isEmpty());

    MessageBoxes::pushAnswer(true);
    child<QLineEdit>("Text2")->setText(QStringLiteral("十位码+千位码"));
    child<QPushButton>("Command1")->click();
    EXPECT_EQ(added.count(), 1);
    EXPECT_EQ(child<QLineEdit>("Text2")->text(), QStringLiteral("十位码+千位码")); // kept for correcting
}

TEST_F(FormulaListPanelTest, DeletionReloadsTheListAndAnnouncesIt)
{
    addChinese({1, true}, true, {"L1A", "L2A", "L3A"});
    open();
    QSignalSpy deleted(session.get(), &AnalysisSession::formulasChanged);
    // Without a right-click there is no formula under the mouse: nothing is deleted, and the user
    // is told why.
    MessageBoxes::pushAnswer(true);
    child<QAction>("mnuDelGS")->trigger();
    EXPECT_EQ(deleted.count(), 0);
    EXPECT_TRUE(MessageBoxes::shownTexts().last().contains(QStringLiteral("没有右键所点的公式")));
    EXPECT_EQ(panel->model()->rowCount(), 3);

    auto* grid = child<QTableView>("MSFlexGrid2");
    emit grid->customContextMenuRequested(grid->visualRect(panel->model()->index(1, 1)).center());
    if (QWidget* popup = QApplication::activePopupWidget())
        popup->close();
    child<QAction>("mnuDelGS")->trigger();
    EXPECT_EQ(deleted.count(), 1);
    EXPECT_EQ(codes(), QStringList({"L1A", "L3A"}));
}

// After a back-test: the summary line against chance, the chance columns and the 等价 column;
// "显示机会对比" off hides the three columns and the line, but not 等价.
TEST_F(FormulaListPanelTest, SummaryLineChanceColumnsAndEquivalents)
{
    // L1A+1 and L1A+31 predict and vote alike on every draw; L2A*2 differs.
    addChinese({1, true}, true, {"L1A+1", "L2A*2", "L1A+31"});
    open();
    QLabel* summary = panel->summaryLabel();
    EXPECT_TRUE(summary->text().isEmpty());
    EXPECT_FALSE(summary->isVisible()); // nothing to say before a back-test
    EXPECT_EQ(panel->runBacktest(), FormulaListPanel::BacktestOutcome::Done);
    EXPECT_TRUE(summary->isVisible());
    EXPECT_TRUE(summary->text().startsWith(QStringLiteral("本类 3 条公式：平均正确率 ")))
        << summary->text().toStdString();
    EXPECT_TRUE(summary->text().endsWith(QStringLiteral("，与随机无明显差别")));
    const FormulaGridModel* m = panel->model();
    auto text = [m](int row, int column) {
        return m->data(m->index(row, column), Qt::DisplayRole).toString();
    };
    EXPECT_EQ(text(0, FormulaGridModel::ChanceRateColumn), "83.33%");
    EXPECT_EQ(text(2, FormulaGridModel::EquivalentColumn), "1");
    EXPECT_EQ(text(1, FormulaGridModel::EquivalentColumn), "");

    auto* grid = child<QTableView>("MSFlexGrid2");
    for (int c : {FormulaGridModel::ChanceRateColumn, FormulaGridModel::ExcessColumn,
                  FormulaGridModel::PValueColumn, FormulaGridModel::EquivalentColumn})
        EXPECT_FALSE(grid->isColumnHidden(c)) << c;
    panel->setChanceComparisonShown(false);
    for (int c :
         {FormulaGridModel::ChanceRateColumn, FormulaGridModel::ExcessColumn, FormulaGridModel::PValueColumn})
        EXPECT_TRUE(grid->isColumnHidden(c)) << c;
    EXPECT_FALSE(grid->isColumnHidden(FormulaGridModel::EquivalentColumn));
    EXPECT_FALSE(summary->isVisible());
    // Reloading and back-testing keep the choice.
    panel->showFormulas();
    panel->runBacktest();
    EXPECT_TRUE(grid->isColumnHidden(FormulaGridModel::PValueColumn));
    EXPECT_FALSE(summary->isVisible());
    panel->setChanceComparisonShown(true);
    EXPECT_FALSE(grid->isColumnHidden(FormulaGridModel::PValueColumn));
    EXPECT_TRUE(summary->isVisible());
}

TEST_F(FormulaListPanelTest, ChanceComparisonStartsAsStored)
{
    ws.settings().setShowChanceComparison(false);
    open();
    EXPECT_FALSE(panel->chanceComparisonShown());
    EXPECT_TRUE(child<QTableView>("MSFlexGrid2")->isColumnHidden(FormulaGridModel::ExcessColumn));
}

// Double-click sorts: 超出 with the largest first, p值 with the smallest first.
TEST_F(FormulaListPanelTest, DoubleClickSortsByExcessAndPValue)
{
    // Kill formulas of 个位单选 over draws whose 个位 runs 3, 6, 1, 6: "6" is wrong twice, "L1A+1"
    // (predicting 2, 5, 2) never, "4" never either but its kills are less telling than none.
    addChinese({1, true}, true, {"6", "L1A+1", "4"});
    open();
    ASSERT_EQ(panel->runBacktest(), FormulaListPanel::BacktestOutcome::Done);
    auto* grid = child<QTableView>("MSFlexGrid2");
    emit grid->doubleClicked(panel->model()->index(0, FormulaGridModel::ExcessColumn));
    ASSERT_EQ(codes().size(), 3);
    EXPECT_EQ(codes().last(), "6"); // the smallest excess last
    for (int r = 1; r < 3; ++r)
        EXPECT_GE(panel->model()->outcomeAt(r - 1)->chance.excess,
                  panel->model()->outcomeAt(r)->chance.excess);
    emit grid->doubleClicked(panel->model()->index(0, FormulaGridModel::PValueColumn));
    EXPECT_EQ(codes().last(), "6"); // the largest p last
    for (int r = 1; r < 3; ++r)
        EXPECT_LE(*panel->model()->outcomeAt(r - 1)->chance.p, *panel->model()->outcomeAt(r)->chance.p);
    // 等价 has no order of its own: a double click there leaves the list as it is.
    const QStringList before = codes();
    emit grid->doubleClicked(panel->model()->index(0, FormulaGridModel::EquivalentColumn));
    EXPECT_EQ(codes(), before);
}

// "删除等价公式(&Q)": asks with the count, deletes all but the first of each group in one go and
// renumbers; Cancel and an answer of none change nothing. 个位单选 formulas must also vote alike
// (value MOD 10): L1A+7 predicts as L1A+1 does but votes for other digits, so it stays.
TEST_F(FormulaListPanelTest, DeletingEquivalentFormulas)
{
    addChinese({1, true}, true, {"L1A+1", "L2A*2", "L1A+7", "L1A+31", "L2A*2+30"});
    addChinese({1, true}, false, {"L1A+1"}); // the other sense is not compared
    open();
    QSignalSpy deleted(session.get(), &AnalysisSession::formulasChanged);
    QAction* action = child<QAction>("mnuDelDjgs");
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), QStringLiteral("删除等价公式(&Q)"));

    MessageBoxes::pushAnswer(false);
    action->trigger();
    EXPECT_EQ(
        MessageBoxes::shownTexts().last(),
        QStringLiteral("将删除个位单选杀码公式中的 2 条等价公式（每组保留序号最小的一条），是否继续？"));
    EXPECT_EQ(deleted.count(), 0);
    EXPECT_EQ(panel->model()->rowCount(), 5);

    MessageBoxes::pushAnswer(true);
    action->trigger();
    EXPECT_EQ(deleted.count(), 1);
    EXPECT_EQ(codes(), QStringList({"L1A+1", "L2A*2", "L1A+7"}));
    EXPECT_EQ(panel->model()->selectedCount(), 3);
    std::vector<FormulaRecord> table;
    QString error;
    ASSERT_TRUE(FormulaTableStore(&ws.database()).loadTable({1, true}, &table, &error));
    ASSERT_EQ(table.size(), 4u); // the keep formula stays
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(table[std::size_t(i)].idx, i + 1);

    MessageBoxes::pushAnswer(true);
    action->trigger();
    EXPECT_EQ(MessageBoxes::shownTexts().last(), QStringLiteral("没有等价公式。"));
    EXPECT_EQ(deleted.count(), 1);
}
