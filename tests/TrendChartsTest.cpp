#include "CliRunner.h"
#include "SearchTestSupport.h"
#include "SyntheticHistory.h"
#include "WindowTestFixture.h"

#include "app/MainWindow.h"
#include "backtest/AnalysisSession.h"
#include "backtest/FormulaGridModel.h"
#include "charts/ChartPicture.h"
#include "charts/FormulaTrendCharts.h"
#include "charts/IssueAxis.h"
#include "charts/NumberTrendCharts.h"
#include "charts/ReplayTrendCharts.h"
#include "charts/TrendChartView.h"
#include "charts/TrendChartWindow.h"
#include "charts/TrendPictures.h"
#include "formula/CompiledFormula.h"
#include "formula/FormulaTableStore.h"
#include "history/HistoryColumns.h"
#include "killkeep/ReplayWindow.h"
#include "ui/DesktopOpener.h"

#include <QAction>
#include <QApplication>
#include <QAreaSeries>
#include <QBarSeries>
#include <QBarSet>
#include <QDir>
#include <QGraphicsTextItem>
#include <QHeaderView>
#include <QLabel>
#include <QLegend>
#include <QLineSeries>
#include <QPushButton>
#include <QRadioButton>
#include <QScatterSeries>
#include <QSpinBox>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QStringList issuesOf(const std::vector<DrawRecord>& draws)
{
    QStringList out;
    for (const DrawRecord& d : draws)
        out << d.issue;
    return out;
}

template <typename S> S* seriesNamed(QChart* chart, const QString& name)
{
    for (QAbstractSeries* s : chart->series())
        if (s->name() == name)
            return qobject_cast<S*>(s);
    return nullptr;
}

QList<qreal> yValues(const QXYSeries* s)
{
    QList<qreal> out;
    for (const QPointF& p : s->points())
        out << p.y();
    return out;
}

template <typename T> QList<qreal> asReals(const std::vector<T>& values)
{
    return QList<qreal>(values.begin(), values.end());
}

// A picture with more than one colour: something was drawn.
bool hasDrawing(const QImage& image)
{
    const QRgb first = image.pixel(0, 0);
    for (int y = 0; y < image.height(); y += 3)
        for (int x = 0; x < image.width(); x += 3)
            if (image.pixel(x, y) != first)
                return true;
    return false;
}

FormulaTrend formulaTrendOf(const std::vector<DrawRecord>& draws, const QString& code, int m)
{
    return FormulaTrend::of(HistoryColumns(draws), issuesOf(draws), CompiledFormula::compile(code), {1, true},
                            true, m);
}

} // namespace

TEST(TrendChartsTest, NumberChartsAreGivenTheTrendsValuesAndCounts)
{
    const std::vector<DrawRecord> draws = syntheticDraws(40, 21);
    const NumberTrend trend = NumberTrend::of(draws, 25);
    NumberTrendCharts charts;
    charts.setTrend(trend);
    EXPECT_TRUE(charts.showsCharts());

    QChart* positions = charts.positionsView()->chart();
    for (int p = 0; p < 3; ++p) {
        auto* line = seriesNamed<QLineSeries>(positions, NumberTrend::positionCaption(p));
        ASSERT_NE(line, nullptr) << p;
        ASSERT_EQ(line->count(), 25);
        // Each position in its own band of the chart.
        QList<qreal> numbers = yValues(line);
        for (qreal& y : numbers)
            y -= NumberTrendCharts::bandOffset(p);
        EXPECT_EQ(numbers, asReals(trend.numbers[p]));
        // x is the draw's index, the newest at the right.
        EXPECT_EQ(line->at(24).x(), 24);
    }
    auto* sum = seriesNamed<QLineSeries>(charts.sumView()->chart(), QStringLiteral("和数"));
    ASSERT_NE(sum, nullptr);
    EXPECT_EQ(yValues(sum), asReals(trend.sums));

    QChart* counts = charts.countsView()->chart();
    QBarSeries* bars = nullptr;
    for (QAbstractSeries* s : counts->series())
        bars = bars ? bars : qobject_cast<QBarSeries*>(s);
    ASSERT_NE(bars, nullptr);
    ASSERT_EQ(bars->count(), 3);
    for (int p = 0; p < 3; ++p) {
        QBarSet* set = bars->barSets()[p];
        EXPECT_EQ(set->label(), NumberTrend::positionCaption(p));
        ASSERT_EQ(set->count(), 6);
        for (int n = 0; n < 6; ++n)
            EXPECT_EQ(set->at(n), trend.counts[p][n]) << p << ' ' << n;
    }
    // The dashed line at N / 6 across every number.
    auto* expected = seriesNamed<QLineSeries>(counts, QStringLiteral("机会期望 4.2 次"));
    ASSERT_NE(expected, nullptr);
    EXPECT_EQ(yValues(expected), QList<qreal>({25 / 6.0, 25 / 6.0}));

    // Fewer than two draws: the sentence instead of empty axes.
    charts.setTrend(NumberTrend::of({draws.front()}, 100));
    EXPECT_FALSE(charts.showsCharts());
    EXPECT_TRUE(charts.requirementText().contains(QStringLiteral("两期")));
    EXPECT_TRUE(charts.positionsView()->chart()->series().isEmpty());
}

TEST(TrendChartsTest, FormulaChartIsGivenRatesChanceBandAndMisses)
{
    const std::vector<DrawRecord> draws = syntheticDraws(80, 8);
    const FormulaTrend trend = formulaTrendOf(draws, QStringLiteral("L1A-L2A"), 20);
    ASSERT_TRUE(trend.isDrawable());
    FormulaTrendCharts charts;
    charts.setTrend(trend);
    ASSERT_TRUE(charts.showsCharts());
    QChart* chart = charts.rateView()->chart();

    auto* rate = seriesNamed<QLineSeries>(chart, QStringLiteral("近 20 期正确率"));
    ASSERT_NE(rate, nullptr);
    EXPECT_EQ(yValues(rate), asReals(trend.rate));
    auto* chance = seriesNamed<QLineSeries>(chart, QStringLiteral("机会率"));
    ASSERT_NE(chance, nullptr);
    EXPECT_EQ(yValues(chance), asReals(trend.chanceRate));
    auto* band = seriesNamed<QAreaSeries>(chart, QStringLiteral("95% 运气范围"));
    ASSERT_NE(band, nullptr);
    EXPECT_EQ(yValues(band->upperSeries()), asReals(trend.bandUpper));
    EXPECT_EQ(yValues(band->lowerSeries()), asReals(trend.bandLower));
    auto* misses = seriesNamed<QScatterSeries>(chart, QStringLiteral("错（本期未中）"));
    ASSERT_NE(misses, nullptr);
    ASSERT_EQ(misses->count(), int(trend.misses.size()));
    ASSERT_FALSE(trend.misses.empty());
    // On the strip below the lowest rate shown.
    const FormulaTrendCharts::Scale scale = FormulaTrendCharts::scaleFor(trend);
    for (int i = 0; i < misses->count(); ++i) {
        EXPECT_EQ(misses->at(i).x(), trend.misses[i]);
        EXPECT_EQ(misses->at(i).y(), scale.stripY);
    }
    EXPECT_LT(scale.stripY, scale.low);
    EXPECT_GT(scale.stripY, scale.bottom);
    for (int i = 0; i < trend.pointCount(); ++i) {
        EXPECT_GE(trend.rate[i], scale.low);
        EXPECT_LE(trend.bandUpper[i], scale.high);
    }

    charts.setTrend(FormulaTrend::noFormula());
    EXPECT_FALSE(charts.showsCharts());
    EXPECT_EQ(charts.requirementText(), FormulaTrend::noFormula().requirement);
}

TEST(TrendChartsTest, IssueLabelsFitTheWidthAndAlwaysNameTheNewestDraw)
{
    EXPECT_EQ(IssueAxis::labelledIndexes(5, 10), QList<int>({0, 1, 2, 3, 4}));
    // Steps of 1, 2, 5, 10, 20, ... back from the newest.
    EXPECT_EQ(IssueAxis::labelledIndexes(100, 8), QList<int>({19, 39, 59, 79, 99}));
    for (int count : {2, 37, 100, 3000, 32767}) {
        for (int fitting : {2, 7, 12}) {
            const QList<int> labelled = IssueAxis::labelledIndexes(count, fitting);
            ASSERT_FALSE(labelled.isEmpty());
            EXPECT_EQ(labelled.last(), count - 1);
            EXPECT_LE(labelled.size(), fitting) << count << ' ' << fitting;
            EXPECT_GE(labelled.first(), 0);
        }
    }
}

TEST(TrendChartsTest, HoveringShowsTheExactValues)
{
    const std::vector<DrawRecord> draws = syntheticDraws(30, 4);
    NumberTrendCharts charts;
    charts.setTrend(NumberTrend::of(draws, 21));
    charts.resize(900, 600);
    charts.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&charts));
    TrendChartView* view = charts.positionsView();
    QChart* chart = view->chart();
    // The middle draw (index 10) under the mouse, at any height inside the plot.
    auto* line = qobject_cast<QXYSeries*>(chart->series().first());
    const QPointF at = chart->mapToPosition(QPointF(10.2, 3.5), line);
    const QPoint viewPoint = view->mapFromScene(chart->mapToScene(at));
    EXPECT_EQ(view->hoverTextAt(viewPoint), charts.trend().drawText(10));
    // Outside the plot nothing is shown.
    EXPECT_TRUE(view->hoverTextAt(QPoint(1, 1)).isEmpty());
    // The counts: every position's count of the number under the mouse.
    QChart* counts = charts.countsView()->chart();
    const QPointF bar = counts->mapToPosition(QPointF(3, 1), counts->series().first());
    EXPECT_EQ(charts.countsView()->hoverTextAt(charts.countsView()->mapFromScene(counts->mapToScene(bar))),
              charts.trend().countText(4));
}

TEST(TrendChartsTest, PicturesAreWrittenWholeAtTheRequestedSize)
{
    TempDataFolder dir;
    const std::vector<DrawRecord> draws = syntheticDraws(200, 2);
    const QString numbers = dir.file(QStringLiteral("numbers.png"));
    QString error;
    ASSERT_TRUE(TrendPictures::write(NumberTrend::of(draws, 100), QSize(640, 480), numbers, &error))
        << error.toStdString();
    QImage image(numbers);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(640, 480));
    EXPECT_TRUE(hasDrawing(image));

    const QString formula = dir.file(QStringLiteral("formula.png"));
    ASSERT_TRUE(TrendPictures::write(formulaTrendOf(draws, QStringLiteral("L1A+LT+3"), 30), QSize(1366, 300),
                                     formula, &error))
        << error.toStdString();
    image = QImage(formula);
    EXPECT_EQ(image.size(), QSize(1366, 300));
    EXPECT_TRUE(hasDrawing(image));
    // Only the two pictures: no temporary file stays behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"formula.png", "numbers.png"}));

    // What cannot be drawn, or written, leaves no file and says why.
    const QString nothing = dir.file(QStringLiteral("nothing.png"));
    EXPECT_FALSE(TrendPictures::write(NumberTrend::of({}, 100), QSize(640, 480), nothing, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("两期")));
    EXPECT_FALSE(QFile::exists(nothing));
    const QString unreachable = dir.file(QStringLiteral("missing-folder/x.png"));
    EXPECT_FALSE(TrendPictures::write(NumberTrend::of(draws, 100), QSize(640, 480), unreachable, &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("无法保存图片"))) << error.toStdString();
    EXPECT_FALSE(QFile::exists(unreachable));

    QSize size;
    EXPECT_TRUE(ChartPicture::parseSize(QStringLiteral("1920x1080"), &size));
    EXPECT_EQ(size, QSize(1920, 1080));
    for (const char* bad : {"1920", "1920x", "x1080", "100x100", "9000x600", "-640x480", "640*480"})
        EXPECT_FALSE(ChartPicture::parseSize(QString::fromLatin1(bad), &size)) << bad;
}

namespace {

class TrendWindowTest : public WindowTestFixture
{
protected:
    void SetUp() override
    {
        WindowTestFixture::SetUp();
        storeDraws(ws, syntheticDraws(150, 17));
        session = std::make_unique<AnalysisSession>(&ws);
    }
    FormulaRecord formula(const QString& code, int idx)
    {
        FormulaRecord f;
        f.idx = idx;
        f.gongshi = code;
        return f;
    }

    std::unique_ptr<AnalysisSession> session;
};

} // namespace

TEST_F(TrendWindowTest, TabsBoxesAndPictures)
{
    TrendChartWindow window(session.get());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    // 号码走势: N starts at 100 and runs from 10 to the whole history.
    EXPECT_EQ(window.drawsBox()->value(), 100);
    EXPECT_EQ(window.drawsBox()->minimum(), 10);
    EXPECT_EQ(window.drawsBox()->maximum(), 150);
    EXPECT_EQ(window.numberCharts()->trend().drawCount(), 100);
    window.drawsBox()->setValue(30);
    EXPECT_EQ(window.numberCharts()->trend().drawCount(), 30);
    EXPECT_EQ(window.numberCharts()->trend().issues.last(), ws.history().newest()->issue);

    ASSERT_TRUE(window.saveButton()->isEnabled());
    window.saveButton()->click();
    const QString numbers = QDir(ws.dataFolder()).filePath(QStringLiteral("ZSHM.png"));
    EXPECT_EQ(DesktopOpener::lastRequested(), numbers);
    EXPECT_FALSE(QImage(numbers).isNull());

    // 公式走势 without a formula says how to choose one, and there is nothing to save.
    window.showTab(TrendChartWindow::FormulaTab);
    EXPECT_FALSE(window.formulaCharts()->showsCharts());
    EXPECT_FALSE(window.saveButton()->isEnabled());
    MessageBoxes::pushAnswer(true);
    EXPECT_FALSE(window.savePicture());
    ASSERT_FALSE(MessageBoxes::shownTexts().isEmpty());
    EXPECT_EQ(MessageBoxes::shownTexts().last(), FormulaTrend::noFormula().requirement);

    // A formula: M starts at the look-back, at least 10; the picture goes to ZSGS.png.
    window.setFormula({2, false}, true, formula(QStringLiteral("L1A+LT+3"), 4), 100);
    EXPECT_EQ(window.windowBox()->value(), 100);
    ASSERT_TRUE(window.formulaCharts()->showsCharts());
    EXPECT_EQ(window.formulaCharts()->trend().window, 100);
    EXPECT_EQ(window.formulaCharts()->trend().pointCount(), 50);
    EXPECT_EQ(window.findChild<QLabel*>("lblTrendFormula")->text(),
              QStringLiteral("[十位通选杀] 第4条 L1A+LT+3"));
    window.windowBox()->setValue(20);
    EXPECT_EQ(window.formulaCharts()->trend().pointCount(), 130);
    window.shownBox()->setValue(50);
    EXPECT_EQ(window.formulaCharts()->trend().pointCount(), 50);
    // M chosen by hand stays for the next formula.
    window.setFormula({1, true}, false, formula(QStringLiteral("LH"), 1), 300);
    EXPECT_EQ(window.windowBox()->value(), 20);
    ASSERT_TRUE(window.saveButton()->isEnabled());
    EXPECT_TRUE(window.savePicture());
    EXPECT_EQ(DesktopOpener::lastRequested(), QDir(ws.dataFolder()).filePath(QStringLiteral("ZSGS.png")));

    // A shorter history: N and M follow it.
    QString error;
    ASSERT_EQ(ws.history().deleteLast(140, &error), 140) << error.toStdString();
    session->historyWasChanged(); // the window follows the session by itself
    EXPECT_EQ(window.numberCharts()->trend().drawCount(), 10);
    EXPECT_EQ(window.windowBox()->value(), 9);
    // One draw: both tabs say what they need.
    ASSERT_EQ(ws.history().deleteLast(9, &error), 9);
    session->historyWasChanged(); // the window follows the session by itself
    EXPECT_FALSE(window.numberCharts()->showsCharts());
    EXPECT_FALSE(window.formulaCharts()->showsCharts());
}

TEST_F(TrendWindowTest, MainWindowOpensItByButtonAndFromTheFormulaMenu)
{
    addFormulas(ws, {1, true}, true, {"L1A+1", "LH+LT", "L2A*2"}, QStringLiteral("甲"));
    MainWindow main(&ws, QString());
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    main.findChild<QPushButton*>("cmdZst")->click();
    TrendChartWindow* trend = main.trendWindow();
    ASSERT_NE(trend, nullptr);
    EXPECT_TRUE(trend->isVisible());
    EXPECT_EQ(trend->currentTab(), TrendChartWindow::NumbersTab);
    EXPECT_FALSE(trend->formulaCharts()->showsCharts()); // no row clicked yet

    // The row under the mouse, on the formula tab, M from the look-back (300, held to the draws).
    QTableView* grid = main.findChild<QTableView*>("MSFlexGrid2");
    emit grid->customContextMenuRequested(grid->visualRect(main.formulaModel()->index(1, 1)).center());
    if (QWidget* popup = QApplication::activePopupWidget())
        popup->close();
    main.findChild<QAction*>("mnuGszst")->trigger();
    EXPECT_EQ(trend->currentTab(), TrendChartWindow::FormulaTab);
    ASSERT_TRUE(trend->formulaCharts()->showsCharts());
    EXPECT_EQ(trend->findChild<QLabel*>("lblTrendFormula")->text(),
              QStringLiteral("[个位单选杀] 序号2 甲LH+LT"));
    EXPECT_EQ(trend->formulaCharts()->trend().window, 149);

    // A click on another row's 序号 chooses that formula; the open window follows at once.
    emit grid->clicked(main.formulaModel()->index(2, FormulaGridModel::NumberColumn));
    EXPECT_EQ(trend->findChild<QLabel*>("lblTrendFormula")->text(),
              QStringLiteral("[个位单选杀] 序号3 甲L2A*2"));
    main.findChild<QPushButton*>("cmdZst")->click();
    EXPECT_EQ(trend->findChild<QLabel*>("lblTrendFormula")->text(),
              QStringLiteral("[个位单选杀] 序号3 甲L2A*2"));
}

// The chart follows the formula last clicked, by its idx: a re-sort moves it to another row and
// the chart keeps it, named by the 序号 the grid shows then; choosing it leaves the selection alone,
// and a click on the formula text (which selects) does not choose.
TEST_F(TrendWindowTest, TheChartFollowsTheFormulaChosenNotTheRow)
{
    addFormulas(ws, {1, true}, true, {"L1A+1", "L2A+3", "LH", "L3A*2+1", "L1A+L2A", "LT+2"},
                QStringLiteral("乙"));
    MainWindow main(&ws, QString());
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    FormulaGridModel* m = main.formulaModel();
    QTableView* grid = main.findChild<QTableView*>("MSFlexGrid2");
    auto rowOfIdx = [m](int idx) {
        for (int r = 0; r < m->rowCount(); ++r)
            if (m->idxAt(r) == idx)
                return r;
        return -1;
    };

    // Sorted, some formula's 序号 is no longer its idx: that one is chosen.
    emit grid->horizontalHeader()->sectionDoubleClicked(FormulaGridModel::FinalHitColumn);
    int chosenRow = -1;
    for (int r = 0; r < m->rowCount() && chosenRow < 0; ++r)
        if (m->idxAt(r) != r + 1)
            chosenRow = r;
    ASSERT_GE(chosenRow, 0) << "the sort kept idx order";
    const FormulaRecord chosen = m->formulaAt(chosenRow);
    const std::vector<bool> flags = m->selectedFlags();
    emit grid->clicked(m->index(chosenRow, FormulaGridModel::RateColumn));
    EXPECT_EQ(m->selectedFlags(), flags) << "choosing changed the selection";
    const int other = chosenRow == 0 ? 1 : 0;
    emit grid->clicked(m->index(other, FormulaGridModel::FormulaColumn)); // selects, chooses nothing
    EXPECT_FALSE(m->isSelected(other));

    // Sorted another way: the chart still shows the chosen formula, by the 序号 shown now.
    emit grid->horizontalHeader()->sectionDoubleClicked(FormulaGridModel::MaxMissColumn);
    const int rowNow = rowOfIdx(chosen.idx);
    ASSERT_GE(rowNow, 0);
    main.findChild<QPushButton*>("cmdZst")->click();
    TrendChartWindow* trend = main.trendWindow();
    ASSERT_NE(trend, nullptr);
    EXPECT_EQ(trend->findChild<QLabel*>("lblTrendFormula")->text(),
              QStringLiteral("[个位单选杀] 序号%1 %2").arg(rowNow + 1).arg(chosen.gongshiCN));
    EXPECT_EQ(trend->formulaCharts()->trend().title, trend->findChild<QLabel*>("lblTrendFormula")->text());
}

TEST_F(TrendWindowTest, CommandLineRendersTheSameChartsOffscreen)
{
    addFormulas(ws, {2, false}, false, {"L1A+LT+3"}, QString());
    const QString png = dir.file(QStringLiteral("out/chart.png"));
    QDir().mkpath(dir.file(QStringLiteral("out")));
    CliResult r = runCli(dir.path(), {"chart", "numbers", "--last", "50", "--png", png, "--size", "800x500"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("%1\t800x500\n").arg(QDir::toNativeSeparators(png)));
    EXPECT_EQ(QImage(png).size(), QSize(800, 500));

    r = runCli(dir.path(),
               {"chart", "formula", "1", "--kind", "2G", "--sense", "keep", "--window", "30", "--png", png});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QImage formula(png);
    EXPECT_EQ(formula.size(), QSize(ChartPicture::kDefaultWidth, ChartPicture::kDefaultHeight));
    EXPECT_TRUE(hasDrawing(formula));

    // No such formula, bad options: a message, and the file as it was.
    QFile::remove(png);
    r = runCli(dir.path(), {"chart", "formula", "2", "--kind", "2G", "--sense", "keep", "--png", png});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("没有序号为 2 的公式"))) << r.err.toStdString();
    for (const QStringList& bad :
         {QStringList{"chart", "numbers"}, QStringList{"chart", "bars", "--png", png},
          QStringList{"chart", "numbers", "--png", png, "--size", "10x10"},
          QStringList{"chart", "formula", "--png", png},
          QStringList{"chart", "numbers", "--last", "x", "--png", png}}) {
        r = runCli(dir.path(), bad);
        EXPECT_EQ(r.exitCode, 2) << bad.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("usage: zorvane-cli chart"))) << r.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(png));
    // The help names the command.
    r = runCli(dir.path(), {"--help"});
    EXPECT_TRUE(r.out.contains(QStringLiteral("chart numbers|formula IDX")));
}

TEST(TrendChartsCliTest, TooShortAHistoryIsRefused)
{
    TempDataFolder dir;
    const QString png = dir.file(QStringLiteral("x.png"));
    const CliResult r = runCli(dir.path(), {"chart", "numbers", "--png", png});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("至少需要两期"))) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(png));
}

namespace {

// A replay of the newest `count` draws: the 个位单选 kill formulas of `ws`, every one voting.
ReplayResult replayOf(Workspace& ws, int count)
{
    CalculationRequest request;
    request.kind = {1, true};
    request.kill = true;
    request.backtest.lookBackDraws = 100;
    std::vector<CalculationTable> tables;
    QString error;
    EXPECT_TRUE(CalculationRun::loadTables(FormulaTableStore(&ws.database()), request, &tables, &error))
        << error.toStdString();
    const std::vector<DrawRecord>& draws = ws.history().draws();
    return CalculationReplay::run(tables, draws, HistoryColumns(draws), count, request);
}

class ReplayChartsTest : public WindowTestFixture
{
protected:
    void SetUp() override
    {
        WindowTestFixture::SetUp();
        storeDraws(ws, syntheticDraws(330, 23));
        addFormulas(ws, {1, true}, true, {"L1A+LH", "L2A*2+1", "L3A+LT+2", "LH+LT", "L1G+3", "SQH+5"},
                    QString());
    }
};

} // namespace

// The charts of 计算回测 are given the replay's levels beside chance and each block's share beside
// its chance share; the picture has the requested size.
TEST_F(ReplayChartsTest, ChartsAreGivenTheLevelsAndTheBlockShares)
{
    const ReplayResult replay = replayOf(ws, 35);
    ASSERT_EQ(replay.draws.size(), 35u);
    const ReplayTrend trend = ReplayTrend::of(replay);
    ASSERT_TRUE(trend.isDrawable());
    ASSERT_EQ(trend.levelCount(), 10); // 单选: the digits 0..9
    ReplayTrendCharts charts;
    charts.resize(1200, 600);
    charts.setTrend(trend);
    ASSERT_TRUE(charts.showsCharts());

    QChart* levels = charts.levelsView()->chart();
    auto* bars = qobject_cast<QBarSeries*>(levels->series().first());
    ASSERT_NE(bars, nullptr);
    ASSERT_EQ(bars->count(), 2);
    for (int level = 1; level <= 10; ++level) {
        EXPECT_EQ(bars->barSets()[0]->at(level - 1), replay.summary.levelCounts[std::size_t(level - 1)]);
        EXPECT_DOUBLE_EQ(bars->barSets()[1]->at(level - 1),
                         replay.summary.levelExpected[std::size_t(level - 1)]);
    }
    QChart* blocks = charts.blocksView()->chart();
    auto* share = seriesNamed<QLineSeries>(blocks, QStringLiteral("滤杀正确率"));
    auto* chance = seriesNamed<QLineSeries>(blocks, QStringLiteral("机会正确率"));
    ASSERT_NE(share, nullptr);
    ASSERT_NE(chance, nullptr);
    QList<qreal> shares, chances;
    for (const ReplayTrend::Block& b : trend.blocks) {
        shares << b.share;
        chances << b.chanceShare;
    }
    EXPECT_EQ(trend.blockCount(), 4); // 10 + 10 + 10 + 5
    EXPECT_EQ(yValues(share), shares);
    EXPECT_EQ(yValues(chance), chances);
    // Hovering a block names it.
    const QPointF point = blocks->mapToPosition(QPointF(1, trend.blocks[1].share), share);
    EXPECT_EQ(charts.blocksView()->hoverTextAt(charts.blocksView()->mapFromScene(blocks->mapToScene(point))),
              trend.blockText(1));

    const QString png = dir.file(QStringLiteral("replay.png"));
    QString error;
    ASSERT_TRUE(TrendPictures::write(trend, QSize(1024, 600), png, &error)) << error.toStdString();
    const QImage image(png);
    EXPECT_EQ(image.size(), QSize(1024, 600));
    EXPECT_TRUE(hasDrawing(image));
    EXPECT_FALSE(TrendPictures::write(ReplayTrend::notReplayed(), QSize(1024, 600),
                                      dir.file(QStringLiteral("none.png")), &error));
    EXPECT_EQ(error, ReplayTrend::notReplayed().requirement);
    EXPECT_FALSE(QFile::exists(dir.file(QStringLiteral("none.png"))));
}

// 管理 → 计算方法回测 in the main window feeds 走势图's 计算回测, open or opened later; before a
// replay the tab says how to run one.
TEST_F(ReplayChartsTest, MainWindowsReplayIsDrawnInTheTrendWindow)
{
    MainWindow main(&ws, QString());
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    main.findChild<QPushButton*>("cmdZst")->click();
    TrendChartWindow* trend = main.trendWindow();
    ASSERT_NE(trend, nullptr);
    trend->showTab(TrendChartWindow::ReplayTab);
    EXPECT_FALSE(trend->replayCharts()->showsCharts());
    EXPECT_EQ(trend->replayCharts()->requirementText(), ReplayTrend::notReplayed().requirement);
    EXPECT_FALSE(trend->saveButton()->isEnabled());

    main.findChild<QRadioButton*>("Option61")->click(); // 计算选中公式: no sort window to answer
    main.findChild<QAction*>("mnuJshc")->trigger();
    ReplayWindow* replay = main.replayWindow();
    ASSERT_NE(replay, nullptr);
    replay->drawsBox()->setValue(12);
    replay->startButton()->click();
    ASSERT_EQ(replay->result().draws.size(), 12u);
    ASSERT_TRUE(trend->replayCharts()->showsCharts());
    EXPECT_EQ(trend->replayCharts()->trend().drawCount, 12);
    EXPECT_EQ(trend->replayCharts()->trend().levelCounts, replay->result().summary.levelCounts);
    ASSERT_TRUE(trend->saveButton()->isEnabled());
    EXPECT_TRUE(trend->savePicture());
    const QString png = QDir(ws.dataFolder()).filePath(QStringLiteral("ZSHC.png"));
    EXPECT_EQ(DesktopOpener::lastRequested(), png);
    EXPECT_FALSE(QImage(png).isNull());

    // A trend window opened after the replay shows it too.
    delete trend;
    main.findChild<QPushButton*>("cmdZst")->click();
    ASSERT_NE(main.trendWindow(), nullptr);
    EXPECT_TRUE(main.trendWindow()->replayCharts()->showsCharts());
    EXPECT_EQ(main.trendWindow()->replayCharts()->trend().drawCount, 12);
}

TEST_F(ReplayChartsTest, CommandLineRendersTheReplay)
{
    const QString png = dir.file(QStringLiteral("replay.png"));
    CliResult r = runCli(dir.path(), {"chart", "replay", "--kind", "1D", "--method", "selected", "--last",
                                      "15", "--png", png, "--size", "900x500"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("%1\t900x500\n").arg(QDir::toNativeSeparators(png)));
    const QImage image(png);
    EXPECT_EQ(image.size(), QSize(900, 500));
    EXPECT_TRUE(hasDrawing(image));
    QFile::remove(png);
    // Without --last: 100, or what the history allows (330 draws, look-back 300: 30).
    r = runCli(dir.path(), {"chart", "replay", "--method", "selected", "--png", png});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QFile::remove(png);
    // More draws than the history allows, no formulas, options of another chart: refused, no file.
    r = runCli(dir.path(), {"chart", "replay", "--method", "selected", "--last", "31", "--png", png});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("1 到 30"))) << r.err.toStdString();
    r = runCli(dir.path(), {"chart", "replay", "--kind", "3G", "--method", "selected", "--png", png});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("没有杀码公式"))) << r.err.toStdString();
    r = runCli(dir.path(), {"chart", "replay", "--window", "20", "--png", png});
    EXPECT_EQ(r.exitCode, 2);
    r = runCli(dir.path(), {"chart", "replay", "--method", "worst", "--png", png});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_FALSE(QFile::exists(png));
}

// At the window's smallest size the position chart's band captions 百位, 十位, 个位 are shown whole,
// not cut to "…".
TEST_F(TrendWindowTest, PositionCaptionsKeepTheirRoomAtTheSmallestSize)
{
    TrendChartWindow window(session.get());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    for (const QSize size : {window.minimumSizeHint(), QSize(1366, 700)}) {
        SCOPED_TRACE(std::to_string(size.width()) + "x" + std::to_string(size.height()));
        window.resize(size);
        QApplication::processEvents();
        auto* view = window.findChild<TrendChartView*>("chartPositions");
        ASSERT_NE(view, nullptr);
        view->grab(); // lays the chart out at its size
        QStringList labels;
        for (QGraphicsItem* item : view->scene()->items()) {
            auto* text = dynamic_cast<QGraphicsTextItem*>(item);
            if (!text || !text->isVisible() || view->chart()->legend()->isAncestorOf(text))
                continue; // the legend names the lines too
            labels << text->toPlainText();
        }
        for (const QString& caption :
             {QStringLiteral("百位"), QStringLiteral("十位"), QStringLiteral("个位")})
            EXPECT_TRUE(labels.contains(caption)) << labels.join(QLatin1Char('|')).toStdString() << " at "
                                                  << view->width() << "x" << view->height();
    }
}
