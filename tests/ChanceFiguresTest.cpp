#include "SyntheticHistory.h"
#include "backtest/BacktestEngine.h"
#include "backtest/ChanceSummary.h"
#include "formula/FormulaArithmetic.h"
#include "history/HistoryColumns.h"
#include "history/ParameterTable.h"
#include "store/Settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <set>

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

// The chance a prediction p in 1..6 is right for the kind, counted here over the 216 throws of three
// dice, each read sorted when `ascending`.
double countedChance(const FormulaKind& kind, bool kill, bool ascending, int p)
{
    int present = 0;
    for (int a = 1; a <= 6; ++a)
        for (int b = 1; b <= 6; ++b)
            for (int c = 1; c <= 6; ++c) {
                std::array<int, 3> shown{a, b, c};
                if (ascending)
                    std::sort(shown.begin(), shown.end());
                bool in = false;
                for (int column : kind.checkedColumns())
                    in = in || shown[std::size_t(column)] == p;
                present += in;
            }
    return kill ? (216 - present) / 216.0 : present / 216.0;
}

// P(X >= k), X binomial(n, q), summed term by term.
double directBinomialTail(int n, double q, int k)
{
    if (k <= 0)
        return 1;
    double sum = 0;
    for (int i = k; i <= n; ++i)
        sum += std::exp(std::lgamma(n + 1.0) - std::lgamma(i + 1.0) - std::lgamma(n - i + 1.0) +
                        i * std::log(q) + (n - i) * std::log1p(-q));
    return std::min(1.0, sum);
}

// The chance figures summed draw by draw, straight from their definition: the prediction in force
// on each scored draw, its chance q_j, its verdict h_j and its weight w_j; p by the rule of the
// weighting.
ChanceFigures directSum(const HistoryColumns& h, const QString& code, const FormulaKind& kind, bool kill,
                        const BacktestOptions& o, bool ascending = false)
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
    std::array<double, 7> chanceOfNumber{};
    for (int p = 1; p <= 6; ++p)
        chanceOfNumber[std::size_t(p)] = countedChance(kind, kill, ascending, p);
    double sumW = 0, sumWQ = 0, sumWH = 0, sumW2QQ = 0;
    std::set<double> uncertainChances;
    int uncertainDraws = 0, uncertainHits = 0;
    ChanceFigures out;
    for (int r = first, j = 1; r < n; ++r, ++j) {
        const double w = o.weighted ? double(j) * j : 1.0;
        double q = 0;
        bool right = false;
        if (inForce[r]) {
            const int p = *inForce[r];
            q = p >= 1 ? chanceOfNumber[std::size_t(p)] : (kill ? 1.0 : 0.0);
            bool drawn = false;
            for (int c : kind.checkedColumns())
                drawn = drawn || h.value(c, r) == p;
            right = kill ? !drawn : drawn;
        }
        if (q > 0 && q < 1) {
            uncertainChances.insert(q);
            ++uncertainDraws;
            uncertainHits += right;
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
        if (o.weighted)
            out.p = 0.5 * std::erfc(*out.z / std::sqrt(2.0));
        else if (uncertainChances.size() == 1)
            out.p = directBinomialTail(uncertainDraws, *uncertainChances.begin(), uncertainHits);
        else
            out.p = 0.5 * std::erfc((out.hits - 0.5 - sumWQ) / std::sqrt(sumW2QQ) / std::sqrt(2.0));
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
        EXPECT_NEAR(*got.p, *want.p, 1e-11 + 1e-8 * *want.p) << where;
    }
}

ChanceFigures chanceOf(const HistoryColumns& h, const QString& code, const FormulaKind& kind, bool kill,
                       BacktestOptions o, PublicationOrder order = PublicationOrder::AsDrawn)
{
    o.publicationOrder = order;
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
    // Unweighted, both uncertain draws have q = 5/6 and both missed: P(X >= 0) = 1 exactly (the
    // certain draw's hit is known beforehand).
    EXPECT_DOUBLE_EQ(*f.p, 1.0);
    // Weighted 1, 4, 9, 16: the draw predicting 0 weighs 4; p is the normal tail of z.
    f = chanceOf(h, "6/(L1A-2)", k1D, true, options(0, true, true));
    EXPECT_NEAR(f.chanceRate, (4 + 9 * q + 16 * q) / 30 * 100, 1e-9);
    EXPECT_NEAR(*f.z, (4 - (4 + 25 * q)) / std::sqrt((81 + 256) * q * (1 - q)), 1e-12);
    EXPECT_NEAR(*f.p, 0.5 * std::erfc(*f.z / std::sqrt(2.0)), 1e-15);
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
// draw, on a history as drawn and on one published smallest first: the engine's figures equal the
// direct sums. The formulas include values of 0 and below, rows without a value, and windows whose
// first rows have no earlier value.
TEST(ChanceFigures, MatchDirectSumsEverywhere)
{
    QStringList codes = {"L1A+LT+3",   "0-L1A", "L1A-L2A", "6/(L1A-L2A)",
                         "L1A MOD LU", "0",     "7",       "(L1A MOD 4)-2"};
    codes << randomFormulas(6, 3);
    std::vector<CompiledFormula> compiled;
    for (const QString& c : codes)
        compiled.push_back(CompiledFormula::compile(c));
    std::vector<int> lookBacks;
    for (int i = 0; i < LookBackTable::kCount; ++i)
        lookBacks.push_back(LookBackTable::draws(i));
    for (bool ascending : {false, true}) {
        const HistoryColumns h(syntheticDraws(3100, 7, ascending));
        for (const FormulaKind& kind : FormulaKind::all())
            for (bool kill : {true, false})
                for (bool weighted : {true, false})
                    for (int w : lookBacks)
                        for (bool excl : {true, false}) {
                            // The sorted history is detected as such.
                            const BacktestOptions o = options(w, excl, weighted);
                            const BacktestResult r = BacktestEngine::run(h, compiled, kind, kill, o);
                            ASSERT_EQ(r.order, ascending ? DrawOrder::Ascending : DrawOrder::AsDrawn);
                            for (int i = 0; i < codes.size(); ++i)
                                expectNear(r.outcomes[i].chance,
                                           directSum(h, codes[i], kind, kill, o, ascending),
                                           QString("%1 %2 kill=%3 weighted=%4 W=%5 excl=%6 ascending=%7")
                                               .arg(codes[i], kind.code())
                                               .arg(kill)
                                               .arg(weighted)
                                               .arg(w)
                                               .arg(excl)
                                               .arg(ascending)
                                               .toStdString());
                        }
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

// On a long random history, formulas have no skill: about 5 % of them show p < 0.05 by luck, for
// every kind, whether the numbers are published as drawn or smallest first. (Read as drawn, a
// sorted history made a fifth of 个位单选's random formulas "significant".)
TEST(ChanceFigures, RandomFormulasAreSignificantAboutFivePerCentOfTheTime)
{
    const QStringList codes = randomFormulas(2000, 11);
    std::vector<CompiledFormula> compiled;
    for (const QString& c : codes)
        compiled.push_back(CompiledFormula::compile(c));
    for (bool ascending : {false, true}) {
        const HistoryColumns h(syntheticDraws(30000, 2024, ascending));
        for (const FormulaKind& kind : FormulaKind::all())
            for (bool weighted : {false, true}) {
                // Sorted: the default weighting for every kind, unweighted (the exact tail or the
                // corrected normal tail) for three. As drawn, where every number has the same
                // chance, 个位单选 both ways.
                if (ascending ? !weighted && kind.position == 2 : !(kind == FormulaKind{1, true}))
                    continue;
                BacktestOptions o = options(0, true, weighted);
                o.threads = 2;
                const BacktestResult r = BacktestEngine::run(h, compiled, kind, true, o);
                int significant = 0;
                for (const FormulaOutcome& out : r.outcomes) {
                    ASSERT_TRUE(out.chance.p.has_value());
                    significant += *out.chance.p < 0.05 ? 1 : 0;
                }
                const double share = significant / 2000.0;
                const std::string where = QString("%1 weighted %2 ascending %3")
                                              .arg(kind.code())
                                              .arg(weighted)
                                              .arg(ascending)
                                              .toStdString();
                EXPECT_GE(share, 0.02) << where;
                EXPECT_LE(share, 0.09) << where;
                std::printf("share of p<0.05 among 2000 random formulas (%s): %.4f\n", where.c_str(), share);
                const ChanceSummary summary = ChanceSummary::of(r.outcomes);
                EXPECT_EQ(summary.formulas, 2000);
                EXPECT_EQ(summary.significant, significant);
            }
    }
}

// Constant formulas predict the same number on every draw: on fair dice each stays within three
// standard errors of its chance, for every kind, sense and order, though on sorted draws 个位 is 1
// in 1 of 216 draws and 6 in 91.
TEST(ChanceFigures, ConstantFormulasStayWithinChance)
{
    std::vector<CompiledFormula> constants;
    for (int v = 1; v <= 6; ++v)
        constants.push_back(CompiledFormula::compile(QString::number(v)));
    for (bool ascending : {false, true}) {
        const HistoryColumns h(syntheticDraws(20000, 99, ascending));
        for (const FormulaKind& kind : FormulaKind::all())
            for (bool kill : {true, false}) {
                const BacktestResult r =
                    BacktestEngine::run(h, constants, kind, kill, options(0, true, false));
                for (int v = 1; v <= 6; ++v) {
                    const ChanceFigures& c = r.outcomes[std::size_t(v - 1)].chance;
                    const double q = countedChance(kind, kill, ascending, v);
                    EXPECT_NEAR(c.chanceRate, 100 * q, 1e-9);
                    const double standardError = 100 * std::sqrt(q * (1 - q) / c.tested);
                    EXPECT_LE(std::abs(c.excess), 3 * standardError)
                        << kind.code().toStdString() << " kill " << kill << " ascending " << ascending
                        << " v " << v;
                }
            }
    }
}

// The summary's verdict rests on the corrected q values: formulas built of the same few parameters
// move together, so many of them turn "significant" at once by luck, yet on random draws the
// summary still says that nothing beats chance.
TEST(ChanceSummary, FormulasMovingTogetherDoNotFoolTheVerdict)
{
    int noDifference = 0;
    for (unsigned seed = 1; seed <= 20; ++seed) {
        std::mt19937 rng(seed);
        // Every formula draws its three terms from the same eight parameters.
        QStringList codes;
        for (int i = 0; i < 2000; ++i) {
            QString c;
            for (int t = 0; t < 3; ++t)
                c += ParameterTable::code(int(rng() % 8)) + '+';
            codes << c + QString::number(rng() % 6);
        }
        std::vector<CompiledFormula> compiled;
        for (const QString& c : codes)
            compiled.push_back(CompiledFormula::compile(c));
        const HistoryColumns h(syntheticDraws(1000, 1000 + seed, seed % 2 == 0));
        const BacktestResult r = BacktestEngine::run(h, compiled, k1D, true, options(300, true, true));
        noDifference += ChanceSummary::of(r.outcomes).text().contains(QStringLiteral("与随机无明显差别"));
    }
    EXPECT_GE(noDifference, 19);
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

TEST(ChanceSummary, VerdictByCorrectedQValues)
{
    auto outcome = [](double rate, double chance, std::optional<double> p) {
        FormulaOutcome o;
        o.valid = true;
        o.stats.rate = float(rate);
        o.chance.chanceRate = chance;
        o.chance.p = p;
        return o;
    };
    // 100 formulas, 5 below 0.05: what luck gives, and none survives the correction.
    std::vector<FormulaOutcome> outcomes;
    for (int i = 0; i < 100; ++i)
        outcomes.push_back(outcome(84, 83.3333, i < 5 ? 0.01 : 0.5));
    outcomes.push_back(outcome(0, 0, std::nullopt)); // no p: not counted
    BacktestEngine::adjustForMultipleComparisons(&outcomes);
    EXPECT_FALSE(outcomes.back().q.has_value());
    ChanceSummary s = ChanceSummary::of(outcomes);
    EXPECT_EQ(s.formulas, 100);
    EXPECT_EQ(s.significant, 5);
    EXPECT_EQ(s.adjustedSignificant, 0);
    EXPECT_FALSE(s.clearlyAboveChance());
    EXPECT_EQ(s.text(),
              QStringLiteral("本类 100 条公式：平均正确率 84.00%，机会率 83.33%；p<0.05 的有 5 条，"
                             "纯属运气时约有 5 条；校正多重比较后仍显著的有 0 条，与随机无明显差别"));
    // Two formulas far beyond luck: m c(m) p / rank = 100 × 5.187 × 1e-5 / 1 < 0.05.
    outcomes[0].chance.p = 1e-5;
    outcomes[1].chance.p = 2e-5;
    BacktestEngine::adjustForMultipleComparisons(&outcomes);
    s = ChanceSummary::of(outcomes);
    EXPECT_EQ(s.adjustedSignificant, 2);
    EXPECT_TRUE(s.clearlyAboveChance());
    EXPECT_EQ(s.text(), QStringLiteral("本类 100 条公式：平均正确率 84.00%，机会率 83.33%；p<0.05 的有 5 条，"
                                       "纯属运气时约有 5 条；校正多重比较后仍显著的有 2 条"));
    // With a hold-out: how many of the two are right above chance on the held-out draws as well.
    for (FormulaOutcome& o : outcomes) {
        o.holdOut.tested = 50;
        o.holdOut.hits = 42;
        o.holdOut.chanceRate = 83.3333;
        o.holdOut.p = 0.4;
    }
    outcomes[1].holdOut.p = 0.01;
    EXPECT_TRUE(ChanceSummary::of(outcomes).text().contains(
        QStringLiteral("仍显著的有 2 条，其中留出期也高于机会的有 1 条；留出期：")));
    // 37 formulas: M = 1.85 is written as a whole number.
    outcomes.resize(37);
    EXPECT_TRUE(ChanceSummary::of(outcomes).text().contains(QStringLiteral("纯属运气时约有 2 条")));
    EXPECT_EQ(ChanceSummary::of({}).text(), QStringLiteral("本类没有可以和机会率比较的公式"));
}
