#include "TestSupport.h"
#include "WindowTestFixture.h"

#include "app/MainWindow.h"
#include "backtest/DetailListWindow.h"
#include "backtest/FormulaGridModel.h"
#include "backtest/FormulaSortWindow.h"
#include "backtest/PositionHistory.h"
#include "backtest/PositionHistoryModel.h"
#include "backtest/PositionHistoryWindow.h"
#include "history/Workspace.h"
#include "killkeep/RankingPanel.h"
#include "killkeep/RankingWindow.h"
#include "killkeep/ReplayWindow.h"
#include "ui/MessageBoxes.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSettings>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>

namespace {

// The main window over a fresh data folder, driven as a user drives the formula list.
class FormulaListManagement : public WindowTestFixture
{
protected:
    void SetUp() override
    {
        WindowTestFixture::SetUp();
        // Units after the oldest draw: 1, 1, 1, 2, 2, 3, 6. As kill formulas of 个位单选 the constants
        // "1" to "4" miss 3, 2, 1 and 0 times in a row at most and end on 4, 2, 1 and 7 hits.
        addDraws(ws, {{"160121001", "335"},
                      {"160121002", "331"},
                      {"160121003", "331"},
                      {"160121004", "331"},
                      {"160121005", "332"},
                      {"160121006", "332"},
                      {"160121007", "333"},
                      {"160121008", "336"}});
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
    FormulaGridModel* model() { return window->formulaModel(); }
    QTableView* grid() { return child<QTableView>("MSFlexGrid2"); }
    QStringList shown()
    {
        QStringList out;
        for (int r = 0; r < model()->rowCount(); ++r)
            out << model()->formulaAt(r).gongshi;
        return out;
    }
    QStringList unselected()
    {
        QStringList out;
        for (int r = 0; r < model()->rowCount(); ++r)
            if (!model()->isSelected(r))
                out << model()->formulaAt(r).gongshi;
        return out;
    }
    void doubleClickHeader(int column) { emit grid()->horizontalHeader()->sectionDoubleClicked(column); }
    void rightClick(int row)
    {
        emit grid()->customContextMenuRequested(grid()->visualRect(model()->index(row, 1)).center());
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
    }
    bool scrolledToEnd()
    {
        const QScrollBar* bar = grid()->verticalScrollBar();
        return bar->maximum() > 0 && bar->value() == bar->maximum();
    }
    void confirmSortWindowSoon()
    {
        QTimer::singleShot(0, [this] { window->sortWindow()->confirmButton()->click(); });
    }

    std::unique_ptr<MainWindow> window;
};

QString cell(const QAbstractItemModel* m, int row, int column)
{
    return m->data(m->index(row, column), Qt::DisplayRole).toString();
}

} // namespace

TEST_F(FormulaListManagement, FlagsAndTheRightClickedFormulaFollowTheFormulaWhateverTheOrder)
{
    addFormulas(ws, {1, true}, true, {"1", "2", "3", "4"}, QString());
    open();
    doubleClickHeader(FormulaGridModel::MaxMissColumn);
    ASSERT_EQ(shown(), QStringList({"4", "3", "2", "1"})); // fewest misses in a row first

    // Unselect "3" (row 1), delete "4" (row 0): "3" stays the one unselected.
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {},
                      grid()->visualRect(model()->index(1, 1)).center());
    ASSERT_EQ(unselected(), QStringList({"3"}));
    rightClick(0);
    action("mnuDelGS")->trigger();
    EXPECT_EQ(shown(), QStringList({"1", "2", "3"}));
    EXPECT_EQ(unselected(), QStringList({"3"}));

    // The 管理 entry acts on the formula right-clicked, also after the list was sorted again.
    doubleClickHeader(FormulaGridModel::FinalHitColumn);
    ASSERT_EQ(shown(), QStringList({"3", "2", "1"})); // final hits 1, 2, 4
    rightClick(2);                                    // "1"
    doubleClickHeader(FormulaGridModel::MaxHitColumn);
    ASSERT_EQ(shown(), QStringList({"2", "1", "3"})); // longest hit runs 3, 4, 5
    action("mnuDelLastGS")->trigger();
    EXPECT_EQ(shown(), QStringList({"2", "3"}));

    // Nothing right-clicked since (a deletion forgets it): the entries say so and do nothing.
    MessageBoxes::clearShownTexts();
    MessageBoxes::pushAnswer(true);
    MessageBoxes::pushAnswer(true);
    action("mnuDelGS")->trigger();
    action("mnuGsbz")->trigger();
    EXPECT_EQ(shown(), QStringList({"2", "3"}));
    ASSERT_EQ(MessageBoxes::shownTexts().size(), 2);
    EXPECT_TRUE(MessageBoxes::shownTexts()[0].contains(QStringLiteral("没有右键所点的公式")));
    EXPECT_EQ(window->stepsWindow(), nullptr);

    // The formula right-clicked is no longer listed once another kind is shown.
    addFormulas(ws, {2, true}, true, {"5", "6"}, QString());
    rightClick(0);
    child<QRadioButton>("optXing2")->click();
    ASSERT_EQ(shown(), QStringList({"5", "6"}));
    MessageBoxes::clearShownTexts();
    MessageBoxes::pushAnswer(true);
    action("mnuDelGS")->trigger();
    EXPECT_EQ(shown(), QStringList({"5", "6"}));
    ASSERT_EQ(MessageBoxes::shownTexts().size(), 1);
    EXPECT_TRUE(MessageBoxes::shownTexts()[0].contains(QStringLiteral("已不在当前的公式列表中")));
}

TEST_F(FormulaListManagement, LongListsScrollToTheirEndOnARedrawAndAfterALongBestWalk)
{
    QStringList many;
    for (int i = 0; i < 40; ++i)
        many << QStringLiteral("4");
    addFormulas(ws, {1, true}, true, many, QString());
    open();
    ASSERT_EQ(model()->rowCount(), 40);
    EXPECT_TRUE(cell(model(), 0, FormulaGridModel::RateColumn).startsWith("100.0000%"));

    // A double click on columns 0-4 keeps the order, redraws (the rate in general form) and, with
    // 30 rows or more, shows the last row.
    for (int column : {0, 2, 4}) {
        grid()->verticalScrollBar()->setValue(0);
        emit grid()->doubleClicked(model()->index(0, column));
        EXPECT_TRUE(scrolledToEnd()) << column;
    }
    EXPECT_TRUE(cell(model(), 0, FormulaGridModel::RateColumn).startsWith("100% ("));

    // The best method walks all 40 (they all name the same digit, 10 − 3 are never covered).
    grid()->verticalScrollBar()->setValue(0);
    confirmSortWindowSoon();
    child<QPushButton>("Command23")->click();
    EXPECT_TRUE(window->allPositionsWindow() != nullptr);
    EXPECT_TRUE(scrolledToEnd());
}

TEST_F(FormulaListManagement, CalculationUsesTheListShownAndItsValues)
{
    const FormulaKind general{2, false};
    // "6/(L3A-6)+10" has no value on the newest draw (个位 6): it votes with the draw before,
    // 6/(3−6)+10 = 8, that is 2.
    addFormulas(ws, general, true, {"6/(L3A-6)+10", "5"}, QString());
    addFormulas(ws, general, false, {"4"}, QString());
    open();
    child<QRadioButton>("optXing2")->click();
    child<QRadioButton>("opTDG1")->click();
    child<QRadioButton>("Option61")->click(); // 计算选中公式
    ASSERT_EQ(shown(), QStringList({"6/(L3A-6)+10", "5"}));
    // 计算值 shows the value that votes, marked as coming from an earlier draw.
    EXPECT_EQ(cell(model(), 0, FormulaGridModel::NextValueColumn), "2*");
    EXPECT_FALSE(model()
                     ->data(model()->index(0, FormulaGridModel::NextValueColumn), Qt::ToolTipRole)
                     .toString()
                     .isEmpty());
    EXPECT_EQ(cell(model(), 1, FormulaGridModel::NextValueColumn), "5");

    // A formula selected after the back-test: its 计算值 is shown before it votes.
    model()->setSelected(1, false);
    model()->redrawResults();
    model()->setSelected(1, true);
    ASSERT_TRUE(cell(model(), 1, FormulaGridModel::NextValueColumn).isEmpty());
    child<QPushButton>("Command23")->click();
    EXPECT_EQ(cell(model(), 1, FormulaGridModel::NextValueColumn), "5");
    const QAbstractItemModel* votes = window->rankingWindow()->panel()->rankingView()->model();
    ASSERT_EQ(votes->rowCount(), 6);
    EXPECT_EQ(cell(votes, 4, 1), "2"); // the two killed numbers last, one vote each
    EXPECT_EQ(cell(votes, 4, 2), "1");
    EXPECT_EQ(cell(votes, 5, 1), "5");
    EXPECT_EQ(cell(votes, 5, 2), "1");

    // 生 chosen: the list is reloaded for the keep formulas before they vote.
    child<QRadioButton>("Option21")->click();
    EXPECT_EQ(shown(), QStringList({"6/(L3A-6)+10", "5"})); // the option alone does not reload
    child<QPushButton>("Command23")->click();
    EXPECT_EQ(shown(), QStringList({"4"}));
    EXPECT_FALSE(window->killSense());
    EXPECT_EQ(cell(votes, 0, 1), "4"); // keep: most votes first
    EXPECT_EQ(cell(votes, 0, 2), "1");
    EXPECT_EQ(cell(votes, 1, 2), "0");

    // The replay of the calculation (管理 → 计算方法回测) reloads the list the same way.
    child<QRadioButton>("Option20")->click();
    child<QAction>("mnuJshc")->trigger();
    EXPECT_EQ(shown(), QStringList({"6/(L3A-6)+10", "5"}));
    ASSERT_NE(window->replayWindow(), nullptr);
    EXPECT_TRUE(window->replayWindow()->request().kill);
}

TEST_F(FormulaListManagement, PastRankingWalksTheFormulasInIdxOrderWhateverTheGridShows)
{
    // Keep formulas "3" then "5": "3" leaves itself uncovered with no vote, "5" then gives every
    // number one more, so 3 ends with 1 vote and the others with 2.
    addFormulas(ws, {1, true}, false, {"3", "5"}, QString());
    open();
    child<QRadioButton>("Option21")->click();
    child<QRadioButton>("optXing1")->click();
    ASSERT_EQ(shown(), QStringList({"3", "5"}));
    doubleClickHeader(FormulaGridModel::MaxHitColumn);
    ASSERT_EQ(shown(), QStringList({"5", "3"})); // "5" never hits
    MessageBoxes::pushAnswer(true);
    child<QPushButton>("Command12")->click();
    ASSERT_NE(window->positionHistoryWindow(), nullptr);
    const PositionHistoryModel* m = window->positionHistoryWindow()->model();
    ASSERT_GT(m->rowCount(), 0);
    EXPECT_EQ(cell(m, 0, PositionHistory::FirstNumberColumn), "3");
    EXPECT_EQ(cell(m, 0, PositionHistory::FirstCountColumn), "1");
}

TEST_F(FormulaListManagement, NumberColumnsFitTheLargestNumberTheyHold)
{
    // 32,767 formulas, the most a table holds: the 序号 of the last one is shown whole.
    QStringList codes;
    for (int i = 0; i < 32767; ++i)
        codes << QStringLiteral("4");
    addFormulas(ws, {1, true}, true, codes, QString());
    open();
    ASSERT_EQ(model()->rowCount(), 32767);
    const QModelIndex last = model()->index(32766, FormulaGridModel::NumberColumn);
    EXPECT_EQ(cell(model(), 32766, FormulaGridModel::NumberColumn), "32767");
    EXPECT_GE(grid()->columnWidth(FormulaGridModel::NumberColumn), grid()->sizeHintForIndex(last).width());
    for (int column : {FormulaGridModel::MaxMissColumn, FormulaGridModel::MaxHitColumn,
                       FormulaGridModel::FinalMissColumn, FormulaGridModel::FinalHitColumn})
        EXPECT_GE(grid()->columnWidth(column),
                  grid()->sizeHintForIndex(model()->index(32766, column)).width());

    // The detail list of a calculation numbers its rows the same way.
    std::vector<DetailListRow> rows(
        12000, DetailListRow{"4", QStringLiteral("个位单选"), QStringLiteral("杀"), "4", "100% (1/1)"});
    DetailListWindow list(rows, dir.path());
    const QAbstractItemModel& m = list.model();
    EXPECT_EQ(cell(&m, 11999, 0), "12000");
    EXPECT_GE(list.view()->columnWidth(0), list.view()->sizeHintForIndex(m.index(11999, 0)).width());
}
