#include "SyntheticHistory.h"

#include "charts/FormulaTrend.h"
#include "charts/NumberTrend.h"
#include "charts/ReplayTrend.h"
#include "formula/CompiledFormula.h"
#include "formula/FormulaArithmetic.h"
#include "formula/FormulaRecord.h"
#include "history/HistoryColumns.h"
#include "killkeep/CalculationReplay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

namespace {

// Fourteen draws whose numbers are easy to follow; the 和数 is their sum.
std::vector<DrawRecord> smallHistory()
{
    return drawsWithNumbers({{1, 2, 3},
                             {4, 5, 6},
                             {6, 6, 6},
                             {1, 1, 2},
                             {3, 5, 2},
                             {2, 2, 2},
                             {5, 1, 4},
                             {6, 3, 1},
                             {4, 4, 5},
                             {1, 6, 3},
                             {2, 3, 4},
                             {5, 5, 1},
                             {3, 1, 6},
                             {6, 2, 5}});
}

// drawsWithNumbers sets only the numbers: fill in the 和数 the way a stored draw has it.
std::vector<DrawRecord> withSums(std::vector<DrawRecord> draws)
{
    const int sum = ParameterTable::column("LH");
    for (DrawRecord& d : draws)
        d.values[sum] = static_cast<int16_t>(d.number(1) + d.number(2) + d.number(3));
    return draws;
}

QStringList issuesOf(const std::vector<DrawRecord>& draws)
{
    QStringList out;
    for (const DrawRecord& d : draws)
        out << d.issue;
    return out;
}

} // namespace

TEST(NumberTrendTest, TheNewestDrawsTheirNumbersSumsAndCountsAgainstChance)
{
    const std::vector<DrawRecord> draws = withSums(smallHistory());
    const NumberTrend t = NumberTrend::of(draws, 10);
    ASSERT_TRUE(t.isDrawable());
    ASSERT_EQ(t.drawCount(), 10);
    // Oldest first, ending with the newest draw.
    EXPECT_EQ(t.issues.first(), draws[4].issue);
    EXPECT_EQ(t.issues.last(), draws[13].issue);
    int counts[3][6] = {};
    for (int i = 0; i < 10; ++i) {
        const DrawRecord& d = draws[4 + i];
        EXPECT_EQ(t.numbers[0][i], d.number(1)) << i; // 百位
        EXPECT_EQ(t.numbers[1][i], d.number(2)) << i; // 十位
        EXPECT_EQ(t.numbers[2][i], d.number(3)) << i; // 个位
        EXPECT_EQ(t.sums[i], d.number(1) + d.number(2) + d.number(3)) << i;
        for (int p = 0; p < 3; ++p)
            ++counts[p][d.number(p + 1) - 1];
    }
    for (int p = 0; p < 3; ++p)
        for (int n = 0; n < 6; ++n)
            EXPECT_EQ(t.counts[p][n], counts[p][n]) << p << ' ' << n;
    EXPECT_DOUBLE_EQ(t.expectedCount, 10 / 6.0);
    // 百位 over draws 5..14: 3 2 5 6 4 1 2 5 3 6.
    EXPECT_EQ(
        t.countText(5),
        QStringLiteral("号码 5 最近 10 期出现：百位 2 次，十位 2 次，个位 2 次（纯属运气时各约 1.7 次）"));
    EXPECT_EQ(t.drawText(9),
              QStringLiteral("第 %1 期：百位 6，十位 2，个位 5，和数 13").arg(draws[13].issue));
    EXPECT_TRUE(t.drawText(10).isEmpty());
}

TEST(NumberTrendTest, NIsHeldBetweenTenAndTheWholeHistoryAndTwoDrawsAreNeeded)
{
    const std::vector<DrawRecord> draws = withSums(smallHistory());
    EXPECT_EQ(NumberTrend::of(draws, 3).drawCount(), 10);
    EXPECT_EQ(NumberTrend::of(draws, 1000).drawCount(), 14);
    EXPECT_EQ(NumberTrend::of(draws, NumberTrend::kDefaultDraws).drawCount(), 14);
    // A history shorter than ten is drawn whole.
    const std::vector<DrawRecord> five(draws.begin(), draws.begin() + 5);
    EXPECT_EQ(NumberTrend::of(five, 100).drawCount(), 5);
    EXPECT_DOUBLE_EQ(NumberTrend::of(five, 100).expectedCount, 5 / 6.0);
    // Fewer than two draws: nothing to draw, and a sentence that says what is needed.
    for (int n : {0, 1}) {
        const NumberTrend t = NumberTrend::of(std::vector<DrawRecord>(draws.begin(), draws.begin() + n), 100);
        EXPECT_FALSE(t.isDrawable());
        EXPECT_EQ(t.drawCount(), 0);
        EXPECT_TRUE(t.requirement.contains(QStringLiteral("两期"))) << t.requirement.toStdString();
    }
}

namespace {

// The rolling figures straight from their definition, draw by draw: the prediction in force on a
// draw is ((v − 1) MOD 6) + 1 of the newest earlier value; kill is right when no compared number
// equals it, keep when one does; q is the chance of being right on a fair draw.
struct DirectPoint
{
    int row;
    double rate, chance, lower, upper;
    bool hit;
};

// The share of the 216 throws, read sorted when `ascending`, in which the kind's positions show p.
double shareShowing(const FormulaKind& kind, bool ascending, int p)
{
    int shows = 0;
    for (int t = 0; t < 216; ++t) {
        std::array<int, 3> d{t / 36 + 1, t / 6 % 6 + 1, t % 6 + 1};
        if (ascending)
            std::sort(d.begin(), d.end());
        bool in = false;
        for (int c : kind.checkedColumns())
            in = in || d[std::size_t(c)] == p;
        shows += in;
    }
    return shows / 216.0;
}

std::vector<DirectPoint> directRolling(const std::vector<DrawRecord>& draws, const QString& code,
                                       const FormulaKind& kind, bool kill, int m, bool ascending)
{
    const HistoryColumns h(draws);
    const CompiledFormula f = CompiledFormula::compile(code);
    const int n = h.drawCount();
    std::vector<bool> hit(n, false);
    std::vector<double> q(n, 0.0);
    std::optional<int> inForce;
    for (int r = 0; r < n; ++r) {
        if (r >= 1 && inForce) {
            const int p = *inForce;
            bool drawn = false;
            for (int c : kind.checkedColumns())
                drawn = drawn || h.value(c, r) == p;
            hit[r] = kill ? !drawn : drawn;
            q[r] = p >= 1 ? (kill ? 1 - shareShowing(kind, ascending, p) : shareShowing(kind, ascending, p))
                          : (kill ? 1.0 : 0.0);
        }
        int v = 0;
        if (FormulaArithmetic::toInt32(f.evaluateRow(h, r), &v))
            inForce = int(((v - 1LL) % 6) + 1);
    }
    std::vector<DirectPoint> out;
    for (int r = m; r < n; ++r) {
        double hits = 0, chance = 0, variance = 0;
        for (int j = r - m + 1; j <= r; ++j) {
            hits += hit[j];
            chance += q[j];
            variance += q[j] * (1 - q[j]);
        }
        const double e = 100 * chance / m, half = 100 * 1.96 * std::sqrt(variance) / m;
        out.push_back({r, 100 * hits / m, e, std::max(0.0, e - half), std::min(100.0, e + half), hit[r]});
    }
    return out;
}

void expectSameAsDirect(const std::vector<DrawRecord>& draws, const QString& code, const FormulaKind& kind,
                        bool kill, int m, bool ascending = false)
{
    SCOPED_TRACE(code.toStdString() + " " + kind.code().toStdString() + (kill ? " kill" : " keep"));
    const FormulaTrend t =
        FormulaTrend::of(HistoryColumns(draws), issuesOf(draws), CompiledFormula::compile(code), kind, kill,
                         m, 0, DrawModel::of(ascending ? DrawOrder::Ascending : DrawOrder::AsDrawn));
    ASSERT_TRUE(t.isDrawable()) << t.requirement.toStdString();
    EXPECT_EQ(t.window, m);
    const std::vector<DirectPoint> expected = directRolling(draws, code, kind, kill, m, ascending);
    ASSERT_EQ(t.pointCount(), int(expected.size()));
    std::vector<int> misses;
    for (int i = 0; i < t.pointCount(); ++i) {
        const DirectPoint& d = expected[i];
        EXPECT_EQ(t.rows[i], d.row);
        EXPECT_EQ(t.issues[i], draws[d.row].issue);
        EXPECT_NEAR(t.rate[i], d.rate, 1e-9) << i;
        EXPECT_NEAR(t.chanceRate[i], d.chance, 1e-9) << i;
        EXPECT_NEAR(t.bandLower[i], d.lower, 1e-9) << i;
        EXPECT_NEAR(t.bandUpper[i], d.upper, 1e-9) << i;
        EXPECT_EQ(t.hit[i], d.hit) << i;
        if (!d.hit)
            misses.push_back(i);
    }
    EXPECT_EQ(t.misses, misses);
}

} // namespace

TEST(FormulaTrendTest, RollingRateChanceRateAndBandEqualADirectCount)
{
    const std::vector<DrawRecord> draws = syntheticDraws(120, 11);
    // Predictions in 1..6 only; predictions of 0 and below (L1A−L2A runs −5..5); a value missing on
    // some draws, the one before it staying in force (division by L1A−L2A).
    for (const QString& code :
         {QStringLiteral("L1A+L2A+1"), QStringLiteral("L1A-L2A"), QStringLiteral("12/(L1A-L2A)")}) {
        for (const FormulaKind& kind : FormulaKind::all()) {
            expectSameAsDirect(draws, code, kind, true, 10);
            expectSameAsDirect(draws, code, kind, false, 25);
        }
    }
}

// Published smallest first, a prediction's chance depends on the number predicted: 个位 is 6 in 91
// of 216 draws and 1 in 1, and the chance rate and band follow.
TEST(FormulaTrendTest, SortedDrawsTakeTheChanceOfEachNumberPredicted)
{
    const std::vector<DrawRecord> draws = syntheticDraws(150, 12, true);
    for (const QString& code : {QStringLiteral("L1A+L2A+1"), QStringLiteral("L1A-L2A"), QStringLiteral("6")})
        for (const FormulaKind& kind : FormulaKind::all()) {
            expectSameAsDirect(draws, code, kind, true, 20, true);
            expectSameAsDirect(draws, code, kind, false, 30, true);
        }
    // The constant 6 of 个位单选杀: right unless 个位 is 6, so by chance 125/216 of the time.
    const FormulaTrend t =
        FormulaTrend::of(HistoryColumns(draws), issuesOf(draws), CompiledFormula::compile("6"), {1, true},
                         true, 20, 0, DrawModel::of(DrawOrder::Ascending));
    EXPECT_NEAR(t.chanceRate.back(), 100.0 * 125 / 216, 1e-9);
}

TEST(NumberTrendTest, SortedDrawsExpectEachPositionsOwnCounts)
{
    const std::vector<DrawRecord> draws = syntheticDraws(216, 3, true);
    const NumberTrend t = NumberTrend::of(draws, 216, DrawModel::of(DrawOrder::Ascending));
    EXPECT_FALSE(t.uniformExpectation);
    // 216 draws: 百位 expects 1 in 91 of them and 6 in 1; 个位 the other way round; 十位 is
    // symmetric, 3 and 4 the most common.
    EXPECT_NEAR(t.expected[0][0], 91, 1e-9);
    EXPECT_NEAR(t.expected[0][5], 1, 1e-9);
    EXPECT_NEAR(t.expected[2][5], 91, 1e-9);
    EXPECT_NEAR(t.expected[1][2], t.expected[1][3], 1e-9);
    EXPECT_GT(t.expected[1][2], t.expected[1][0]);
    EXPECT_TRUE(t.countText(1).contains(QStringLiteral("纯属运气时约为 91.0、")));
    EXPECT_TRUE(t.fairnessText.startsWith(QStringLiteral("近 216 期与公平骰子相符")))
        << t.fairnessText.toStdString();
    // Read as drawn, the same sorted draws are far from fair dice.
    const NumberTrend misread = NumberTrend::of(draws, 216);
    EXPECT_TRUE(misread.uniformExpectation);
    EXPECT_TRUE(misread.fairnessText.contains(QStringLiteral("不符"))) << misread.fairnessText.toStdString();
}

TEST(FormulaTrendTest, AFormulaWithoutAnyValueMissesEveryDrawAndHasNoChance)
{
    const std::vector<DrawRecord> draws = syntheticDraws(30, 3);
    const FormulaTrend t = FormulaTrend::of(HistoryColumns(draws), issuesOf(draws),
                                            CompiledFormula::compile(QStringLiteral("L1A/(L2A-L2A)")),
                                            FormulaKind{1, true}, true, 10);
    ASSERT_TRUE(t.isDrawable());
    ASSERT_EQ(t.pointCount(), 20);
    EXPECT_EQ(int(t.misses.size()), 20);
    for (int i = 0; i < t.pointCount(); ++i) {
        EXPECT_EQ(t.rate[i], 0);
        EXPECT_EQ(t.chanceRate[i], 0);
        EXPECT_EQ(t.bandLower[i], 0);
        EXPECT_EQ(t.bandUpper[i], 0);
    }
}

TEST(FormulaTrendTest, WindowAndShownPointsAreHeldToTheHistory)
{
    const std::vector<DrawRecord> draws = syntheticDraws(40, 5);
    const HistoryColumns h(draws);
    const CompiledFormula f = CompiledFormula::compile(QStringLiteral("LH+2"));
    const FormulaKind kind{2, false};
    auto trend = [&](int m, int last, int drawCount = 40) {
        const std::vector<DrawRecord> part(draws.begin(), draws.begin() + drawCount);
        return FormulaTrend::of(HistoryColumns(part), issuesOf(part), f, kind, true, m, last);
    };
    EXPECT_EQ(trend(3, 0).window, 10);   // at least ten
    EXPECT_EQ(trend(500, 0).window, 39); // at most the scored draws: one point
    EXPECT_EQ(trend(500, 0).pointCount(), 1);
    EXPECT_EQ(trend(100, 0, 6).window, 5); // a short history: all its scored draws
    // The newest points only: the same values as the whole chart's last ones.
    const FormulaTrend whole = trend(10, 0), last5 = trend(10, 5);
    ASSERT_EQ(whole.pointCount(), 30);
    ASSERT_EQ(last5.pointCount(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(last5.rows[i], whole.rows[25 + i]);
        EXPECT_EQ(last5.rate[i], whole.rate[25 + i]);
        EXPECT_EQ(last5.bandUpper[i], whole.bandUpper[25 + i]);
    }
    EXPECT_EQ(last5.issues.last(), draws.back().issue);
    // More points asked for than exist: all of them.
    EXPECT_EQ(trend(10, 1000).pointCount(), 30);

    EXPECT_EQ(FormulaTrend::defaultWindow(300), 300);
    EXPECT_EQ(FormulaTrend::defaultWindow(0), FormulaTrend::kWindowWhenAllDraws);
    EXPECT_EQ(FormulaTrend::defaultWindow(5), 10);
}

TEST(FormulaTrendTest, WhatCannotBeDrawnSaysWhatItNeeds)
{
    const std::vector<DrawRecord> draws = syntheticDraws(20, 1);
    const std::vector<DrawRecord> one(draws.begin(), draws.begin() + 1);
    const FormulaTrend tooShort =
        FormulaTrend::of(HistoryColumns(one), issuesOf(one), CompiledFormula::compile(QStringLiteral("L1A")),
                         {1, true}, true, 10);
    EXPECT_FALSE(tooShort.isDrawable());
    EXPECT_TRUE(tooShort.requirement.contains(QStringLiteral("两期")));
    const FormulaTrend invalid =
        FormulaTrend::of(HistoryColumns(draws), issuesOf(draws),
                         CompiledFormula::compile(QStringLiteral("L1A+QQ")), {1, true}, true, 10);
    EXPECT_FALSE(invalid.isDrawable());
    EXPECT_TRUE(invalid.requirement.contains(QStringLiteral("无法计算")));
    EXPECT_FALSE(FormulaTrend::noFormula().isDrawable());
    EXPECT_TRUE(FormulaTrend::noFormula().requirement.contains(QStringLiteral("查看该公式走势图")));
}

TEST(FormulaTrendTest, HoverTextAndTitleNameTheExactFigures)
{
    const std::vector<DrawRecord> draws = syntheticDraws(30, 9);
    FormulaTrend t = FormulaTrend::of(HistoryColumns(draws), issuesOf(draws),
                                      CompiledFormula::compile(QStringLiteral("L1A+1")), {1, true}, true, 12);
    ASSERT_TRUE(t.isDrawable());
    const int i = t.pointCount() - 1;
    EXPECT_EQ(t.pointText(i),
              QStringLiteral("第 %1 期：近 12 期正确率 %2%，机会率 83.33%（95% 运气范围 %3%–%4%），本期%5")
                  .arg(draws.back().issue)
                  .arg(t.rate[i], 0, 'f', 2)
                  .arg(t.bandLower[i], 0, 'f', 2)
                  .arg(t.bandUpper[i], 0, 'f', 2)
                  .arg(t.hit[i] ? QStringLiteral("对") : QStringLiteral("错")));
    EXPECT_TRUE(t.pointText(t.pointCount()).isEmpty());
    FormulaRecord f;
    f.idx = 3;
    f.gongshi = QStringLiteral("L1A+1");
    EXPECT_EQ(FormulaTrend::titleOf({2, false}, true, f), QStringLiteral("[十位通选杀] 第3条 L1A+1"));
    f.gongshiCN = QStringLiteral("百位码+1");
    EXPECT_EQ(FormulaTrend::titleOf({1, true}, false, f), QStringLiteral("[个位单选生] 第3条 百位码+1"));
    f.gongshiCN = QStringLiteral("[十位通选杀]百位码+1");
    EXPECT_EQ(FormulaTrend::titleOf({2, false}, true, f), QStringLiteral("[十位通选杀] 第3条 百位码+1"));
}

namespace {

// A replayed 通选 draw with one ranking: `killed` 滤杀 numbers in 1..6 of which `drawnKilled` came,
// the drawn number at `level`, and chance's figures for one drawn number.
ReplayDraw replayedDraw(int index, int killed, int drawnKilled, int level)
{
    ReplayRanking r;
    r.position = 2;
    for (int n = 1; n <= killed; ++n)
        r.killed.push_back(n);
    r.drawn = {1};
    r.levels = {level};
    r.killedDrawn = drawnKilled;
    r.expectedAbsent = killed * 5.0 / 6.0;
    r.expectedLevels.assign(6, 1.0 / 6.0);
    ReplayDraw d;
    d.issue = QStringLiteral("2601%1").arg(index, 3, 10, QLatin1Char('0'));
    d.killedCompared = killed;
    d.killedDrawn = drawnKilled;
    d.levels = r.levels;
    d.rankings.push_back(r);
    return d;
}

} // namespace

// 计算回测 is given the levels and, per block of 10 replayed draws, the share of right 滤杀 numbers
// beside the share chance gives the same 滤杀 numbers; a block without 滤杀 numbers is left out.
TEST(ReplayTrendTest, LevelsAndBlockSharesOfAReplay)
{
    CalculationRequest request;
    request.kind = {2, false};
    ReplayResult replay;
    replay.kind = request.kind;
    replay.kill = true;
    replay.bestMethod = true;
    std::array<int, 6> levels{};
    for (int i = 0; i < 27; ++i) {
        // Draws 10..19 kill nothing in 1..6; the others kill 1 to 3 numbers, drawn now and then.
        const int killed = i >= 10 && i < 20 ? 0 : 1 + i % 3;
        const int drawnKilled = killed > 0 && i % 4 == 0 ? 1 : 0;
        const int level = 1 + (i * 5) % 6;
        ++levels[std::size_t(level - 1)];
        replay.draws.push_back(replayedDraw(i, killed, drawnKilled, level));
    }
    replay.summary = CalculationReplay::summarize(replay.draws, request);

    const ReplayTrend t = ReplayTrend::of(replay);
    ASSERT_TRUE(t.isDrawable()) << t.requirement.toStdString();
    EXPECT_EQ(t.drawCount, 27);
    EXPECT_EQ(t.title, QStringLiteral("十位通选杀码 最优公式法 回测 27 期"));
    ASSERT_EQ(t.levelCount(), 6);
    for (int level = 1; level <= 6; ++level) {
        EXPECT_EQ(t.levelCounts[std::size_t(level - 1)], levels[std::size_t(level - 1)]) << level;
        EXPECT_NEAR(t.levelExpected[std::size_t(level - 1)], 27.0 / 6.0, 1e-9) << level;
    }
    // Blocks 0..9 and 20..26 (the short last one); 10..19 has nothing to rate.
    ASSERT_EQ(t.blockCount(), 2);
    const std::pair<int, int> spans[] = {{0, 10}, {20, 27}};
    int allCompared = 0, allRight = 0;
    double allExpected = 0;
    for (int b = 0; b < 2; ++b) {
        int compared = 0, right = 0;
        double expected = 0;
        for (int i = spans[b].first; i < spans[b].second; ++i) {
            const int killed = 1 + i % 3;
            compared += killed;
            right += killed - (i % 4 == 0 ? 1 : 0);
            expected += killed * 5.0 / 6.0;
        }
        const ReplayTrend::Block& block = t.blocks[std::size_t(b)];
        EXPECT_EQ(block.firstIssue, replay.draws[std::size_t(spans[b].first)].issue);
        EXPECT_EQ(block.lastIssue, replay.draws[std::size_t(spans[b].second - 1)].issue);
        EXPECT_EQ(block.draws, spans[b].second - spans[b].first);
        EXPECT_EQ(block.compared, compared);
        EXPECT_EQ(block.right, right);
        EXPECT_NEAR(block.share, 100.0 * right / compared, 1e-9);
        EXPECT_NEAR(block.chanceShare, 100.0 * expected / compared, 1e-9);
        EXPECT_NEAR(block.chanceShare, 100.0 * 5 / 6, 1e-9);
        allCompared += compared;
        allRight += right;
        allExpected += expected;
    }
    // The whole replay's share is the summary's.
    EXPECT_NEAR(t.share, 100.0 * allRight / allCompared, 1e-9);
    EXPECT_NEAR(t.chanceShare, 100.0 * allExpected / allCompared, 1e-9);

    EXPECT_EQ(t.levelText(2),
              QStringLiteral("第 2 位：开出 %1 个号码（纯属运气时约 4.5 个）").arg(levels[1]));
    EXPECT_TRUE(t.levelText(7).isEmpty());
    EXPECT_TRUE(t.blockText(1).startsWith(QStringLiteral("第 2601020 ~ 2601026 期（7 期）")))
        << t.blockText(1).toStdString();
    EXPECT_TRUE(t.blockText(2).isEmpty());
}

TEST(ReplayTrendTest, BeforeAReplayItSaysHowToRunOne)
{
    const ReplayTrend none = ReplayTrend::of(ReplayResult{});
    EXPECT_FALSE(none.isDrawable());
    EXPECT_EQ(none.requirement, ReplayTrend::notReplayed().requirement);
    EXPECT_TRUE(none.requirement.contains(QStringLiteral("计算方法回测")));
    EXPECT_TRUE(none.requirement.contains(QStringLiteral("开始回测")));
    EXPECT_FALSE(none.requirement.contains(QLatin1Char('&')));
    ReplayResult cancelled;
    cancelled.cancelled = true;
    const ReplayTrend stopped = ReplayTrend::of(cancelled);
    EXPECT_FALSE(stopped.isDrawable());
    EXPECT_TRUE(stopped.requirement.contains(QStringLiteral("取消")));
}
