#include "SyntheticHistory.h"
#include "backtest/BacktestEngine.h"
#include "backtest/BacktestRunner.h"
#include "backtest/FormulaEquivalence.h"
#include "formula/FormulaTableStore.h"
#include "history/DrawDeriver.h"
#include "history/HistoryColumns.h"
#include "history/ParameterTable.h"
#include "store/Database.h"

#include <QCoreApplication>
#include <QDate>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <algorithm>
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
    const double evaluations = double(r.outcomes.size()) * (r.window.size() + r.heldOut + 1);
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

// The reference for the engine: the same formulas over the same draws as a plain loop built the
// same way (16-bit columns, the sum, ((x − 1) MOD 6) + 1 of the draw before, the comparison with
// 个位, weighted hits and runs), one thread. The engine at one thread should stay within 1.2× of it
// (it also takes the chance figures, the q values and the next value).
void PlainLoopEngine(benchmark::State& state)
{
    const std::vector<DrawRecord> draws = syntheticDraws(kDraws, 1);
    const int n = int(draws.size());
    std::vector<std::int16_t> columns(std::size_t(kParameterCount) * n);
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < kParameterCount; ++c)
            columns[std::size_t(c) * n + r] = draws[std::size_t(r)].values[c];
    struct Sum
    {
        std::vector<int> columns;
        int constant = 0;
    };
    std::vector<Sum> sums;
    for (const CompiledFormula& f : BacktestRunner::compileAll(formulas()))
        sums.push_back({f.columnSum()->added(), f.columnSum()->constant()});
    for (auto _ : state) {
        std::int64_t checksum = 0;
        for (const Sum& f : sums) {
            std::int64_t hits = 0;
            int hitRun = 0, missRun = 0, maxHit = 0, maxMiss = 0;
            for (int r = 1; r < n; ++r) {
                int sum = f.constant;
                for (int c : f.columns)
                    sum += columns[std::size_t(c) * n + r - 1];
                const int hit = (sum - 1) % 6 + 1 != draws[std::size_t(r)].values[2];
                const std::int64_t j = r;
                hits += hit ? j * j : 0;
                hitRun = hit ? hitRun + 1 : 0;
                missRun = hit ? 0 : missRun + 1;
                maxHit = std::max(maxHit, hitRun);
                maxMiss = std::max(maxMiss, missRun);
            }
            checksum += hits + maxHit + maxMiss + hitRun + missRun;
        }
        benchmark::DoNotOptimize(checksum);
    }
}
BENCHMARK(PlainLoopEngine)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same on draws published smallest first, as results pages write them: the chance of a
// prediction then depends on the number predicted, so the chance sums are kept per number.
void BacktestEngineRunSorted(benchmark::State& state)
{
    static const HistoryColumns sorted(syntheticDraws(kDraws, 1, true));
    const std::vector<CompiledFormula> compiled = BacktestRunner::compileAll(formulas());
    BacktestResult r;
    for (auto _ : state) {
        r = BacktestEngine::run(sorted, compiled, FormulaKind{1, true}, true, allDraws(int(state.range(0))));
        benchmark::DoNotOptimize(r.outcomes.data());
    }
    reportRate(state, r);
}
BENCHMARK(BacktestEngineRunSorted)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same with the newest 300 draws held out: the window ends before them and they are scored
// apart, unweighted. The hold-out should add little (target: at most 20 %).
void BacktestEngineRunHoldOut(benchmark::State& state)
{
    const HistoryColumns& h = history();
    const std::vector<CompiledFormula> compiled = BacktestRunner::compileAll(formulas());
    BacktestOptions options = allDraws(int(state.range(0)));
    options.holdOut = 300;
    BacktestResult r;
    for (auto _ : state) {
        r = BacktestEngine::run(h, compiled, FormulaKind{1, true}, true, options);
        benchmark::DoNotOptimize(r.outcomes.data());
    }
    reportRate(state, r);
}
BENCHMARK(BacktestEngineRunHoldOut)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

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

// Formulas of the search's shape where every tenth one repeats an earlier one with its terms in
// reverse order and the constant raised by 30 (a 单选 formula keeps both its number and its vote
// MOD 10): equivalent unless the sum can be 0 or below, so a few of them are told apart only far
// into the history.
std::vector<CompiledFormula> formulasWithEquivalents(int count)
{
    std::mt19937 rng(3);
    std::vector<QStringList> terms;
    std::vector<CompiledFormula> out;
    out.reserve(count);
    for (int i = 0; i < count; ++i) {
        QStringList t;
        int constant = 0;
        if (i % 10 == 9) {
            const QStringList& earlier = terms[rng() % terms.size()];
            t = earlier.mid(0, earlier.size() - 1);
            std::reverse(t.begin(), t.end());
            constant = earlier.last().toInt() + 30;
        } else {
            for (int k = 0; k < 8; ++k)
                t << ParameterTable::code(int(rng() % kParameterCount));
            constant = int(rng() % 10);
        }
        t << QString::number(constant);
        terms.push_back(t);
        out.push_back(CompiledFormula::compile(t.join('+')));
    }
    return out;
}

// The equivalence check of a whole table: hashing every formula's predictions on every draw and
// confirming the matches. Arguments: formulas, draws, threads.
void FormulaEquivalenceCheck(benchmark::State& state)
{
    const int count = int(state.range(0)), draws = int(state.range(1));
    const HistoryColumns h(syntheticDraws(draws, 4));
    const std::vector<CompiledFormula> compiled = formulasWithEquivalents(count);
    std::size_t equivalents = 0;
    for (auto _ : state) {
        const std::vector<int> first = FormulaEquivalence::firstEquivalents(
            h, compiled, PredictionTokens::Reduction::NumberAndDigit, int(state.range(2)));
        equivalents = std::size_t(std::count_if(first.begin(), first.end(), [](int f) { return f >= 0; }));
    }
    state.counters["equivalents"] = double(equivalents);
    state.counters["evaluations/s"] =
        benchmark::Counter(double(count) * draws, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(FormulaEquivalenceCheck)
    ->Args({5000, 3000, 2})
    ->Args({32767, 32767, 1})
    ->Args({32767, 32767, 2})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

} // namespace
