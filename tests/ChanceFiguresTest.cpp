#include "SyntheticHistory.h"
#include "backtest/BacktestEngine.h"
#include "backtest/ChanceSummary.h"
#include "formula/FormulaArithmetic.h"
#include "history/HistoryColumns.h"
#include "history/ParameterTable.h"
#include "store/Settings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

BacktestOptions options(int lookBack, bool excludeCurrent, bool weighted)
{
    BacktestOptions o;
    o.lookBackDraws = lookBack;
    o.excludeCurrent = excludeCurrent;
    o.weighted = weighted;
    o.threads = 1;
    return o;
}

// The chance figures summed draw by draw, straight from their definition: the prediction in force
// on each scored draw, its chance q_j, its verdict h_j and its weight w_j.
ChanceFigures directSum(const HistoryColumns& h, const QString& code, const FormulaKind& kind, bool kill,
                        const BacktestOptions& o)
{
    const CompiledFormula f = CompiledFormula::compile(code);
    const int n = h.drawCount();
    std::vector<std::optional<int>> inForce(n);
    std::optional<int> last;
    for (int r = 0; r < n; ++r) {
        inForce[r] = last;
        int v = 0;
        if (FormulaArithmetic::toInt32(f.evaluateRow(h, r), &v))
            last = ((v - 1LL) % 6) + 1;
    }
    int first = 1; // 0-based
    if (o.lookBackDraws > 0)
        first = std::max(1, o.excludeCurrent ? n - o.lookBackDraws : n - o.lookBackDraws - 1);
    const int k = kind.single ? 1 : kind.position;
    const double chanceIfNamed = kill ? std::pow(5.0 / 6, k) : 1 - std::pow(5.0 / 6, k);
    double sumW = 0, sumWQ = 0, sumWH = 0, sumW2QQ = 0;
    ChanceFigures out;
    for (int r = first, j = 1; r < n; ++r, ++j) {
        const double w = o.weighted ? double(j) * j : 1.0;
        double q = 0;
        bool right = false;
        if (inForce[r]) {
            const int p = *inForce[r];
            q = p >= 1 ? chanceIfNamed : (kill ? 1.0 : 0.0);
            bool drawn = false;
            for (int c : kind.checkedColumns())
                drawn = drawn || h.value(c, r) == p;
            right = kill ? !drawn : drawn;
        }
        sumW += w;
        sumWQ += w * q;
        sumWH += right ? w : 0;
        sumW2QQ += w * w * q * (1 - q);
        out.hits += right ? 1 : 0;
        ++out.tested;
    }
    if (sumW > 0) {
        out.chanceRate = sumWQ / sumW * 100;
        out.excess = sumWH / sumW * 100 - out.chanceRate;
    }
    if (sumW2QQ > 0) {
        out.z = (sumWH - sumWQ) / std::sqrt(sumW2QQ);
        out.p = 0.5 * std::erfc(*out.z / std::sqrt(2.0));
    }
    return out;
}

void expectNear(const ChanceFigures& got, const ChanceFigures& want, const std::string& where)
{
    EXPECT_EQ(got.hits, want.hits) << where;
    EXPECT_EQ(got.tested, want.tested) << where;
    EXPECT_NEAR(got.chanceRate, want.chanceRate, 1e-9) << where;
    EXPECT_NEAR(got.excess, want.excess, 1e-9) << where;
    ASSERT_EQ(got.z.has_value(), want.z.has_value()) << where;
    ASSERT_EQ(got.p.has_value(), want.p.has_value()) << where;
    if (want.z) {
        EXPECT_NEAR(*got.z, *want.z, 1e-9 * std::max(1.0, std::abs(*want.z))) << where;
        EXPECT_NEAR(*got.p, *want.p, 1e-12 + 1e-9 * *want.p) << where;
    }
}

ChanceFigures chanceOf(const HistoryColumns& h, const QString& code, const FormulaKind& kind, bool kill,
                       const BacktestOptions& o)
{
    return BacktestEngine::run(h, {CompiledFormula::compile(code)}, kind, kill, o).outcomes.front().chance;
}

// Formulas of the search's shape with random parameters and constant.
QStringList randomFormulas(int count, unsigned seed)
{
    std::mt19937 rng(seed);
    QStringList codes;
    for (int i = 0; i < count; ++i) {
        QString c;
        for (int t = 0; t < 6; ++t)
            c += ParameterTable::code(int(rng() % kParameterCount)) + '+';
        codes << c + QString::number(rng() % 10);
    }
    return codes;
}

const FormulaKind k1D{1, true}, k2G{2, false}, k3G{3, false};

} // namespace

TEST(ChanceFigures, BaseChanceOfEveryKind)
{
    EXPECT_NEAR(ChanceModel::baseChance(1, true) * 100, 83.3333, 1e-4);
    EXPECT_NEAR(ChanceModel::baseChance(2, true) * 100, 69.4444, 1e-4);
    EXPECT_NEAR(ChanceModel::baseChance(3, true) * 100, 57.8704, 1e-4);
    EXPECT_NEAR(ChanceModel::baseChance(1, false) * 100, 16.6667, 1e-4);
    EXPECT_NEAR(ChanceModel::baseChance(2, false) * 100, 30.5556, 1e-4);
    EXPECT_NEAR(ChanceModel::baseChance(3, false) * 100, 42.1296, 1e-4);
}

// Five draws worked by hand. 6/(L1A-2) has no value where 百位 is 2 and is 0 or below where 百位
// is below 2, so the window holds a draw without an earlier value, a prediction of 0 or below and
// predictions 1..6.
TEST(ChanceFigures, SmallHistoryByHand)
{
    // 百位 2, 1, 4, 8 give: no value, -6 (predicts 0), 3, 1.
    const HistoryColumns h(drawsWithNumbers({{2, 1, 1}, {1, 1, 5}, {4, 1, 3}, {8, 1, 3}, {1, 1, 1}}));
    // Scored draws 1..4 (all but the oldest): no earlier value (q 0, miss); predicts 0 (kill: q 1,
    // right); predicts 3 against 个位 3 (kill wrong); predicts 1 against 个位 1 (kill wrong).
    const double q = 5.0 / 6;
    ChanceFigures f = chanceOf(h, "6/(L1A-2)", k1D, true, options(0, true, false));
    EXPECT_EQ(f.tested, 4);
    EXPECT_EQ(f.hits, 1);
    EXPECT_NEAR(f.chanceRate, (0 + 1 + q + q) / 4 * 100, 1e-9);
    EXPECT_NEAR(f.excess, 25 - (1 + 2 * q) / 4 * 100, 1e-9);
    ASSERT_TRUE(f.z.has_value());
    EXPECT_NEAR(*f.z, (1 - (1 + 2 * q)) / std::sqrt(2 * q * (1 - q)), 1e-12);
    EXPECT_NEAR(*f.p, 0.5 * std::erfc(*f.z / std::sqrt(2.0)), 1e-15);
    // Weighted 1, 4, 9, 16: the draw predicting 0 weighs 4.
    f = chanceOf(h, "6/(L1A-2)", k1D, true, options(0, true, true));
    EXPECT_NEAR(f.chanceRate, (4 + 9 * q + 16 * q) / 30 * 100, 1e-9);
    EXPECT_NEAR(*f.z, (4 - (4 + 25 * q)) / std::sqrt((81 + 256) * q * (1 - q)), 1e-12);
    // Keep: 0 or below and no value are never right by chance; 3 and 1 both came, q = 1/6.
    f = chanceOf(h, "6/(L1A-2)", k1D, false, options(0, true, false));
    EXPECT_EQ(f.hits, 2);
    EXPECT_NEAR(f.chanceRate, 2.0 / 6 / 4 * 100, 1e-9);
    EXPECT_NEAR(f.excess, 50 - 2.0 / 6 / 4 * 100, 1e-9);

    // No draw where chance could go either way: a formula predicting 0 throughout has no z or p.
    f = chanceOf(h, "0", k3G, true, options(0, true, true));
    EXPECT_DOUBLE_EQ(f.chanceRate, 100);
    EXPECT_DOUBLE_EQ(f.excess, 0);
    EXPECT_FALSE(f.z.has_value());
    EXPECT_FALSE(f.p.has_value());
    // An empty window and an invalid formula: zeros, no p.
    f = chanceOf(HistoryColumns(drawsWithNumbers({{1, 2, 3}})), "L1A", k1D, true, options(0, true, true));
    EXPECT_EQ(f, ChanceFigures{});
    EXPECT_EQ(chanceOf(h, "L1A++", k1D, true, options(0, true, true)), ChanceFigures{});
}

// Every kind, both senses, weighting on and off, every look-back entry, with and without the current
// draw: the engine's figures equal the direct sums. The formulas include values of 0 and below, rows
// without a value, and windows whose first rows have no earlier value.
TEST(ChanceFigures, MatchDirectSumsEverywhere)
{
    const HistoryColumns h(syntheticDraws(3100, 7));
    QStringList codes = {"L1A+LT+3",   "0-L1A", "L1A-L2A", "6/(L1A-L2A)",
                         "L1A MOD LU", "0",     "7",       "(L1A MOD 4)-2"};
    codes << randomFormulas(6, 3);
    std::vector<CompiledFormula> compiled;
    for (const QString& c : codes)
        compiled.push_back(CompiledFormula::compile(c));
    std::vector<int> lookBacks;
    for (int i = 0; i < LookBackTable::kCount; ++i)
        lookBacks.push_back(LookBackTable::draws(i));
    for (const FormulaKind& kind : FormulaKind::all())
        for (bool kill : {true, false})
            for (bool weighted : {true, false})
                for (int w : lookBacks)
                    for (bool excl : {true, false}) {
                        const BacktestOptions o = options(w, excl, weighted);
                        const BacktestResult r = BacktestEngine::run(h, compiled, kind, kill, o);
                        for (int i = 0; i < codes.size(); ++i)
                            expectNear(r.outcomes[i].chance, directSum(h, codes[i], kind, kill, o),
                                       QString("%1 %2 kill=%3 weighted=%4 W=%5 excl=%6")
                                           .arg(codes[i], kind.code())
                                           .arg(kill)
                                           .arg(weighted)
                                           .arg(w)
                                           .arg(excl)
                                           .toStdString());
                    }
}

// Rows before the window without a value: the first rows of a short window have no earlier value.
TEST(ChanceFigures, WindowStartingWithoutEarlierValue)
{
    // 6/(L1A-2) has values only where 百位 is not 2; the window of the newest 600 draws starts
    // after 700 draws without a value.
    std::vector<std::array<int, 3>> numbers(1000, {2, 3, 4});
    for (int r = 900; r < 1000; ++r)
        numbers[r] = {r % 2 ? 3 : 5, (r * 7) % 6 + 1, (r * 5) % 6 + 1};
    const HistoryColumns h(drawsWithNumbers(numbers));
    for (bool kill : {true, false})
        for (bool weighted : {true, false}) {
            const BacktestOptions o = options(600, true, weighted);
            expectNear(chanceOf(h, "6/(L1A-2)", k2G, kill, o), directSum(h, "6/(L1A-2)", k2G, kill, o),
                       kill ? "kill" : "keep");
        }
}

// On a long random history, formulas have no skill: about 5 % of them show p < 0.05 by luck.
TEST(ChanceFigures, RandomFormulasAreSignificantAboutFivePerCentOfTheTime)
{
    const HistoryColumns h(syntheticDraws(3000, 2024));
    const QStringList codes = randomFormulas(2000, 11);
    std::vector<CompiledFormula> compiled;
    for (const QString& c : codes)
        compiled.push_back(CompiledFormula::compile(c));
    for (bool weighted : {false, true}) {
        BacktestOptions o = options(0, true, weighted);
        o.threads = 2;
        const BacktestResult r = BacktestEngine::run(h, compiled, k1D, true, o);
        int significant = 0;
        for (const FormulaOutcome& out : r.outcomes) {
            ASSERT_TRUE(out.chance.p.has_value());
            significant += *out.chance.p < 0.05 ? 1 : 0;
        }
        const double share = significant / 2000.0;
        EXPECT_GE(share, 0.02) << "weighted " << weighted;
        EXPECT_LE(share, 0.09) << "weighted " << weighted;
        RecordProperty(weighted ? "share_weighted" : "share_plain", QString::number(share).toStdString());
        std::printf("share of p<0.05 among 2000 random formulas (weighted %d): %.4f\n", int(weighted), share);
        const ChanceSummary summary = ChanceSummary::of(r.outcomes);
        EXPECT_EQ(summary.formulas, 2000);
        EXPECT_EQ(summary.significant, significant);
    }
}

// A history built so that 百位 of one draw never comes up in 个位 of the next: the kill formula
// L1A of 个位单选 is always right, far beyond its chance of 83.33 %.
TEST(ChanceFigures, FormulaAlwaysRightIsHighlySignificant)
{
    std::mt19937 rng(5);
    std::vector<std::array<int, 3>> numbers;
    numbers.push_back({1, 2, 3});
    for (int i = 1; i < 1000; ++i) {
        std::array<int, 3> d{int(rng() % 6) + 1, int(rng() % 6) + 1, int(rng() % 6) + 1};
        while (d[2] == numbers.back()[0])
            d[2] = int(rng() % 6) + 1;
        numbers.push_back(d);
    }
    const HistoryColumns h(drawsWithNumbers(numbers));
    for (bool weighted : {false, true}) {
        const FormulaOutcome o =
            BacktestEngine::run(h, {CompiledFormula::compile("L1A")}, k1D, true, options(300, true, weighted))
                .outcomes.front();
        EXPECT_EQ(o.stats.rate, 100.0f);
        EXPECT_NEAR(o.chance.chanceRate, 500.0 / 6, 1e-9);
        EXPECT_NEAR(o.chance.excess, 100 - 500.0 / 6, 1e-9);
        ASSERT_TRUE(o.chance.p.has_value());
        EXPECT_LT(*o.chance.p, 0.001);
    }
    // The same formula as a keep formula is never right: p close to 1.
    const FormulaOutcome keep =
        BacktestEngine::run(h, {CompiledFormula::compile("L1A")}, k1D, false, options(300, true, false))
            .outcomes.front();
    EXPECT_EQ(keep.chance.hits, 0);
    EXPECT_GT(*keep.chance.p, 0.999);
}

TEST(ChanceSummary, BinomialTailAndVerdict)
{
    // P(K >= 2) for K ~ Bin(3, 0.5) = 4/8.
    EXPECT_NEAR(ChanceModel::binomialUpperTail(3, 0.5, 2), 0.5, 1e-12);
    EXPECT_NEAR(ChanceModel::binomialUpperTail(10, 0.05, 0), 1.0, 1e-12);
    EXPECT_NEAR(ChanceModel::binomialUpperTail(10, 0.05, 1), 1 - std::pow(0.95, 10), 1e-12);
    EXPECT_DOUBLE_EQ(ChanceModel::binomialUpperTail(10, 0.05, 11), 0.0);
    // Large n stays finite: the mean of Bin(32767, 0.05) is about 1638.
    EXPECT_NEAR(ChanceModel::binomialUpperTail(32767, 0.05, 1638), 0.5, 0.02);
    EXPECT_LT(ChanceModel::binomialUpperTail(32767, 0.05, 1800), 1e-4);

    auto outcome = [](double rate, double chance, std::optional<double> p) {
        FormulaOutcome o;
        o.valid = true;
        o.stats.rate = float(rate);
        o.chance.chanceRate = chance;
        o.chance.p = p;
        return o;
    };
    // 100 formulas, 5 below 0.05: what luck gives.
    std::vector<FormulaOutcome> outcomes;
    for (int i = 0; i < 100; ++i)
        outcomes.push_back(outcome(84, 83.3333, i < 5 ? 0.01 : 0.5));
    outcomes.push_back(outcome(0, 0, std::nullopt)); // no p: not counted
    ChanceSummary s = ChanceSummary::of(outcomes);
    EXPECT_EQ(s.formulas, 100);
    EXPECT_EQ(s.significant, 5);
    EXPECT_DOUBLE_EQ(s.expected, 5.0);
    EXPECT_FALSE(s.clearlyAboveChance());
    EXPECT_EQ(s.text(), QStringLiteral("本类 100 条公式：平均正确率 84.00%，机会率 83.33%；p<0.05 的有 5 条，"
                                       "纯属运气时约有 5 条，与随机无明显差别"));
    // 12 of 100: P(K >= 12) for Bin(100, 0.05) is about 0.004, clearly above.
    for (int i = 5; i < 12; ++i)
        outcomes[i].chance.p = 0.001;
    s = ChanceSummary::of(outcomes);
    EXPECT_TRUE(s.clearlyAboveChance());
    EXPECT_EQ(s.text(),
              QStringLiteral("本类 100 条公式：平均正确率 84.00%，机会率 83.33%；p<0.05 的有 12 条，"
                             "纯属运气时约有 5 条"));
    // 37 formulas: M = 1.85 is shown to one decimal.
    outcomes.resize(37);
    EXPECT_TRUE(ChanceSummary::of(outcomes).text().contains(QStringLiteral("纯属运气时约有 1.9 条")));
    EXPECT_EQ(ChanceSummary::of({}).text(), QStringLiteral("本类没有可以和机会率比较的公式"));
}
