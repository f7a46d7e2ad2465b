#include "SyntheticHistory.h"
#include "backtest/BacktestRunner.h"
#include "history/HistoryColumns.h"
#include "history/ParameterTable.h"
#include "killkeep/CalculationReplay.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

constexpr int kDraws = 3000;
constexpr int kFormulas = 5000;
constexpr int kReplayed = 300;

const std::vector<DrawRecord>& draws()
{
    static const std::vector<DrawRecord> d = syntheticDraws(kDraws, 1);
    return d;
}

// One table of `count` formulas of the search's shape (eight parameter codes and a constant).
CalculationTable table(const FormulaKind& kind, int count = kFormulas)
{
    std::mt19937 rng(2);
    CalculationTable t;
    t.kind = kind;
    t.position = kind.single ? kind.position : VoteTally::kGeneralPosition;
    for (int i = 0; i < count; ++i) {
        FormulaRecord f;
        for (int k = 0; k < 8; ++k)
            f.gongshi += ParameterTable::code(int(rng() % kParameterCount)) + '+';
        f.gongshi += QString::number(rng() % 10);
        f.idx = i + 1;
        f.rowId = i + 1;
        f.bolKill = true;
        t.formulas.push_back(f);
    }
    t.compiled = BacktestRunner::compileAll(t.formulas);
    t.selected.assign(t.formulas.size(), true);
    return t;
}

// "计算方法回测" of the newest 300 draws: each one calculated from the draws before it by the best
// method (正确率 then 最大连错, limit 3) after a back-test of the look-back window of 300 draws.
// Target: under 5 s on the 2-core machine. Arguments: 1 best method, 0 selected formulas; the
// back-test's threads (0: as the machine allows).
void CalculationReplayRun(benchmark::State& state)
{
    const FormulaKind kind{2, false};
    const std::vector<CalculationTable> tables{table(kind)};
    const HistoryColumns history(draws());
    CalculationRequest request;
    request.kind = kind;
    request.kill = true;
    request.bestMethod = state.range(0) == 1;
    request.keys = {FormulaOrderKey::preferred(FormulaFigure::Rate),
                    FormulaOrderKey::preferred(FormulaFigure::MaxMiss)};
    request.limit = 3;
    request.backtest.lookBackDraws = 300;
    request.backtest.threads = int(state.range(1));
    ReplayResult r;
    for (auto _ : state) {
        r = CalculationReplay::run(tables, draws(), history, kReplayed, request);
        benchmark::DoNotOptimize(r.draws.data());
    }
    state.counters["draws"] = double(r.draws.size());
    state.counters["absent%"] = r.summary.absentShare;
}
BENCHMARK(CalculationReplayRun)
    ->Args({1, 0})
    ->Args({1, 1})
    ->Args({0, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);

// The best method over all draws (前所有期) of a long history: range(0) draws, range(1) formulas,
// range(2) replayed draws. Targets: 40 replayed draws over 8,000 × 3,000 under 2.5× one; 100 over
// 32,767 × 32,767 under 30 s.
void CalculationReplayAllDraws(benchmark::State& state)
{
    const int drawCount = int(state.range(0));
    static std::vector<DrawRecord> longDraws;
    if (int(longDraws.size()) != drawCount)
        longDraws = syntheticDraws(drawCount, 3);
    const HistoryColumns history(longDraws);
    const FormulaKind kind{1, true};
    const std::vector<CalculationTable> tables{table(kind, int(state.range(1)))};
    CalculationRequest request;
    request.kind = kind;
    request.kill = true;
    request.bestMethod = true;
    request.keys = {FormulaOrderKey::preferred(FormulaFigure::Rate),
                    FormulaOrderKey::preferred(FormulaFigure::MaxMiss)};
    request.limit = 3;
    request.backtest.lookBackDraws = 0;
    ReplayResult r;
    for (auto _ : state) {
        r = CalculationReplay::run(tables, longDraws, history, int(state.range(2)), request);
        benchmark::DoNotOptimize(r.draws.data());
    }
    state.counters["draws"] = double(r.draws.size());
}
BENCHMARK(CalculationReplayAllDraws)
    ->Args({8000, 3000, 1})
    ->Args({8000, 3000, 40})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(CalculationReplayAllDraws)
    ->Args({32767, 32767, 100})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
