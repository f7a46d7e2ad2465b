#include "WindowTestFixture.h"

#include "backtest/FormulaGridModel.h"
#include "backtest/FormulaListPanel.h"
#include "history/HistoryColumns.h"
#include "history/Workspace.h"
#include "ui/DatabaseGuard.h"
#include "ui/MessageBoxes.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace {

// A formula list panel on its own. The test owns the kind, the sense and the column copy of the
// history, as the main window does, and changes them behind the panel's back.
class FormulaListPanelTest : public WindowTestFixture
{
protected:
    void SetUp() override
    {
        WindowTestFixture::SetUp();
        addDraws(ws,
                 {{"160121001", "123"}, {"160121002", "456"}, {"160121003", "111"}, {"160121004", "246"}});
        columns = HistoryColumns(ws.history().draws());
    }
    void TearDown() override
    {
        panel.reset();
        WindowTestFixture::TearDown();
    }
    void open(const QString& startupError = QString())
    {
        guard = std::make_unique<DatabaseGuard>(startupError);
        panel = std::make_unique<FormulaListPanel>(&ws, guard.get(), &kind, &kill, &columns);
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

    FormulaKind kind{1, true};
    bool kill = true;
    HistoryColumns columns;
    std::unique_ptr<DatabaseGuard> guard;
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
    kill = false; // the sense takes effect at the next reload only
    EXPECT_EQ(panel->model()->rowCount(), 3);
    panel->showFormulas();
    EXPECT_EQ(codes(), QStringList({"L3A"}));
    kind = {2, false};
    kill = true;
    panel->showFormulas();
    EXPECT_EQ(codes(), QStringList({"LH+3"}));
    EXPECT_EQ(panel->model()->kind(), FormulaKind({2, false}));
}

TEST_F(FormulaListPanelTest, BacktestFillsTheFiguresAndFeedsTheHistoryGrid)
{
    addChinese({1, true}, true, {"L1A+1", "L2A*2", "L9Z"});
    open();
    EXPECT_EQ(panel->runBacktest(0), FormulaListPanel::BacktestOutcome::Done);
    const FormulaGridModel* m = panel->model();
    ASSERT_NE(m->outcomeAt(0), nullptr);
    EXPECT_EQ(m->outcomeAt(0)->stats.finalHitRun, 3); // L1A+1's three kills all hold
    EXPECT_FALSE(m->outcomeAt(2)->valid);

    // The history grid's columns: one per formula over every draw, numbered from the list.
    const VerificationBlock block = panel->verificationBlock(1);
    EXPECT_EQ(block.firstNumber, 1);
    EXPECT_EQ(block.formulaCount, 3);
    EXPECT_EQ(block.drawCount, 4);
    EXPECT_EQ(panel->formulaName(1), QStringLiteral("中文L1A+1"));
    EXPECT_EQ(panel->formulaName(3), QStringLiteral("中文L9Z"));
    EXPECT_EQ(panel->formulaName(0), std::nullopt);
    EXPECT_EQ(panel->formulaName(4), std::nullopt);
}

TEST_F(FormulaListPanelTest, WithoutADatabaseNothingIsLoadedOrRun)
{
    addChinese({1, true}, true, {"L1A+1"});
    open(QStringLiteral("无法打开数据库 formula.mdb"));
    EXPECT_EQ(panel->model()->rowCount(), 0);
    EXPECT_EQ(panel->runBacktest(0), FormulaListPanel::BacktestOutcome::NotRun);
    MessageBoxes::pushAnswer(true);
    child<QLineEdit>("Text2")->setText(QStringLiteral("[个位单选杀]百位码+1"));
    child<QPushButton>("Command1")->click();
    EXPECT_TRUE(MessageBoxes::shownTexts().last().startsWith(QStringLiteral("数据库没有打开")));
}

TEST_F(FormulaListPanelTest, TypedFormulaNamesTheKindTheOwnerShouldShow)
{
    open();
    std::vector<std::pair<FormulaKind, bool>> added;
    QObject::connect(panel.get(), &FormulaListPanel::typedFormulaAdded, panel.get(),
                     [&added](const FormulaKind& k, bool sense) { added.emplace_back(k, sense); });
    child<QLineEdit>("Text2")->setText(QStringLiteral("十位码+和数+3=下期生码十位通选"));
    child<QPushButton>("Command1")->click();
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added[0].first, FormulaKind({2, false}));
    EXPECT_FALSE(added[0].second);
    EXPECT_TRUE(child<QLineEdit>("Text2")->text().isEmpty());

    MessageBoxes::pushAnswer(true);
    child<QLineEdit>("Text2")->setText(QStringLiteral("十位码+千位码"));
    child<QPushButton>("Command1")->click();
    EXPECT_EQ(added.size(), 1u);
    EXPECT_EQ(child<QLineEdit>("Text2")->text(), QStringLiteral("十位码+千位码")); // kept for correcting
}

TEST_F(FormulaListPanelTest, DeletionReloadsTheListAndAnnouncesIt)
{
    addChinese({1, true}, true, {"L1A", "L2A", "L3A"});
    open();
    QSignalSpy deleted(panel.get(), &FormulaListPanel::formulasDeleted);
    // Without a right-click there is no formula under the mouse: nothing is deleted.
    child<QAction>("mnuDelGS")->trigger();
    EXPECT_EQ(deleted.count(), 0);
    EXPECT_EQ(panel->model()->rowCount(), 3);

    auto* grid = child<QTableView>("MSFlexGrid2");
    emit grid->customContextMenuRequested(grid->visualRect(panel->model()->index(1, 1)).center());
    if (QWidget* popup = QApplication::activePopupWidget())
        popup->close();
    child<QAction>("mnuDelGS")->trigger();
    EXPECT_EQ(deleted.count(), 1);
    EXPECT_EQ(codes(), QStringList({"L1A", "L3A"}));
}
