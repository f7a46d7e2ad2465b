// The hold-out and the replay of the calculation in the windows: the 设置 entry and the formula
// grid's hold-out columns, the search window's hold-out line, and the window "计算方法回测" opened
// from a ranking window and from 管理.

#include "SearchTestSupport.h"
#include "SyntheticHistory.h"
#include "TestSupport.h"
#include "WindowTestFixture.h"

#include "app/MainWindow.h"
#include "backtest/AnalysisSession.h"
#include "backtest/FormulaGridModel.h"
#include "backtest/FormulaListPanel.h"
#include "backtest/FormulaSortWindow.h"
#include "history/Workspace.h"
#include "killkeep/AllPositionsRankingWindow.h"
#include "killkeep/RankingPanel.h"
#include "killkeep/RankingWindow.h"
#include "killkeep/ReplayTableModel.h"
#include "killkeep/ReplayWindow.h"
#include "search/SearchPanel.h"
#include "search/SearchResultModel.h"
#include "search/SearchWindow.h"
#include "ui/MessageBoxes.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>

namespace {

const QStringList kCodes{"L1A+LH", "L2A*2+1", "L3A+LT+2", "LH+LT",   "L1G+3",     "L2D+L3E", "SQH+5",
                         "LX+L1A", "L1A*L2A", "L3A+SQH",  "LH*2+LT", "L2A+L3E+4", "L1G+LX",  "L2D*3+1"};

class HoldOutWindows : public WindowTestFixture
{
protected:
    void SetUp() override
    {
        WindowTestFixture::SetUp();
        QString error;
        draws = syntheticDraws(330, 12);
        ASSERT_TRUE(ws.history().append(draws, &error)) << error.toStdString();
        for (const FormulaKind& kind : FormulaKind::all())
            addFormulas(ws, kind, true, kCodes, QString());
    }
    void TearDown() override
    {
        window.reset();
        WindowTestFixture::TearDown();
    }
    void openWindow()
    {
        window = std::make_unique<MainWindow>(&ws, QString());
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    template <typename T> T* child(const QString& name) { return window->findChild<T*>(name); }
    // Answers the sort window of the best method with 正确率, 最大连错 and the limit 3.
    void answerSortWindow()
    {
        QTimer::singleShot(0, [this] {
            FormulaSortWindow* sort = window->sortWindow();
            sort->option(0, FormulaFigure::Rate)->setChecked(true);
            sort->option(1, FormulaFigure::MaxMiss)->setChecked(true);
            sort->limitBox()->setText("3");
            sort->confirmButton()->click();
        });
    }
    // The 滤杀 numbers a ranking window shows, ascending, blank-separated.
    static QString killedOf(const RankingPanel* panel)
    {
        const QAbstractItemModel* m = panel->rankingView()->model();
        std::vector<int> killed;
        for (int r = 0; r < m->rowCount(); ++r)
            if (m->data(m->index(r, RankingBuilder::VerdictColumn)).toString() == QStringLiteral("滤杀"))
                killed.push_back(m->data(m->index(r, RankingBuilder::NumberColumn)).toInt());
        std::sort(killed.begin(), killed.end());
        QStringList texts;
        for (int n : killed)
            texts << QString::number(n);
        return texts.join(' ');
    }

    std::vector<DrawRecord> draws;
    std::unique_ptr<MainWindow> window;
};

} // namespace

// 设置 → "留出检验期数设置(&H)...": asks until the answer is 0 to half the history, back-tests at
// once, and the formula grid shows the hold-out columns and the summary its hold-out part.
TEST_F(HoldOutWindows, SettingTheHoldOutShowsItsColumns)
{
    openWindow();
    auto* grid = child<QTableView>("MSFlexGrid2");
    ASSERT_NE(grid, nullptr);
    EXPECT_TRUE(grid->isColumnHidden(FormulaGridModel::HoldOutRateColumn));
    EXPECT_TRUE(grid->isColumnHidden(FormulaGridModel::HoldOutPColumn));
    const int runs = window->backtestRuns();

    MessageBoxes::pushAnswer(true, "三十"); // not a number
    MessageBoxes::pushAnswer(true);         // its warning
    MessageBoxes::pushAnswer(true, "166");  // more than half of 330
    MessageBoxes::pushAnswer(true);
    MessageBoxes::pushAnswer(true, "30");
    child<QAction>("mnuHoldOut")->trigger();
    EXPECT_EQ(ws.settings().holdOut(), 30);
    EXPECT_TRUE(MessageBoxes::shownTexts().contains(QStringLiteral("请输入留出检验的期数（0 表示不留出）")));
    EXPECT_TRUE(MessageBoxes::shownTexts().contains(BacktestOptions::holdOutRefusal(330)));
    EXPECT_EQ(window->backtestRuns(), runs + 1);
    EXPECT_FALSE(grid->isColumnHidden(FormulaGridModel::HoldOutRateColumn));
    EXPECT_FALSE(grid->isColumnHidden(FormulaGridModel::HoldOutPColumn));
    const FormulaGridModel* m = window->formulaModel();
    EXPECT_EQ(m->heldOut(), 30);
    EXPECT_EQ(m->headerData(FormulaGridModel::HoldOutRateColumn, Qt::Horizontal, Qt::DisplayRole).toString(),
              QStringLiteral("留出正确率"));
    EXPECT_EQ(m->headerData(FormulaGridModel::HoldOutPColumn, Qt::Horizontal, Qt::DisplayRole).toString(),
              QStringLiteral("留出p值"));
    for (int r = 0; r < m->rowCount(); ++r) {
        const QString rate =
            m->data(m->index(r, FormulaGridModel::HoldOutRateColumn), Qt::DisplayRole).toString();
        EXPECT_TRUE(rate.endsWith("/30)")) << rate.toStdString();
        EXPECT_FALSE(
            m->data(m->index(r, FormulaGridModel::HoldOutPColumn), Qt::DisplayRole).toString().isEmpty());
    }
    const FormulaOutcome* first = m->outcomeAt(0);
    ASSERT_NE(first, nullptr);
    // The window ends before the held-out draws: rows 1..299 of the first 300 (look-back 300).
    EXPECT_EQ(first->stats.totalWeight, 299LL * 300 * 599 / 6);
    EXPECT_TRUE(
        window->formulaPanel()->summaryLabel()->text().contains(QStringLiteral("；留出期：平均正确率 ")));

    // A cancelled box changes nothing; 0 turns the hold-out off again.
    MessageBoxes::pushAnswer(false);
    child<QAction>("mnuHoldOut")->trigger();
    EXPECT_EQ(ws.settings().holdOut(), 30);
    MessageBoxes::pushAnswer(true, "0");
    child<QAction>("mnuHoldOut")->trigger();
    EXPECT_EQ(ws.settings().holdOut(), 0);
    EXPECT_TRUE(grid->isColumnHidden(FormulaGridModel::HoldOutRateColumn));
    EXPECT_FALSE(window->formulaPanel()->summaryLabel()->text().contains(QStringLiteral("留出期")));
}

// The ranking window's "计算方法回测(&R)" replays the calculation it shows; each replayed draw's
// 滤杀 numbers are what "验证历史结果" shows for that draw; the list exports to JSHC.xlsx.
TEST_F(HoldOutWindows, ReplayFromTheRankingWindowAgreesWithVerification)
{
    openWindow();
    child<QRadioButton>("optXing3")->click();
    child<QRadioButton>("opTDG1")->click(); // 百位通选
    child<QRadioButton>("Option60")->click();
    answerSortWindow();
    child<QPushButton>("Command23")->click();
    RankingWindow* ranking = window->rankingWindow();
    ASSERT_NE(ranking, nullptr);
    ASSERT_FALSE(ranking->replayButton()->isHidden());
    ranking->replayButton()->click();
    ReplayWindow* replay = window->replayWindow();
    ASSERT_NE(replay, nullptr);
    EXPECT_TRUE(replay->isVisible());
    EXPECT_EQ(replay->windowTitle(), QStringLiteral("计算方法回测"));
    EXPECT_EQ(replay->drawsBox()->maximum(), 30); // 330 draws, look-back 300
    EXPECT_EQ(replay->drawsBox()->value(), 30);   // the default 100 is more than the history allows
    EXPECT_TRUE(replay->request().bestMethod);
    EXPECT_EQ(replay->request().limit, 3);
    QAbstractItemModelTester tester(replay->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);

    replay->drawsBox()->setValue(4);
    replay->startButton()->click();
    const ReplayTableModel* m = replay->model();
    ASSERT_EQ(m->rowCount(), 4);
    EXPECT_EQ(m->headerData(ReplayTableModel::KilledDrawnColumn, Qt::Horizontal, Qt::DisplayRole).toString(),
              QStringLiteral("滤杀中开出"));
    EXPECT_TRUE(replay->summaryLabel()->text().contains(QStringLiteral("回测 4 期：滤杀号码 12 个")))
        << replay->summaryLabel()->text().toStdString();
    EXPECT_EQ(replay->result().summary.levelCount(), 6);

    for (int row : {0, 3}) {
        const DrawRecord& d = draws[std::size_t(326 + row)];
        EXPECT_EQ(m->data(m->index(row, ReplayTableModel::IssueColumn), Qt::DisplayRole).toString(), d.issue);
        child<QLineEdit>("Text3")->setText(d.issue);
        child<QRadioButton>("Option51")->click();
        answerSortWindow();
        child<QPushButton>("Command23")->click();
        EXPECT_EQ(m->data(m->index(row, ReplayTableModel::KilledColumn), Qt::DisplayRole).toString(),
                  killedOf(window->rankingWindow()->panel()))
            << d.issue.toStdString();
    }

    replay->exportButton()->click();
    EXPECT_TRUE(QFile::exists(dir.file("JSHC.xlsx")));
    const QString strings = readWorkbookPart(dir.file("JSHC.xlsx"), "xl/sharedStrings.xml");
    EXPECT_TRUE(strings.contains(QStringLiteral("开奖号位次")));
    // 期号 and 开奖号码 are text, as in lishi.xlsx: a lookup on the issue matches.
    for (int row = 0; row < m->rowCount(); ++row)
        for (int column : {ReplayTableModel::IssueColumn, ReplayTableModel::DrawnColumn}) {
            const QString text = m->data(m->index(row, column), Qt::DisplayRole).toString();
            EXPECT_TRUE(strings.contains(QStringLiteral("<t>%1</t>").arg(text))) << text.toStdString();
        }
}

// 管理 → "计算方法回测" with the selected-formulas method over 单选 十位: two positions per draw.
TEST_F(HoldOutWindows, ReplayFromTheManagementMenu)
{
    openWindow();
    child<QRadioButton>("optXing2")->click(); // 十位单选
    child<QRadioButton>("Option61")->click();
    ASSERT_EQ(window->replayWindow(), nullptr);
    child<QAction>("mnuJshc")->trigger();
    ReplayWindow* replay = window->replayWindow();
    ASSERT_NE(replay, nullptr);
    EXPECT_FALSE(replay->request().bestMethod);
    EXPECT_EQ(replay->request().kind, (FormulaKind{2, true}));
    replay->drawsBox()->setValue(3);
    replay->startButton()->click();
    const ReplayResult& r = replay->result();
    ASSERT_EQ(r.draws.size(), 3u);
    EXPECT_EQ(r.summary.levelCount(), 10);
    for (const ReplayDraw& d : r.draws) {
        ASSERT_EQ(d.rankings.size(), 2u);
        EXPECT_EQ(d.levels.size(), 2u);
    }
    const QString killed =
        replay->model()
            ->data(replay->model()->index(0, ReplayTableModel::KilledColumn), Qt::DisplayRole)
            .toString();
    EXPECT_TRUE(killed.startsWith(QStringLiteral("个位 ")) && killed.contains(QStringLiteral("；十位 ")))
        << killed.toStdString();
}

// The search with a hold-out: each listed candidate shows its hold-out rate and p, and the window
// the line over the list.
TEST_F(HoldOutWindows, SearchWindowShowsTheHoldOutLine)
{
    ws.settings().setHoldOut(40);
    AnalysisSession session(&ws);
    SearchWindow w(&session);
    auto* label = w.findChild<QLabel*>("lblHoldOut");
    ASSERT_NE(label, nullptr);
    EXPECT_TRUE(label->isHidden());
    const QStringList everything{"0", "100", "0", "32768", "0", "32768", "0", "32768", "0", "32768"};
    for (int j = 0; j < 10; ++j)
        w.findChild<QLineEdit*>(QStringLiteral("range%1").arg(j))->setText(everything[j]);
    w.findChild<QCheckBox*>("chkAutoStop")->setChecked(true);
    w.findChild<QLineEdit*>("txtAutoStop")->setText("5");
    w.findChild<QPushButton*>("cmdStart")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.isSearching(); }, 20000));
    ASSERT_EQ(w.resultModel()->rowCount(), 5);
    EXPECT_FALSE(label->isHidden());
    EXPECT_TRUE(label->text().startsWith(QStringLiteral("合格 5 条：留出期平均正确率 ")))
        << label->text().toStdString();
    const QString row = w.resultModel()->data(w.resultModel()->index(0, 0), Qt::DisplayRole).toString();
    EXPECT_TRUE(row.startsWith(w.resultModel()->forms()[0]));
    EXPECT_TRUE(row.contains(QStringLiteral("　留出 "))) << row.toStdString();
    EXPECT_EQ(w.pendingResults()[0].holdOut.tested, 40);
}
