// The publication order in the windows: 设置 → 开奖号码顺序..., the formula grid's figures and
// q值 column, the summary line, 恢复默认设置, and the fairness line of 走势图.

#include "SyntheticHistory.h"
#include "TestSupport.h"
#include "WindowTestFixture.h"

#include "app/MainWindow.h"
#include "backtest/AnalysisSession.h"
#include "backtest/FormulaGridModel.h"
#include "charts/TrendChartWindow.h"
#include "history/HistoryColumns.h"
#include "history/Workspace.h"
#include "store/Settings.h"
#include "ui/MessageBoxes.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace {

class DrawOrderWindows : public WindowTestFixture
{
protected:
    void SetUp() override
    {
        WindowTestFixture::SetUp();
        QString error;
        // Published smallest first, as results pages write them.
        ASSERT_TRUE(ws.history().append(syntheticDraws(400, 31, true), &error)) << error.toStdString();
        addFormulas(ws, {1, true}, true, {"6", "1", "L1A+LH", "L2A+LT+3"}, QString());
        window = std::make_unique<MainWindow>(&ws, QString());
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void TearDown() override
    {
        window.reset();
        WindowTestFixture::TearDown();
    }
    QString cell(int row, int column) const
    {
        const FormulaGridModel* m = window->formulaModel();
        return m->data(m->index(row, column), Qt::DisplayRole).toString();
    }
    QString summary() const { return window->findChild<QLabel*>("lblChanceSummary")->text(); }

    std::unique_ptr<MainWindow> window;
};

} // namespace

TEST_F(DrawOrderWindows, TheOrderChosenInTheSettingsDecidesTheChance)
{
    // Detected: 个位单选杀 6 is right by chance in 125 of 216 draws, 1 in 215.
    EXPECT_EQ(cell(0, FormulaGridModel::ChanceRateColumn), QStringLiteral("57.87%"));
    EXPECT_EQ(cell(1, FormulaGridModel::ChanceRateColumn), QStringLiteral("99.54%"));
    auto* grid = window->findChild<QTableView*>("MSFlexGrid2");
    EXPECT_FALSE(grid->isColumnHidden(FormulaGridModel::QValueColumn));
    EXPECT_FALSE(cell(0, FormulaGridModel::QValueColumn).isEmpty());
    EXPECT_FALSE(summary().contains(QStringLiteral("公平骰子不符"))) << summary().toStdString();

    // The box shows what the detection found; choosing 按开出顺序 stores HMSX = 2 and recomputes.
    QAction* entry = window->findChild<QAction*>("mnuDrawOrder");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->text(), QStringLiteral("开奖号码顺序..."));
    MessageBoxes::pushAnswer(true, QStringLiteral("按开出顺序"));
    entry->trigger();
    EXPECT_TRUE(MessageBoxes::shownTexts().last().contains(
        QStringLiteral("已存 400 期中 100% 从小到大排列，按从小到大计算机会")))
        << MessageBoxes::shownTexts().last().toStdString();
    EXPECT_EQ(MessageBoxes::lastInputDefault(), QStringLiteral("自动识别"));
    EXPECT_EQ(ws.settings().publicationOrderIndex(), 2);
    EXPECT_EQ(cell(0, FormulaGridModel::ChanceRateColumn), QStringLiteral("83.33%"));
    // Sorted draws read as drawn are not fair dice: the summary says the comparison is with fair
    // dice, not with this lottery.
    EXPECT_TRUE(summary().contains(QStringLiteral("开奖历史与公平骰子不符"))) << summary().toStdString();

    // Cancelling changes nothing.
    MessageBoxes::pushAnswer(false);
    entry->trigger();
    EXPECT_EQ(ws.settings().publicationOrderIndex(), 2);

    // 恢复默认设置 goes back to detection, and the figures with it.
    window->findChild<QAction*>("meuHfmr")->trigger();
    EXPECT_EQ(ws.settings().publicationOrderIndex(), 0);
    EXPECT_EQ(cell(0, FormulaGridModel::ChanceRateColumn), QStringLiteral("57.87%"));
}

TEST_F(DrawOrderWindows, TrendWindowShowsTheFairnessCheck)
{
    AnalysisSession session(&ws);
    TrendChartWindow trend(&session);
    auto* fairness = trend.findChild<QLabel*>("lblFairness");
    ASSERT_NE(fairness, nullptr);
    EXPECT_TRUE(fairness->text().startsWith(QStringLiteral("近 100 期与公平骰子相符")))
        << fairness->text().toStdString();
    // Another order, read by the session: the window draws again by itself.
    ws.settings().setPublicationOrderIndex(2);
    session.reloadOptions();
    EXPECT_TRUE(fairness->text().contains(QStringLiteral("与公平骰子不符")))
        << fairness->text().toStdString();
}
