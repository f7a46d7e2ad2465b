#include "SyntheticHistory.h"
#include "history/DrawDeriver.h"
#include "history/ParameterTable.h"
#include "search/CandidateEvaluator.h"
#include "search/FormulaGenerator.h"
#include "search/SearchRun.h"
#include "search/SearchSettings.h"

#include <QDate>
#include <benchmark/benchmark.h>

#include <random>
#include <sys/resource.h>

namespace {

constexpr int kDraws = 3000;

// Random draws with every parameter derived, 78 draws a day.
const std::vector<DrawRecord>& draws()
{
    static const std::vector<DrawRecord> records = syntheticDraws(kDraws, 1);
    return records;
}

std::shared_ptr<const CandidateEvaluator> evaluator(int lookBack)
{
    return std::make_shared<CandidateEvaluator>(draws(),
                                                SearchRules{FormulaKind{1, true}, true, lookBack, true});
}

long maxResidentKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// One candidate judged: eight operands, look-back W (range(0)).
void BM_EvaluateCandidate(benchmark::State& state)
{
    const auto e = evaluator(int(state.range(0)));
    FormulaGenerator generator(1, 0);
    std::vector<SearchCandidate> candidates(1024);
    for (SearchCandidate& c : candidates)
        generator.next({8, true, 0}, &c);
    std::size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(e->evaluate(candidates[i++ & 1023]));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EvaluateCandidate)->Arg(300)->Arg(0);

// The reference: the same work as a plain loop built the same way (the columns of the draws before
// the window's rows as 16-bit integers, the sum of the candidate's columns, ((x − 1) MOD 6) + 1,
// the comparison with the drawn number, the weighted hits and runs). The evaluator should stay
// within 1.1× of it.
void BM_PlainLoopCandidate(benchmark::State& state)
{
    const auto e = evaluator(int(state.range(0)));
    const LookBackWindow w = e->window();
    const int rows = w.size();
    std::vector<std::int16_t> columns(std::size_t(kParameterCount) * rows);
    std::vector<int> units(static_cast<std::size_t>(rows));
    std::vector<std::int64_t> weights(static_cast<std::size_t>(rows));
    for (int i = 0; i < rows; ++i) {
        for (int c = 0; c < kParameterCount; ++c)
            columns[std::size_t(c) * rows + i] = draws()[std::size_t(w.first - 1 + i)].values[c];
        units[std::size_t(i)] = draws()[std::size_t(w.first + i)].number(3);
        weights[std::size_t(i)] = std::int64_t(i + 1) * (i + 1);
    }
    FormulaGenerator generator(1, 0);
    std::vector<SearchCandidate> candidates(1024);
    for (SearchCandidate& c : candidates)
        generator.next({8, true, 0}, &c);
    std::size_t n = 0;
    for (auto _ : state) {
        const SearchCandidate& c = candidates[n++ & 1023];
        std::int64_t hits = 0;
        int hitRun = 0, missRun = 0, maxHit = 0, maxMiss = 0;
        for (int i = 0; i < rows; ++i) {
            int sum = c.tail;
            for (int k = 0; k < c.operandCount; ++k)
                sum += columns[std::size_t(c.operands[k]) * rows + i];
            const int hit = (sum - 1) % 6 + 1 != units[std::size_t(i)];
            hits += hit ? weights[std::size_t(i)] : 0;
            hitRun = hit ? hitRun + 1 : 0;
            missRun = hit ? 0 : missRun + 1;
            maxHit = std::max(maxHit, hitRun);
            maxMiss = std::max(maxMiss, missRun);
        }
        benchmark::DoNotOptimize(hits + maxHit + maxMiss + hitRun + missRun);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PlainLoopCandidate)->Arg(300)->Arg(0);

// Built, judged and qualified against the stored default ranges, one thread.
void BM_GenerateAndQualify(benchmark::State& state)
{
    const auto e = evaluator(300);
    const QualificationRanges ranges = SearchSettings::defaultRanges(0, true);
    FormulaGenerator generator(2, 0);
    SearchCandidate c;
    int qualified = 0;
    for (auto _ : state) {
        generator.next({8, false, 0}, &c);
        qualified += ranges.admits(e->evaluate(c));
    }
    benchmark::DoNotOptimize(qualified);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GenerateAndQualify);

// A whole run of range(1) candidates on range(0) threads, as the window runs it.
void BM_SearchRun(benchmark::State& state)
{
    SearchRunConfig config;
    config.evaluator = evaluator(300);
    config.generator = {8, false, 0};
    config.ranges = SearchSettings::defaultRanges(0, true);
    config.threads = int(state.range(0));
    config.maxTries = state.range(1);
    const long before = maxResidentKb();
    for (auto _ : state) {
        config.seed = FormulaGenerator::freshSeed();
        SearchRun run(config);
        run.start();
        run.wait();
        benchmark::DoNotOptimize(run.takeResults());
    }
    state.SetItemsProcessed(state.iterations() * state.range(1));
    state.counters["max_rss_growth_kb"] = double(maxResidentKb() - before);
}
BENCHMARK(BM_SearchRun)
    ->Args({1, 200000})
    ->Args({2, 200000})
    ->Args({2, 1000000})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
