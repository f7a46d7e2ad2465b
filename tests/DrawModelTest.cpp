#include "history/DrawModel.h"
#include "SyntheticHistory.h"
#include "history/DrawFairness.h"
#include "history/HistoryColumns.h"
#include "history/Probability.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>

namespace {

// The share of the 216 throws whose positions in `mask`, read sorted when `ascending`, show v.
double countedIn(bool ascending, int mask, int v)
{
    int n = 0;
    for (int a = 1; a <= 6; ++a)
        for (int b = 1; b <= 6; ++b)
            for (int c = 1; c <= 6; ++c) {
                std::array<int, 3> d{a, b, c};
                if (ascending)
                    std::sort(d.begin(), d.end());
                bool in = false;
                for (int p = 0; p < 3; ++p)
                    in = in || ((mask >> p) & 1 && d[std::size_t(p)] == v);
                n += in;
            }
    return n / 216.0;
}

std::vector<std::array<int, 3>> ascendingDraws(int count, int unsortedEvery)
{
    std::vector<std::array<int, 3>> d(std::size_t(count), {1, 2, 3});
    for (int i = 0; i < count; ++i)
        if (unsortedEvery > 0 && i % unsortedEvery == 0)
            d[std::size_t(i)] = {5, 2, 1};
    return d;
}

} // namespace

// Every set of positions, number and order against a direct count; the figures the guide quotes.
TEST(DrawModel, ChancesAgainstDirectCount)
{
    for (DrawOrder order : {DrawOrder::AsDrawn, DrawOrder::Ascending}) {
        const DrawModel& m = DrawModel::of(order);
        const bool ascending = order == DrawOrder::Ascending;
        for (int mask = 1; mask < 8; ++mask) {
            bool uniform = true;
            for (int v = 1; v <= 6; ++v) {
                EXPECT_DOUBLE_EQ(m.inChance(mask, v), countedIn(ascending, mask, v)) << mask << ' ' << v;
                EXPECT_DOUBLE_EQ(m.inChance(mask, v) + m.outChance(mask, v), 1.0);
                uniform = uniform && countedIn(ascending, mask, v) == countedIn(ascending, mask, 1);
                for (int u = 1; u <= 6; ++u) {
                    // Both absent: 1 − P(u in) − P(v in) + P(both in), counted directly.
                    int both = 0;
                    for (int a = 1; a <= 6; ++a)
                        for (int b = 1; b <= 6; ++b)
                            for (int c = 1; c <= 6; ++c) {
                                std::array<int, 3> d{a, b, c};
                                if (ascending)
                                    std::sort(d.begin(), d.end());
                                bool uIn = false, vIn = false;
                                for (int p = 0; p < 3; ++p)
                                    if ((mask >> p) & 1) {
                                        uIn = uIn || d[std::size_t(p)] == u;
                                        vIn = vIn || d[std::size_t(p)] == v;
                                    }
                                both += !uIn && !vIn;
                            }
                    EXPECT_DOUBLE_EQ(m.bothOutChance(mask, u, v), both / 216.0);
                }
            }
            EXPECT_EQ(m.isUniform(mask), uniform) << mask;
        }
        EXPECT_TRUE(m.isUniform(7)); // 百位通选 compares all three: 91/216 for every number
        for (int v = 1; v <= 6; ++v)
            EXPECT_DOUBLE_EQ(m.inChance(7, v), 91.0 / 216);
    }
    // As drawn every number has 1 − (5/6)^k; ascending 个位 shows v in (v³ − (v − 1)³) of 216.
    const DrawModel& drawn = DrawModel::of(DrawOrder::AsDrawn);
    EXPECT_DOUBLE_EQ(drawn.outChance(4, 3), 5.0 / 6);
    EXPECT_NEAR(drawn.outChance(6, 3), 25.0 / 36, 1e-15);
    const DrawModel& sorted = DrawModel::of(DrawOrder::Ascending);
    const int units[] = {1, 7, 19, 37, 61, 91};
    for (int v = 1; v <= 6; ++v) {
        EXPECT_DOUBLE_EQ(sorted.inChance(4, v), units[v - 1] / 216.0);
        EXPECT_DOUBLE_EQ(sorted.inChance(1, 7 - v), units[v - 1] / 216.0); // 百位 mirrors 个位
    }
    EXPECT_FALSE(sorted.isUniform(4));
    EXPECT_TRUE(drawn.isUniform(4));
    EXPECT_EQ(drawn.outcomes().size(), 216u);
    EXPECT_EQ(sorted.outcomes().size(), 56u);
    int throws = 0;
    for (const DrawModel::Outcome& o : sorted.outcomes())
        throws += o.throws;
    EXPECT_EQ(throws, 216);
    EXPECT_EQ(DrawModel::maskOf({0, 1, 2}), 7);
    EXPECT_EQ(DrawModel::maskOf({2}), 4);
}

// Ascending takes 20 stored draws of which 95 % are sorted; the setting overrides the detection.
TEST(DrawModel, DetectionAndSetting)
{
    EXPECT_EQ(DrawModel::detect(19, 19), DrawOrder::AsDrawn);
    EXPECT_EQ(DrawModel::detect(20, 20), DrawOrder::Ascending);
    EXPECT_EQ(DrawModel::detect(100, 95), DrawOrder::Ascending);
    EXPECT_EQ(DrawModel::detect(100, 94), DrawOrder::AsDrawn);
    EXPECT_EQ(DrawModel::detect(0, 0), DrawOrder::AsDrawn);

    const HistoryColumns sorted(drawsWithNumbers(ascendingDraws(100, 20))); // 5 unsorted of 100
    const HistoryColumns mixed(drawsWithNumbers(ascendingDraws(100, 16)));  // 7 unsorted of 100
    EXPECT_EQ(DrawModel::read(sorted, PublicationOrder::Detect).order, DrawOrder::Ascending);
    EXPECT_EQ(DrawModel::read(mixed, PublicationOrder::Detect).order, DrawOrder::AsDrawn);
    EXPECT_EQ(DrawModel::read(mixed, PublicationOrder::Ascending).order, DrawOrder::Ascending);
    EXPECT_EQ(DrawModel::read(sorted, PublicationOrder::AsDrawn).order, DrawOrder::AsDrawn);
    // A prefix reports the whole history's order.
    const HistoryColumns prefix = sorted.firstDraws(10);
    EXPECT_EQ(DrawModel::read(prefix, PublicationOrder::Detect).order, DrawOrder::Ascending);
    // The draws and the columns agree.
    EXPECT_EQ(
        DrawModel::read(drawsWithNumbers(ascendingDraws(100, 20)), PublicationOrder::Detect).ascendingDraws,
        95);

    const DrawOrderReading r = DrawModel::read(sorted, PublicationOrder::Detect);
    EXPECT_EQ(r.text(), QStringLiteral("已存 100 期中 95% 从小到大排列，按从小到大计算机会"));
    EXPECT_EQ(r.chanceLine(), QStringLiteral("机会按从小到大排列的开奖号码计算"));
    EXPECT_EQ(DrawModel::read(sorted, PublicationOrder::AsDrawn).text(),
              QStringLiteral("已存 100 期中 95% 从小到大排列，按开出顺序计算机会（设置中指定）"));
    PublicationOrder o = PublicationOrder::Detect;
    EXPECT_TRUE(DrawModel::parseOrderWord("drawn", &o));
    EXPECT_EQ(o, PublicationOrder::AsDrawn);
    EXPECT_FALSE(DrawModel::parseOrderWord("sorted", &o));
}

TEST(Probability, TailsAgainstDirectSums)
{
    auto direct = [](int n, double q, int k) {
        double sum = 0;
        for (int i = std::max(k, 0); i <= n; ++i)
            sum += std::exp(std::lgamma(n + 1.0) - std::lgamma(i + 1.0) - std::lgamma(n - i + 1.0) +
                            i * std::log(q) + (n - i) * std::log1p(-q));
        return std::min(1.0, sum);
    };
    for (int n : {1, 3, 10, 300, 3000})
        for (double q : {0.05, 1.0 / 6, 0.5, 0.8333, 91.0 / 216})
            for (int k : {0, 1, n / 10, int(n * q), int(n * q) + 1, n - 1, n})
                EXPECT_NEAR(Probability::binomialUpperTail(n, q, k), direct(n, q, k),
                            1e-12 + 1e-9 * direct(n, q, k))
                    << n << ' ' << q << ' ' << k;
    EXPECT_DOUBLE_EQ(Probability::binomialUpperTail(10, 0.05, 11), 0.0);
    EXPECT_NEAR(Probability::binomialUpperTail(32767, 0.05, 1638), 0.5, 0.02);
    // The cases: all 10 of 10 at 5/6 is 0.1615; 61 of 300 at 1/6 is 0.055.
    EXPECT_NEAR(Probability::binomialUpperTail(10, 5.0 / 6, 10), std::pow(5.0 / 6, 10), 1e-15);
    EXPECT_NEAR(Probability::binomialUpperTail(300, 1.0 / 6, 61), 0.055, 0.001);

    // Chi-square: P(X ≥ x) for 2 degrees is exp(−x/2); the 95 % points of 15 and 55 degrees.
    for (double x : {0.1, 1.0, 5.0, 30.0})
        EXPECT_NEAR(Probability::chiSquareUpperTail(x, 2), std::exp(-x / 2), 1e-13);
    EXPECT_NEAR(Probability::chiSquareUpperTail(24.9958, 15), 0.05, 1e-5);
    EXPECT_NEAR(Probability::chiSquareUpperTail(73.3115, 55), 0.05, 1e-5);
    EXPECT_DOUBLE_EQ(Probability::chiSquareUpperTail(0, 15), 1.0);
}

TEST(Probability, BenjaminiYekutieliAgainstDefinition)
{
    std::mt19937 rng(3);
    std::vector<double> p(50);
    for (double& v : p)
        v = std::pow(std::uniform_real_distribution<double>(0, 1)(rng), 3);
    const std::vector<double> q = Probability::benjaminiYekutieli(p);
    const double m = double(p.size());
    double c = 0;
    for (int i = 1; i <= int(p.size()); ++i)
        c += 1.0 / i;
    for (std::size_t i = 0; i < p.size(); ++i) {
        // q_i = min over every p_j ≥ p_i of m c(m) p_j / rank(p_j), capped at 1.
        double want = 1;
        for (std::size_t j = 0; j < p.size(); ++j) {
            if (p[j] < p[i])
                continue;
            const auto rank = std::count_if(p.begin(), p.end(), [&](double x) { return x <= p[j]; });
            want = std::min(want, m * c * p[j] / double(rank));
        }
        EXPECT_NEAR(q[i], want, 1e-12);
        EXPECT_GE(q[i], p[i]);
    }
    EXPECT_TRUE(Probability::benjaminiYekutieli({}).empty());
}

// A hand-made table: 60 draws as drawn with each position's numbers in a known count.
TEST(DrawFairness, StatisticAgainstHandMadeTable)
{
    std::vector<std::array<int, 3>> d;
    // 百位 shows 1 twenty times and 2..6 eight times each; 十位 and 个位 each number ten times.
    for (int i = 0; i < 60; ++i) {
        const int hundreds = i < 20 ? 1 : 2 + (i - 20) % 5;
        d.push_back({hundreds, i % 6 + 1, (i + 3) % 6 + 1});
    }
    const HistoryColumns h(drawsWithNumbers(d));
    const DrawFairness f = DrawFairness::of(h, DrawModel::of(DrawOrder::AsDrawn));
    ASSERT_EQ(f.cells.size(), 18u);
    EXPECT_EQ(f.cells[0].label, QStringLiteral("百位1"));
    EXPECT_EQ(f.cells[0].observed, 20);
    EXPECT_DOUBLE_EQ(f.cells[0].expected, 10);
    // (20 − 10)² / 10 + 5 × (8 − 10)² / 10 = 10 + 2 = 12; the other cells match exactly.
    EXPECT_NEAR(f.chiSquare, 12.0, 1e-12);
    EXPECT_EQ(f.degrees, 15);
    EXPECT_NEAR(f.p, Probability::chiSquareUpperTail(12.0, 15), 1e-15);
    EXPECT_TRUE(f.fits());
    EXPECT_EQ(f.text(), QStringLiteral("近 60 期与公平骰子相符：χ²=12.0, p=%1").arg(f.p, 0, 'f', 3));
    // The newest 30 draws only.
    EXPECT_EQ(DrawFairness::of(h, DrawModel::of(DrawOrder::AsDrawn), 30).draws, 30);

    // Read as ascending, an unsorted draw cannot be published: the history does not fit.
    const DrawFairness wrong = DrawFairness::of(h, DrawModel::of(DrawOrder::Ascending));
    EXPECT_EQ(wrong.cells.size(), 56u);
    EXPECT_GT(wrong.unmatched, 0);
    EXPECT_FALSE(wrong.fits());
}

// Sorted fair dice fit the ascending model and not the as-drawn one, and the other way round.
TEST(DrawFairness, SortedAndDrawnHistories)
{
    const HistoryColumns sorted(syntheticDraws(5000, 4, true));
    const HistoryColumns drawn(syntheticDraws(5000, 4, false));
    EXPECT_TRUE(DrawFairness::of(sorted, DrawModel::of(DrawOrder::Ascending)).fits());
    EXPECT_TRUE(DrawFairness::of(drawn, DrawModel::of(DrawOrder::AsDrawn)).fits());
    const DrawFairness misread = DrawFairness::of(sorted, DrawModel::of(DrawOrder::AsDrawn));
    EXPECT_FALSE(misread.fits());
    EXPECT_TRUE(misread.text().startsWith(QStringLiteral("近 5000 期与公平骰子不符（p<0.001）")));
    EXPECT_EQ(DrawFairness::of(HistoryColumns(), DrawModel::of(DrawOrder::AsDrawn)).text(),
              QStringLiteral("还没有开奖号码，无法检验骰子是否公平"));
}
