#include "SyntheticHistory.h"
#include "backtest/BacktestRunner.h"
#include "backtest/PastRanking.h"
#include "backtest/PositionHistory.h"
#include "backtest/VerificationDisplay.h"
#include "history/DrawDeriver.h"
#include "history/HistoryColumns.h"
#include "history/ParameterTable.h"

#include <QCoreApplication>
#include <QDate>
#include <benchmark/benchmark.h>

#include <random>

namespace {

constexpr int kDraws = 3000;

// Random draws with every parameter derived, 78 draws a day.
const std::vector<DrawRecord>& draws()
{
    static const std::vector<DrawRecord> records = syntheticDraws(kDraws, 1);
    return records;
}

// Formulas of the search's shape: eight parameter codes and a constant.
std::vector<CompiledFormula> formulas(int count)
{
    std::mt19937 rng(2);
    std::vector<FormulaRecord> out(count);
    for (FormulaRecord& f : out) {
        for (int t = 0; t < 8; ++t)
            f.gongshi += ParameterTable::code(int(rng() % kParameterCount)) + '+';
        f.gongshi += QString::number(rng() % 10);
    }
    return BacktestRunner::compileAll(out);
}

// "公式往期位置值结果列表": 3,000 draws × 1,000 selected formulas, then the rows of the list.
void PastRankingBuild(benchmark::State& state)
{
    const HistoryColumns history(draws());
    const std::vector<CompiledFormula> compiled = formulas(1000);
    const std::vector<bool> selected(compiled.size(), true);
    const bool kill = state.range(0) != 0;
    for (auto _ : state) {
        std::vector<PastRankingDraw> ranking;
        QString error;
        if (!PastRanking::build(draws(), history, compiled, selected, kill, &ranking, &error)) {
            state.SkipWithError(error.toStdString().c_str());
            return;
        }
        const PositionHistory list = PositionHistory::build(ranking, 1, true);
        benchmark::DoNotOptimize(list.rowCount());
    }
    state.counters["evaluations/s"] =
        benchmark::Counter(double(kDraws) * 1000, benchmark::Counter::kIsIterationInvariantRate);
}
// The reference: the same votes as a plain loop built the same way (16-bit columns, the sum of
// each formula's columns, ((x − 1) MOD 6) + 1 counted per draw, the six counts ranked), without
// the list. PastRankingBuild should stay within 2× of it.
void PlainLoopPastRanking(benchmark::State& state)
{
    const int n = kDraws;
    std::vector<std::int16_t> columns(std::size_t(kParameterCount) * n);
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < kParameterCount; ++c)
            columns[std::size_t(c) * n + r] = draws()[std::size_t(r)].values[c];
    std::vector<std::pair<std::vector<int>, int>> sums;
    for (const CompiledFormula& f : formulas(1000))
        sums.emplace_back(f.columnSum()->added(), f.columnSum()->constant());
    std::vector<std::array<int, 6>> counts(static_cast<std::size_t>(n));
    for (auto _ : state) {
        std::fill(counts.begin(), counts.end(), std::array<int, 6>{});
        for (int start = 0; start < n; start += 256) {
            const int end = std::min(n, start + 256);
            for (const auto& [cols, constant] : sums)
                for (int r = start; r < end; ++r) {
                    int sum = constant;
                    for (int c : cols)
                        sum += columns[std::size_t(c) * n + r];
                    const int p = (sum - 1) % 6 + 1;
                    if (p >= 1)
                        ++counts[std::size_t(r)][std::size_t(p - 1)];
                }
        }
        int first = 0;
        for (const auto& c : counts)
            first += PastRanking::rank(c)[0].number;
        benchmark::DoNotOptimize(first);
    }
}
BENCHMARK(PlainLoopPastRanking)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK(PastRankingBuild)->Arg(1)->Arg(0)->ArgName("kill")->Unit(benchmark::kMillisecond)->UseRealTime();

// The per-draw display: one block of 500 formulas over 3,000 draws (the second block of 1,000).
void VerificationBlock500(benchmark::State& state)
{
    const HistoryColumns history(draws());
    const std::vector<CompiledFormula> compiled = formulas(1000);
    const auto mode = state.range(0) ? VerificationMode::Canshu : VerificationMode::PreCanshu;
    for (auto _ : state) {
        const VerificationBlock block =
            VerificationDisplay::compute(history, compiled, FormulaKind{2, false}, true, mode, 501);
        benchmark::DoNotOptimize(block.predictions.data());
    }
}
BENCHMARK(VerificationBlock500)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("canshu")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
