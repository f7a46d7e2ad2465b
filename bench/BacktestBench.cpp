#include "backtest/BacktestEngine.h"
#include "backtest/BacktestRunner.h"
#include "formula/FormulaTableStore.h"
#include "history/DrawDeriver.h"
#include "history/HistoryColumns.h"
#include "history/ParameterTable.h"
#include "store/Database.h"
#include "SyntheticHistory.h"

#include <QCoreApplication>
#include <QDate>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <random>

namespace {

constexpr int kDraws = 3000;
constexpr int kFormulas = 5000;

// Random draws with every parameter derived, 78 draws a day.
const HistoryColumns& history()
{
    static const HistoryColumns columns(syntheticDraws(kDraws, 1));
    return columns;
}

// Formulas of the search's shape: eight parameter codes and a constant, e.g. L1A+LT+…+QH+7.
std::vector<FormulaRecord> formulas()
{
    std::mt19937 rng(2);
    std::vector<FormulaRecord> out(kFormulas);
    for (FormulaRecord& f : out) {
        for (int t = 0; t < 8; ++t)
            f.gongshi += ParameterTable::code(int(rng() % kParameterCount)) + '+';
        f.gongshi += QString::number(rng() % 10);
        f.gongshiCN = f.gongshi;
        f.bolKill = true;
    }
    return out;
}

BacktestOptions allDraws(int threads)
{
    BacktestOptions o;
    o.lookBackDraws = 0;
    o.weighted = true;
    o.threads = threads;
    return o;
}

void reportRate(benchmark::State& state, const BacktestResult& r)
{
    const double evaluations = double(r.outcomes.size()) * (r.window.size() + 1);
    state.counters["evaluations/s"] =
        benchmark::Counter(evaluations, benchmark::Counter::kIsIterationInvariantRate);
}

// The engine alone: every formula over every draw (look-back 前所有期).
void BacktestEngineRun(benchmark::State& state)
{
    const HistoryColumns& h = history();
    const std::vector<CompiledFormula> compiled = BacktestRunner::compileAll(formulas());
    BacktestResult r;
    for (auto _ : state) {
        r = BacktestEngine::run(h, compiled, FormulaKind{1, true}, true, allDraws(int(state.range(0))));
        benchmark::DoNotOptimize(r.outcomes.data());
    }
    reportRate(state, r);
}
BENCHMARK(BacktestEngineRun)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// Compiling the formulas of a table.
void BacktestCompile(benchmark::State& state)
{
    const std::vector<FormulaRecord> records = formulas();
    for (auto _ : state)
        benchmark::DoNotOptimize(BacktestRunner::compileAll(records).data());
}
BENCHMARK(BacktestCompile)->Unit(benchmark::kMillisecond);

// The whole back-test as the window runs it: load the subset, compile, evaluate and write the
// statistics back in one transaction.
void BacktestWithWriteBack(benchmark::State& state)
{
    QTemporaryDir dir;
    Database db(dir.filePath("formula.mdb"), ParameterTable::codes());
    QString error;
    if (!db.open(&error)) {
        state.SkipWithError(error.toStdString().c_str());
        return;
    }
    FormulaTableStore store(&db);
    store.append(FormulaKind{1, true}, formulas(), &error);
    SubsetBacktest run;
    for (auto _ : state) {
        if (!BacktestRunner::yansuan(store, history(), FormulaKind{1, true}, true,
                                     allDraws(int(state.range(0))), &run, &error)) {
            state.SkipWithError(error.toStdString().c_str());
            return;
        }
    }
    reportRate(state, run.result);
}
BENCHMARK(BacktestWithWriteBack)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
