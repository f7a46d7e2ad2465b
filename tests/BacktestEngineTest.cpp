#include "backtest/BacktestEngine.h"
#include "SyntheticHistory.h"
#include "history/DrawDeriver.h"
#include "history/HistoryColumns.h"
#include "history/ParameterTable.h"

#include <QDate>
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>

namespace {

// Draws with only the three numbers set (百位, 十位, 个位); every other column is 0.
HistoryColumns numbers(const std::vector<std::array<int, 3>>& draws)
{
    std::vector<DrawRecord> records(draws.size());
    for (std::size_t i = 0; i < draws.size(); ++i)
        for (int p = 0; p < 3; ++p)
            records[i].values[p] = static_cast<int16_t>(draws[i][p]);
    return HistoryColumns(records);
}

// A realistic history: random draws with every parameter derived, 78 draws a day.
std::vector<DrawRecord> derivedDraws(int count, unsigned seed)
{
    return syntheticDraws(count, seed);
}

BacktestOptions options(int lookBack, bool excludeCurrent, bool weighted, int threads = 1)
{
    BacktestOptions o;
    o.lookBackDraws = lookBack;
    o.excludeCurrent = excludeCurrent;
    o.weighted = weighted;
    o.threads = threads;
    return o;
}

FormulaOutcome runOne(const HistoryColumns& h, const char* code, FormulaKind kind, bool kill,
                      BacktestOptions o)
{
    const BacktestResult r =
        BacktestEngine::run(h, {CompiledFormula::compile(QString::fromLatin1(code))}, kind, kill, o);
    EXPECT_EQ(r.outcomes.size(), 1u);
    return r.outcomes.front();
}

const FormulaKind k1D{1, true}, k2D{2, true}, k3D{3, true}, k2G{2, false}, k3G{3, false};

// The back-test written out step by step as the correctness rules and statistics describe it,
// without any of the engine's shortcuts.
FormulaOutcome reference(const HistoryColumns& h, const QString& code, const FormulaKind& kind, bool kill,
                         const BacktestOptions& o)
{
    FormulaOutcome out;
    const CompiledFormula f = CompiledFormula::compile(code);
    out.valid = f.isValid();
    if (!out.valid)
        return out;
    const int n = h.drawCount();
    std::vector<double> canshu(n);
    for (int r = 0; r < n; ++r)
        canshu[r] = f.evaluateRow(h, r);
    // Previous-value pass: a row without a value passes on the last value read.
    std::vector<std::optional<int>> pre(n);
    std::optional<int> last;
    for (int k = 0; k < n; ++k) {
        if (k > 0)
            pre[k] = last;
        int v = 0;
        if (FormulaArithmetic::toInt32(canshu[k], &v))
            last = v;
    }
    QStringList codes;
    if (kind == k1D)
        codes = {"L3A"};
    if (kind == k2D)
        codes = {"L2A"};
    if (kind == k3D)
        codes = {"L1A"};
    if (kind == k2G)
        codes = {"L2A", "L3A"};
    if (kind == k3G)
        codes = {"L1A", "L2A", "L3A"};
    std::vector<bool> gscs(n, false);
    for (int k = 1; k < n; ++k) {
        if (!pre[k])
            continue;
        const long long p = ((static_cast<long long>(*pre[k]) - 1) % 6) + 1;
        bool any = false;
        for (const QString& c : codes)
            any = any || h.value(ParameterTable::indexOf(c), k) == p;
        gscs[k] = kill ? !any : any;
    }
    // Window in 1-based rows, as the look-back rules state it.
    int first = 2;
    if (o.lookBackDraws > 0)
        first = o.excludeCurrent ? n - o.lookBackDraws + 1 : n - o.lookBackDraws;
    first = std::max(first, 2);
    std::int64_t total = 0, hits = 0;
    int hitRun = 0, missRun = 0, maxHit = 0, maxMiss = 0;
    for (int row = first, j = 1; row <= n; ++row, ++j) {
        const std::int64_t w = o.weighted ? std::int64_t(j) * j : 1;
        total += w;
        if (gscs[row - 1]) {
            missRun = 0;
            hits += w;
            if (++hitRun > maxHit)
                maxHit = hitRun;
        } else {
            hitRun = 0;
            if (++missRun > maxMiss)
                maxMiss = missRun;
        }
    }
    out.stats = {hits,    total, total ? float(double(hits) / double(total) * 100) : 0.0f, maxMiss, maxHit,
                 missRun, hitRun};
    // The next-draw value: the newest row's value, or the last value read before it.
    for (int r = n - 1; r >= 0 && !out.nextValue; --r) {
        out.nextValue = FormulaArithmetic::predictedNumber(canshu[r]);
        out.nextFromEarlierDraw = out.nextValue.has_value() && r < n - 1;
    }
    return out;
}

} // namespace

TEST(LookBackWindow, Bounds)
{
    EXPECT_TRUE(LookBackWindow::of(0, 0, true).isEmpty());
    EXPECT_TRUE(LookBackWindow::of(1, 0, true).isEmpty());
    EXPECT_TRUE(LookBackWindow::of(1, 100, false).isEmpty());
    EXPECT_EQ(LookBackWindow::of(2, 0, true).size(), 1);
    EXPECT_EQ(LookBackWindow::of(2, 100, false).first, 1);
    EXPECT_EQ(LookBackWindow::of(500, 0, true).size(), 499);
    EXPECT_EQ(LookBackWindow::of(500, 100, true).size(), 100);
    EXPECT_EQ(LookBackWindow::of(500, 100, false).size(), 101);
    EXPECT_EQ(LookBackWindow::of(500, 100, true).last, 499);
    EXPECT_EQ(LookBackWindow::of(150, 300, true).size(), 149);
    EXPECT_EQ(LookBackWindow::of(150, 300, false).size(), 149);
    // W + 1 rows just fit, W + 2 would reach the oldest draw.
    EXPECT_EQ(LookBackWindow::of(101, 100, true).size(), 100);
    EXPECT_EQ(LookBackWindow::of(101, 100, false).size(), 100);
    EXPECT_EQ(LookBackWindow::of(102, 100, false).size(), 101);
}

TEST(BacktestStatistics, WeightedAndPlainRates)
{
    // The constant formula 3 predicts 3; as a keep formula on the units it is right when 个位 is 3.
    const HistoryColumns h = numbers({{1, 1, 1}, {1, 1, 5}, {1, 1, 3}, {1, 1, 3}});
    FormulaOutcome o = runOne(h, "3", k1D, false, options(0, true, true));
    EXPECT_EQ(o.stats.totalWeight, 14);
    EXPECT_EQ(o.stats.weightedHits, 13);
    EXPECT_FLOAT_EQ(o.stats.rate, 13.0f / 14 * 100);
    EXPECT_EQ(QString::number(double(o.stats.rate), 'f', 4), "92.8571");
    EXPECT_EQ(o.stats.maxHitRun, 2);
    EXPECT_EQ(o.stats.finalHitRun, 2);
    EXPECT_EQ(o.stats.finalMissRun, 0);
    EXPECT_EQ(o.stats.maxMissRun, 1);
    o = runOne(h, "3", k1D, false, options(0, true, false));
    EXPECT_EQ(o.stats.totalWeight, 3);
    EXPECT_EQ(o.stats.weightedHits, 2);
    EXPECT_EQ(QString::number(double(o.stats.rate), 'f', 4), "66.6667");
    // As a kill formula the verdicts invert.
    o = runOne(h, "3", k1D, true, options(0, true, false));
    EXPECT_EQ(o.stats.weightedHits, 1);
    EXPECT_EQ(o.stats.finalMissRun, 2);
    EXPECT_EQ(o.stats.finalHitRun, 0);
}

TEST(BacktestStatistics, WindowLengthsAndWideWeights)
{
    std::vector<std::array<int, 3>> draws(3001, {1, 2, 3});
    const HistoryColumns h = numbers(draws);
    EXPECT_EQ(runOne(h, "L1A", k1D, true, options(100, true, false)).stats.totalWeight, 100);
    EXPECT_EQ(runOne(h, "L1A", k1D, true, options(100, false, false)).stats.totalWeight, 101);
    EXPECT_EQ(runOne(h, "L1A", k1D, true, options(0, true, false)).stats.totalWeight, 3000);
    const FormulaOutcome wide = runOne(h, "L1A", k1D, true, options(3000, true, true));
    EXPECT_EQ(wide.stats.totalWeight, 9004500500LL);
    // Always right: 1 is never the units number 3.
    EXPECT_EQ(wide.stats.weightedHits, 9004500500LL);
    EXPECT_EQ(wide.stats.rate, 100.0f);
    EXPECT_EQ(wide.stats.maxMissRun, 0);
    EXPECT_EQ(wide.stats.finalMissRun, 0);
    EXPECT_EQ(wide.stats.maxHitRun, 3000);
    const HistoryColumns short150 = numbers(std::vector<std::array<int, 3>>(150, {1, 2, 3}));
    EXPECT_EQ(runOne(short150, "L1A", k1D, true, options(300, true, false)).stats.totalWeight, 149);
}

TEST(BacktestStatistics, ShortHistories)
{
    for (int n : {0, 1}) {
        const HistoryColumns h = numbers(std::vector<std::array<int, 3>>(n, {1, 2, 3}));
        const FormulaOutcome o = runOne(h, "L1A+6", k3G, true, options(0, true, true));
        EXPECT_TRUE(o.valid);
        EXPECT_EQ(o.stats, FormulaStats{}) << n;
        EXPECT_EQ(o.nextValue.has_value(), n == 1);
    }
    // Two draws: one scored row, judged by the prediction of the first.
    const HistoryColumns two = numbers({{4, 5, 6}, {1, 2, 3}});
    const FormulaOutcome o = runOne(two, "L3A", k3G, false, options(300, false, true)); // predicts 6
    EXPECT_EQ(o.stats.totalWeight, 1);
    EXPECT_EQ(o.stats.weightedHits, 0);
    EXPECT_EQ(o.stats.finalMissRun, 1);
    EXPECT_EQ(o.nextValue, 3);
}

// The draw 百位 1, 十位 2, 个位 3 judged against every prediction 1..6, for all kinds and senses.
TEST(BacktestVerdicts, PositionsOfEveryKind)
{
    const HistoryColumns h = numbers({{6, 6, 6}, {1, 2, 3}});
    const std::pair<FormulaKind, std::set<int>> drawn[] = {
        {k1D, {3}}, {k2D, {2}}, {k3D, {1}}, {k2G, {2, 3}}, {k3G, {1, 2, 3}}};
    for (const auto& [kind, numbersDrawn] : drawn) {
        for (int p = 1; p <= 6; ++p) {
            const QByteArray code = QByteArray::number(p);
            const bool equal = numbersDrawn.count(p) > 0;
            EXPECT_EQ(runOne(h, code, kind, false, options(0, true, true)).stats.weightedHits, equal ? 1 : 0)
                << kind.code().toStdString() << " keep " << p;
            EXPECT_EQ(runOne(h, code, kind, true, options(0, true, true)).stats.weightedHits, equal ? 0 : 1)
                << kind.code().toStdString() << " kill " << p;
        }
    }
}

TEST(BacktestVerdicts, PredictionsOfZeroOrBelowAndWrapAround)
{
    const HistoryColumns h = numbers({{1, 1, 1}, {1, 1, 1}});
    // 0 -> 0, 6 -> 0 via -6: never a drawn number, so kill is right and keep wrong.
    for (const char* code : {"0", "0-6", "0-1", "0-4"}) {
        EXPECT_EQ(runOne(h, code, k3G, true, options(0, true, false)).stats.weightedHits, 1) << code;
        EXPECT_EQ(runOne(h, code, k3G, false, options(0, true, false)).stats.weightedHits, 0) << code;
    }
    // -5 and 7 both predict 1.
    EXPECT_EQ(runOne(h, "0-5", k1D, false, options(0, true, false)).stats.weightedHits, 1);
    EXPECT_EQ(runOne(h, "7", k1D, false, options(0, true, false)).stats.weightedHits, 1);
    EXPECT_EQ(runOne(h, "13", k1D, false, options(0, true, false)).stats.weightedHits, 1);
}

TEST(BacktestVerdicts, PreviousValueRoundsHalvesToEven)
{
    // L1A/2: 5 -> 2.5 -> 2; 7 -> 3.5 -> 4; 1 -> 0.5 -> 0.
    const HistoryColumns h = numbers({{5, 0, 0}, {7, 0, 0}, {1, 0, 0}, {3, 0, 0}});
    const FormulaTrace t = BacktestEngine::trace(h, CompiledFormula::compile("L1A/2"), k1D, true);
    ASSERT_EQ(t.drawCount(), 4);
    EXPECT_EQ(t.canshu[0], 2.5);
    EXPECT_FALSE(t.preCanshu[0].has_value());
    EXPECT_EQ(t.preCanshu[1], 2);
    EXPECT_EQ(t.preCanshu[2], 4);
    EXPECT_EQ(t.preCanshu[3], 0);
    EXPECT_EQ(t.preCanshuPrediction(3), 0);
    EXPECT_EQ(t.canshuPrediction(0), 3); // ((2.5 − 1) MOD 6) + 1: 1.5 rounds to 2
    EXPECT_EQ(t.gscs[0], 0);
}

TEST(BacktestVerdicts, RowsWithoutValueCarryTheLastValueRead)
{
    // 6/(L1A-2) has no value where 百位 is 2.
    const HistoryColumns h = numbers({{2, 0, 0}, {2, 0, 0}, {3, 0, 4}, {2, 0, 6}, {5, 0, 6}, {8, 0, 3}});
    const FormulaTrace t = BacktestEngine::trace(h, CompiledFormula::compile("6/(L1A-2)"), k1D, true);
    EXPECT_TRUE(std::isnan(t.canshu[0]));
    EXPECT_FALSE(t.preCanshu[1].has_value());
    EXPECT_FALSE(t.preCanshu[2].has_value()); // nothing read yet: a miss even for a kill formula
    EXPECT_EQ(t.gscs[2], 0);
    EXPECT_EQ(t.preCanshu[3], 6); // row 2: 6/1
    EXPECT_EQ(t.gscs[3], 0);      // predicts 6, 个位 6: the kill formula is wrong
    EXPECT_EQ(t.preCanshu[4], 6); // row 3 has no value: row 2's value again
    EXPECT_EQ(t.gscs[4], 0);
    EXPECT_EQ(t.preCanshu[5], 2); // row 4: 6/3
    EXPECT_EQ(t.gscs[5], 1);      // predicts 2, 个位 3
    const FormulaOutcome o = runOne(h, "6/(L1A-2)", k1D, true, options(0, true, false));
    EXPECT_EQ(o.stats.totalWeight, 5);
    EXPECT_EQ(o.stats.weightedHits, 1);
    EXPECT_EQ(o.stats.maxMissRun, 4);
    EXPECT_EQ(o.stats.finalHitRun, 1);
}

TEST(BacktestVerdicts, PreviousValueIsFoundBeforeTheWindow)
{
    // 6/(L1A-2): row 0 -> 3, row 1 -> 6, rows 2 and 3 have no value.
    const HistoryColumns right = numbers({{4, 0, 0}, {3, 0, 0}, {2, 0, 1}, {2, 0, 6}});
    const HistoryColumns wrong = numbers({{4, 0, 0}, {3, 0, 0}, {2, 0, 1}, {2, 0, 5}});
    // Window = the newest draw; the draw before it has no value, so row 1's 6 is the prediction.
    EXPECT_EQ(runOne(right, "6/(L1A-2)", k1D, false, options(1, true, false)).stats.weightedHits, 1);
    EXPECT_EQ(runOne(wrong, "6/(L1A-2)", k1D, false, options(1, true, false)).stats.weightedHits, 0);
    // Window = the newest two draws: both judged by 6.
    const FormulaOutcome two = runOne(right, "6/(L1A-2)", k1D, false, options(1, false, false));
    EXPECT_EQ(two.stats.totalWeight, 2);
    EXPECT_EQ(two.stats.weightedHits, 1);
    // The newest draw has no value: the next draw is predicted from row 1's 6, as the calculation
    // votes, and the value is marked as coming from an earlier draw.
    EXPECT_EQ(two.nextValue, 6);
    EXPECT_TRUE(two.nextFromEarlierDraw);
    EXPECT_FALSE(runOne(right, "L1A", k1D, false, options(1, false, false)).nextFromEarlierDraw);

    // With the newest two draws held out, the newest draw the back-test sees is row 3, which has no
    // value: the next value is still row 1's 6, marked, whatever the held-out draws give.
    const HistoryColumns longer = numbers({{4, 0, 0}, {3, 0, 0}, {2, 0, 1}, {2, 0, 6}, {5, 0, 0}, {3, 0, 0}});
    BacktestOptions heldOut = options(1, false, false);
    heldOut.holdOut = 2;
    const FormulaOutcome held = runOne(longer, "6/(L1A-2)", k1D, false, heldOut);
    EXPECT_EQ(held.nextValue, 6);
    EXPECT_TRUE(held.nextFromEarlierDraw);
    const FormulaOutcome all = runOne(longer, "6/(L1A-2)", k1D, false, options(1, false, false));
    EXPECT_EQ(all.nextValue, 6); // 6/(3-2) on the newest draw itself
    EXPECT_FALSE(all.nextFromEarlierDraw);
}

TEST(BacktestNextValue, TextOfTheNewestValue)
{
    const HistoryColumns h = numbers({{1, 1, 1}, {7, 0, 5}});
    EXPECT_EQ(runOne(h, "L1A", k1D, true, options(0, true, true)).nextText(), "1");
    EXPECT_EQ(runOne(h, "L2A", k1D, true, options(0, true, true)).nextText(), "0");
    EXPECT_EQ(runOne(h, "L3A/2", k1D, true, options(0, true, true)).nextText(), "3");  // 2.5
    EXPECT_EQ(runOne(h, "0-L1A", k1D, true, options(0, true, true)).nextText(), "-1"); // -8 MOD 6 = -2
    // 7/0 has no value: the draw before gives 1/1.
    EXPECT_EQ(runOne(h, "L1A/L2A", k1D, true, options(0, true, true)).nextText(), "1");
    EXPECT_EQ(runOne(h, "L1A/(L2A-L2A)", k1D, true, options(0, true, true)).nextText(),
              ""); // no draw gives one
}

TEST(BacktestInvalid, InvalidFormulasScoreNothingAndBorrowNothing)
{
    const HistoryColumns h = numbers({{1, 2, 3}, {4, 5, 6}, {1, 1, 1}});
    std::vector<CompiledFormula> fs = {CompiledFormula::compile("L1A+2"), CompiledFormula::compile("L1A++"),
                                       CompiledFormula::compile("L9Z")};
    const BacktestResult r = BacktestEngine::run(h, fs, k3G, true, options(0, true, true));
    ASSERT_EQ(r.outcomes.size(), 3u);
    EXPECT_TRUE(r.outcomes[0].valid);
    EXPECT_GT(r.outcomes[0].stats.totalWeight, 0);
    for (int i : {1, 2}) {
        EXPECT_FALSE(r.outcomes[i].valid);
        EXPECT_FALSE(r.outcomes[i].error.isEmpty());
        EXPECT_EQ(r.outcomes[i].stats, FormulaStats{});
        EXPECT_FALSE(r.outcomes[i].nextValue.has_value());
    }
    EXPECT_EQ(r.totalWeight, 5);
}

// The engine against the step-by-step reference on random histories and formulas: every kind,
// both senses, every look-back entry, both switches, one and two threads.
TEST(BacktestEngine, MatchesTheStepByStepRulesEverywhere)
{
    std::mt19937 rng(2016);
    QStringList codes = {"L1A+LT+L3D+7",   "LH",           "L1A/2",      "L2A*L3A-LT", "6/(L1A-L2A)",
                         "(L1A MOD 4)+LU", "L1A MOD LU",   "0-L1A",      "L1A++",      "LX/LY*3",
                         "QH+SQH+RQ",      "L3J/(LR-2)+1", "L1G/3+L2K/7"};
    for (int i = 0; i < 120; ++i) {
        QString c;
        for (int t = 0; t < 4; ++t)
            c += ParameterTable::code(rng() % kParameterCount) + (rng() % 4 ? "+" : "/");
        codes << c + QString::number(rng() % 20);
    }
    std::vector<CompiledFormula> compiled;
    for (const QString& c : codes)
        compiled.push_back(CompiledFormula::compile(c));
    const int lookBacks[] = {0, 100, 200, 300, 500, 600, 800, 1000, 1500, 3000, 1, 7};
    for (int n : {0, 1, 2, 3, 40, 333, 1200}) {
        const HistoryColumns h(derivedDraws(n, unsigned(n)));
        for (const FormulaKind& kind : FormulaKind::all()) {
            for (bool kill : {true, false}) {
                const int w = lookBacks[rng() % std::size(lookBacks)];
                const bool excl = rng() % 2, weighted = rng() % 2;
                const BacktestResult one =
                    BacktestEngine::run(h, compiled, kind, kill, options(w, excl, weighted, 1));
                const BacktestResult two =
                    BacktestEngine::run(h, compiled, kind, kill, options(w, excl, weighted, 2));
                ASSERT_FALSE(one.cancelled);
                for (int i = 0; i < codes.size(); ++i) {
                    const FormulaOutcome ref = reference(h, codes[i], kind, kill, options(w, excl, weighted));
                    const auto where = QString("%1 n=%2 %3 %4 W=%5 excl=%6 weighted=%7")
                                           .arg(codes[i])
                                           .arg(n)
                                           .arg(kind.code())
                                           .arg(kill)
                                           .arg(w)
                                           .arg(excl)
                                           .arg(weighted)
                                           .toStdString();
                    ASSERT_EQ(one.outcomes[i].valid, ref.valid) << where;
                    ASSERT_EQ(one.outcomes[i].stats, ref.stats) << where;
                    ASSERT_EQ(one.outcomes[i].nextValue, ref.nextValue) << where;
                    ASSERT_EQ(one.outcomes[i].nextFromEarlierDraw, ref.nextFromEarlierDraw) << where;
                    ASSERT_EQ(two.outcomes[i].stats, one.outcomes[i].stats) << where;
                    ASSERT_EQ(two.outcomes[i].nextValue, one.outcomes[i].nextValue) << where;
                }
            }
        }
    }
}

TEST(BacktestEngine, ProgressAndCancel)
{
    const HistoryColumns h(derivedDraws(200, 1));
    std::vector<CompiledFormula> fs(500, CompiledFormula::compile("L1A+L2B+7"));
    std::vector<int> seen;
    const BacktestResult r =
        BacktestEngine::run(h, fs, k2G, true, options(0, true, true, 2), [&](int done, int total) {
            EXPECT_EQ(total, 500);
            seen.push_back(done);
        });
    EXPECT_FALSE(r.cancelled);
    ASSERT_FALSE(seen.empty());
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(seen.back(), 500);

    std::atomic<bool> cancel{true};
    const BacktestResult stopped =
        BacktestEngine::run(h, fs, k2G, true, options(0, true, true, 2), {}, &cancel);
    EXPECT_TRUE(stopped.cancelled);
    // Cancelling half-way through, from the progress callback.
    std::atomic<bool> later{false};
    const BacktestResult half = BacktestEngine::run(
        h, fs, k2G, true, options(0, true, true, 1), [&](int done, int) { later = done >= 128; }, &later);
    EXPECT_TRUE(half.cancelled);
}

// The longest history the program keeps: the widest window, weights and runs still agree with the rules.
TEST(BacktestEngine, LongestHistory)
{
    const HistoryColumns h(derivedDraws(32767, 5));
    const QStringList codes = {"L1A+LT+L3D+7", "6/(L1A-L2A)", "1"};
    std::vector<CompiledFormula> compiled;
    for (const QString& c : codes)
        compiled.push_back(CompiledFormula::compile(c));
    for (int w : {0, 3000}) {
        const BacktestResult r = BacktestEngine::run(h, compiled, k3G, true, options(w, false, true, 2));
        for (int i = 0; i < codes.size(); ++i)
            EXPECT_EQ(r.outcomes[i].stats, reference(h, codes[i], k3G, true, options(w, false, true)).stats)
                << w;
    }
    const BacktestResult all = BacktestEngine::run(h, compiled, k3G, true, options(0, true, true));
    EXPECT_EQ(all.totalWeight, 32766LL * 32767 * 65533 / 6);
}
