#include "IsolatedEnvironment.h"
#include "SyntheticHistory.h"

#include "charts/ChartPicture.h"
#include "charts/FormulaTrend.h"
#include "charts/FormulaTrendCharts.h"
#include "charts/NumberTrend.h"
#include "charts/NumberTrendCharts.h"
#include "charts/ReplayTrend.h"
#include "charts/ReplayTrendCharts.h"
#include "formula/CompiledFormula.h"
#include "history/HistoryColumns.h"
#include "killkeep/CalculationReplay.h"

#include <QApplication>
#include <benchmark/benchmark.h>

namespace {

constexpr int kDraws = 3000;

const std::vector<DrawRecord>& draws()
{
    static const std::vector<DrawRecord> records = syntheticDraws(kDraws, 1);
    return records;
}

// What the window does for the formula tab: the issues, then the rolling figures of one formula.
FormulaTrend formulaTrend(const HistoryColumns& columns, const CompiledFormula& formula)
{
    QStringList issues;
    issues.reserve(kDraws);
    for (const DrawRecord& d : draws())
        issues << d.issue;
    return FormulaTrend::of(columns, issues, formula, {3, false}, false, 300);
}

// The series of "号码走势" over the whole history of 3,000 draws.
void NumberTrendSeries(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(NumberTrend::of(draws(), kDraws));
}
BENCHMARK(NumberTrendSeries)->Unit(benchmark::kMillisecond);

// The series of "公式走势" over 3,000 draws, M = 300, a 百位通选 formula of eight parameters.
void FormulaTrendSeries(benchmark::State& state)
{
    const HistoryColumns columns(draws());
    const CompiledFormula formula = CompiledFormula::compile(QStringLiteral("L1A+L2A*LH+LT-L3D+L1A*2+LH+7"));
    for (auto _ : state)
        benchmark::DoNotOptimize(formulaTrend(columns, formula));
}
BENCHMARK(FormulaTrendSeries)->Unit(benchmark::kMillisecond);

// The whole drawing: the series, the charts built from them and painted at 1366x700.
void NumberChartsDrawn(benchmark::State& state)
{
    NumberTrendCharts charts;
    for (auto _ : state) {
        charts.setTrend(NumberTrend::of(draws(), kDraws));
        benchmark::DoNotOptimize(ChartPicture::renderOffscreen(&charts, QSize(1366, 700)));
    }
}
BENCHMARK(NumberChartsDrawn)->Unit(benchmark::kMillisecond);

void FormulaChartDrawn(benchmark::State& state)
{
    const HistoryColumns columns(draws());
    const CompiledFormula formula = CompiledFormula::compile(QStringLiteral("L1A+L2A*LH+LT-L3D+L1A*2+LH+7"));
    FormulaTrendCharts charts;
    for (auto _ : state) {
        charts.setTrend(formulaTrend(columns, formula));
        benchmark::DoNotOptimize(ChartPicture::renderOffscreen(&charts, QSize(1366, 700)));
    }
}
BENCHMARK(FormulaChartDrawn)->Unit(benchmark::kMillisecond);

// A replay of 3,000 draws as 十位单选 gives it: two rankings of the ten digits per draw, three
// 滤杀 digits each, the levels where the drawn numbers stood.
const ReplayResult& replay()
{
    static const ReplayResult result = [] {
        ReplayResult r;
        r.kind = {2, true};
        for (const DrawRecord& d : draws()) {
            ReplayDraw rd;
            rd.issue = d.issue;
            for (int position : {1, 2}) {
                ReplayRanking ranking;
                ranking.position = position;
                ranking.killed = {1, 2, 3};
                ranking.drawn = {d.number(4 - position)};
                ranking.killedDrawn = ranking.drawn.front() <= 3 ? 1 : 0;
                ranking.levels = {ranking.drawn.front() + 2};
                ranking.expectedAbsent = 2.5;
                ranking.expectedLevels.assign(10, 0.1);
                rd.killedCompared += 3;
                rd.killedDrawn += ranking.killedDrawn;
                rd.levels.push_back(ranking.levels.front());
                rd.rankings.push_back(std::move(ranking));
            }
            r.draws.push_back(std::move(rd));
        }
        CalculationRequest request;
        request.kind = r.kind;
        r.summary = CalculationReplay::summarize(r.draws, request);
        return r;
    }();
    return result;
}

// The series of "计算回测" from a replay of 3,000 draws.
void ReplayTrendSeries(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(ReplayTrend::of(replay()));
}
BENCHMARK(ReplayTrendSeries)->Unit(benchmark::kMillisecond);

void ReplayChartsDrawn(benchmark::State& state)
{
    ReplayTrendCharts charts;
    for (auto _ : state) {
        charts.setTrend(ReplayTrend::of(replay()));
        benchmark::DoNotOptimize(ChartPicture::renderOffscreen(&charts, QSize(1366, 700)));
    }
}
BENCHMARK(ReplayChartsDrawn)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    IsolatedEnvironment isolated;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
