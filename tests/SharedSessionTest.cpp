#include "SearchTestSupport.h"
#include "WindowTestFixture.h"

#include "app/MainWindow.h"
#include "backtest/AnalysisSession.h"
#include "backtest/FormulaGridModel.h"
#include "charts/NumberTrendCharts.h"
#include "charts/TrendChartWindow.h"
#include "formula/FormulaTableStore.h"
#include "history/HistoryGridModel.h"
#include "history/Workspace.h"
#include "search/SearchResultModel.h"
#include "search/SearchWindow.h"
#include "ui/MessageBoxes.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// Two windows on the main window's one session: what one of them changes reaches the other only
// through that session (the test builds the second window itself, so nothing else joins them).
class SharedSession : public WindowTestFixture
{
protected:
    void open(int draws)
    {
        storeDraws(ws, searchTestDraws(draws, 11));
        main = std::make_unique<MainWindow>(&ws, QString());
        main->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main.get()));
    }
    void TearDown() override
    {
        main.reset();
        WindowTestFixture::TearDown();
    }
    template <typename T> T* child(QWidget* w, const char* name)
    {
        return w->findChild<T*>(QString::fromLatin1(name));
    }
    // One digit into each entry box (the trend window in front keeps the focus); the third one
    // stores the draw.
    void typeDraw(const char* digits)
    {
        for (int i = 0; i < 3; ++i)
            QTest::keyClicks(
                child<QLineEdit>(main.get(), QStringLiteral("txtIpt%1").arg(i + 1).toLatin1().constData()),
                QString::fromLatin1(digits).mid(i, 1));
    }
    // Any candidate qualifies; the search stops after `count`.
    void searchEverything(SearchWindow& w, int count)
    {
        const QStringList everything{"0", "100", "0", "32768", "0", "32768", "0", "32768", "0", "32768"};
        for (int j = 0; j < 10; ++j)
            w.findChild<QLineEdit*>(QStringLiteral("range%1").arg(j))->setText(everything[j]);
        child<QCheckBox>(&w, "chkAutoStop")->setChecked(true);
        child<QLineEdit>(&w, "txtAutoStop")->setText(QString::number(count));
        child<QPushButton>(&w, "cmdStart")->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !w.isSearching(); }, 20000));
    }
    int stored(const FormulaKind& kind, bool kill)
    {
        std::vector<FormulaRecord> rows;
        QString error;
        EXPECT_TRUE(FormulaTableStore(&ws.database()).loadSubset(kind, kill, &rows, &error))
            << error.toStdString();
        return int(rows.size());
    }

    std::unique_ptr<MainWindow> main;
};

} // namespace

// A draw typed into the main window: the open trend window draws the longer history by itself,
// once, and both windows show the same newest draw.
TEST_F(SharedSession, ADrawTypedInTheMainWindowReachesTheTrendWindow)
{
    open(150);
    child<QPushButton>(main.get(), "cmdZst")->click();
    TrendChartWindow* trend = main->trendWindow();
    ASSERT_NE(trend, nullptr);
    EXPECT_EQ(trend->drawsBox()->maximum(), 150);
    int historyAnnounced = 0;
    QObject::connect(main->session(), &AnalysisSession::historyChanged, [&] { ++historyAnnounced; });

    typeDraw("356");
    const QString newest = ws.history().newest()->issue;
    EXPECT_EQ(ws.history().draws().size(), 151u);
    EXPECT_EQ(historyAnnounced, 1);
    EXPECT_EQ(main->session()->columns()->drawCount(), 151);
    EXPECT_EQ(main->historyModel()->rowCount(), 151);
    EXPECT_EQ(trend->drawsBox()->maximum(), 151);
    EXPECT_EQ(trend->numberCharts()->trend().issues.last(), newest);
}

// Results saved in a search window built on the session: the main window lists them and
// back-tests them at once, while the search window stays open; the next save does so again.
TEST_F(SharedSession, ASavedSearchResultReachesTheMainWindow)
{
    open(200);
    ASSERT_EQ(main->formulaModel()->rowCount(), 0);
    SearchWindow search(main->session(), main.get());
    const int runs = main->backtestRuns();
    searchEverything(search, 2);
    ASSERT_EQ(search.pendingResults().size(), 2u);
    MessageBoxes::pushAnswer(true); // "公式追加完毕！"
    child<QPushButton>(&search, "cmdAppend")->click();
    EXPECT_EQ(stored({1, true}, true), 2);
    EXPECT_EQ(main->formulaModel()->rowCount(), 2);
    EXPECT_EQ(main->backtestRuns(), runs + 1);
    ASSERT_NE(main->formulaModel()->outcomeAt(0), nullptr); // the figures of the saved formulas

    searchEverything(search, 3);
    MessageBoxes::pushAnswer(true);
    child<QPushButton>(&search, "cmdAppend")->click();
    EXPECT_EQ(main->formulaModel()->rowCount(), stored({1, true}, true));
    EXPECT_EQ(main->backtestRuns(), runs + 2);
}

// A hold-out and a look-back chosen in the main window's menu: the main window back-tests with
// them, and the search window already open on the session searches with them.
TEST_F(SharedSession, OptionsChosenInTheMainWindowReachTheSearchWindow)
{
    open(330);
    SearchWindow search(main->session(), main.get());
    const int runs = main->backtestRuns();

    MessageBoxes::pushAnswer(true, "40");
    child<QAction>(main.get(), "mnuHoldOut")->trigger();
    child<QAction>(main.get(), "mnuQs1")->trigger(); // 前100期
    EXPECT_EQ(main->backtestRuns(), runs + 2);
    EXPECT_EQ(main->session()->options().holdOut, 40);
    EXPECT_EQ(main->lookBackDraws(), 100);

    searchEverything(search, 3);
    ASSERT_EQ(search.pendingResults().size(), 3u);
    EXPECT_EQ(search.pendingResults()[0].holdOut.tested, 40);
    EXPECT_FALSE(child<QLabel>(&search, "lblHoldOut")->isHidden());
    // Scored over the look-back of 100 draws before the 40 held out, not over the 300 the settings
    // held when the window opened.
    EXPECT_NEAR(search.pendingResults()[0].chance.tested, 100, 1);
}
