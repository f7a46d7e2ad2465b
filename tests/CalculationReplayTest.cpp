#include "SyntheticHistory.h"

#include "backtest/BacktestEngine.h"
#include "backtest/BacktestRunner.h"
#include "formula/FormulaArithmetic.h"
#include "history/HistoryColumns.h"
#include "killkeep/CalculationReplay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <set>

namespace {

CalculationTable table(const FormulaKind& kind, const QStringList& codes)
{
    CalculationTable t;
    t.kind = kind;
    t.position = kind.single ? kind.position : VoteTally::kGeneralPosition;
    for (int i = 0; i < codes.size(); ++i) {
        FormulaRecord r;
        r.idx = i + 1;
        r.rowId = i + 1;
        r.gongshi = codes[i];
        r.bolKill = true;
        t.formulas.push_back(r);
    }
    t.compiled = BacktestRunner::compileAll(t.formulas);
    t.selected.assign(t.formulas.size(), true);
    return t;
}

QStringList mixedCodes()
{
    static const QStringList terms{"L1A", "L2A", "L3A", "LH", "LT", "L1G", "L2D", "L3E", "SQH", "LX"};
    QStringList codes;
    for (int i = 0; i < 30; ++i)
        codes << QStringLiteral("%1+%2*%3+%4")
                     .arg(terms[i % terms.size()], terms[(i * 7 + 3) % terms.size()])
                     .arg(i % 3 + 1)
                     .arg(i % 7);
    return codes;
}

CalculationRequest bestRequest(const FormulaKind& kind)
{
    CalculationRequest r;
    r.kind = kind;
    r.kill = true;
    r.bestMethod = true;
    r.keys = {FormulaOrderKey::preferred(FormulaFigure::Rate),
              FormulaOrderKey::preferred(FormulaFigure::MaxMiss)};
    r.limit = 3;
    r.backtest.lookBackDraws = 40;
    r.backtest.excludeCurrent = true;
    r.backtest.weighted = true;
    return r;
}

// The 滤杀 numbers of draw t worked out by hand from a copy of the draws before it: back-test,
// order, walk until 6 − L numbers are named.
std::vector<int> killedByHand(const std::vector<DrawRecord>& draws, int t, const CalculationTable& tab,
                              const CalculationRequest& request)
{
    const std::vector<DrawRecord> before(draws.begin(), draws.begin() + t);
    const HistoryColumns h(before);
    const BacktestResult r = BacktestEngine::run(h, tab.compiled, tab.kind, request.kill, request.backtest);
    std::vector<FormulaFigures> figures;
    for (std::size_t i = 0; i < r.outcomes.size(); ++i) {
        const FormulaStats& s = r.outcomes[i].stats;
        figures.push_back(
            {tab.formulas[i].idx, s.rate, s.maxMissRun, s.maxHitRun, s.finalMissRun, s.finalHitRun});
    }
    std::set<int> named;
    for (int i : FormulaOrdering::walkOrder(figures, request.keys)) {
        if (int(named.size()) >= 6 - request.limit)
            break;
        const double v = tab.compiled[std::size_t(i)].evaluateRow(h, t - 1);
        if (const auto p = FormulaArithmetic::predictedNumber(v); p && *p >= 1)
            named.insert(*p);
    }
    return {named.begin(), named.end()};
}

} // namespace

// The replay of draw t is the calculation from the draws before it: a copy of just those draws,
// worked through by hand, names the same 滤杀 numbers; draws after t have no say.
TEST(CalculationReplay, EachDrawIsCalculatedFromTheDrawsBeforeItOnly)
{
    const FormulaKind kind{3, false};
    const CalculationTable tab = table(kind, mixedCodes());
    const CalculationRequest request = bestRequest(kind);
    std::vector<DrawRecord> draws = syntheticDraws(160, 21);
    const ReplayResult replay = CalculationReplay::run({tab}, draws, HistoryColumns(draws), 60, request);
    ASSERT_EQ(replay.draws.size(), 60u);
    EXPECT_FALSE(replay.cancelled);
    EXPECT_EQ(replay.draws.front().issue, draws[100].issue);
    EXPECT_EQ(replay.draws.back().issue, draws.back().issue);
    for (int t : {100, 131, 159}) {
        const ReplayDraw& d = replay.draws[std::size_t(t - 100)];
        ASSERT_EQ(d.rankings.size(), 1u);
        EXPECT_EQ(d.rankings[0].killed, killedByHand(draws, t, tab, request)) << "draw " << t;
        // 6 − L numbers named, compared with all three drawn numbers.
        EXPECT_EQ(d.killedCompared, 3);
        EXPECT_EQ(d.rankings[0].drawn,
                  (std::vector<int>{draws[t].number(1), draws[t].number(2), draws[t].number(3)}));
    }

    // Other draws after draw 130: the replayed rows up to 130 stay as they were.
    std::vector<DrawRecord> changed = draws;
    const std::vector<DrawRecord> other = syntheticDraws(160, 99);
    for (std::size_t i = 131; i < changed.size(); ++i)
        changed[i] = other[i];
    const ReplayResult again = CalculationReplay::run({tab}, changed, HistoryColumns(changed), 60, request);
    for (int t = 100; t <= 130; ++t) {
        const ReplayDraw& a = replay.draws[std::size_t(t - 100)];
        const ReplayDraw& b = again.draws[std::size_t(t - 100)];
        EXPECT_EQ(a.killedText(false), b.killedText(false)) << "draw " << t;
        EXPECT_EQ(a.levels, b.levels) << "draw " << t;
    }
}

// One draw against its ranking: 滤杀 numbers, how many came up, each drawn number's level, and
// the chance expectations the summary adds up.
TEST(CalculationReplay, ComparesADrawWithItsRanking)
{
    DrawRecord draw = drawsWithNumbers({{3, 3, 5}}).front();
    CalculationRequest request;
    request.kind = {3, false};
    request.kill = true;
    CalculationOutcome outcome;
    // Kill votes: 3 twice, 1 once; 2, 4, 5, 6 none. Ranking: 2 4 5 6 (保留), 1, 3 (滤杀).
    for (int n : {3, 1, 3})
        outcome.tally.vote(VoteTally::kGeneralPosition, n);
    const ReplayDraw d = CalculationReplay::compare(draw, outcome, request);
    ASSERT_EQ(d.rankings.size(), 1u);
    const ReplayRanking& r = d.rankings[0];
    EXPECT_EQ(r.killed, (std::vector<int>{1, 3}));
    EXPECT_EQ(r.killedDrawn, 1); // 3 came up (twice), 1 did not
    EXPECT_EQ(d.killedAbsent(), 1);
    EXPECT_EQ(r.levels, (std::vector<int>{6, 6, 3})); // 3 is last, 5 third
    EXPECT_EQ(d.drawnText(), "335");
    EXPECT_EQ(d.killedText(true), "1 3");
    EXPECT_EQ(d.killedText(false), "1,3");
    EXPECT_EQ(d.levelsText(false), "6,6,3");
    // Two numbers against three dice: each absent with (5/6)^3, both with (4/6)^3.
    const double a = std::pow(5.0 / 6, 3), b = std::pow(4.0 / 6, 3);
    EXPECT_NEAR(r.expectedAbsent, 2 * a, 1e-12);
    EXPECT_NEAR(r.absentVariance, 2 * a * (1 - a) + 2 * (b - a * a), 1e-12);
    for (double e : r.expectedLevels)
        EXPECT_DOUBLE_EQ(e, 0.5); // three drawn numbers spread over six levels

    // 单选 十位: two rankings of the digits 0..9, 个位 then 十位. A 滤杀 digit 0 or 7..9 is never
    // drawn: counted apart, outside the comparison and the levels' expectation.
    CalculationRequest single;
    single.kind = {2, true};
    CalculationOutcome votes;
    for (int digit : {0, 5, 9})
        votes.tally.vote(1, digit);
    votes.tally.vote(2, 3);
    const ReplayDraw s = CalculationReplay::compare(draw, votes, single);
    ASSERT_EQ(s.rankings.size(), 2u);
    EXPECT_EQ(s.rankings[0].position, 1);
    EXPECT_EQ(s.rankings[0].drawn, std::vector<int>{5});
    EXPECT_EQ(s.rankings[0].killed, (std::vector<int>{0, 5, 9}));
    EXPECT_EQ(s.rankings[0].killedOutside, 2);
    EXPECT_EQ(s.rankings[0].killedDrawn, 1);
    EXPECT_EQ(s.rankings[0].levels, std::vector<int>{9}); // 0 1 2 3 4 6 7 8 (no votes), then 5, 9
    EXPECT_EQ(s.rankings[1].drawn, std::vector<int>{3});
    EXPECT_EQ(s.rankings[1].killedDrawn, 1);
    EXPECT_EQ(s.killedCompared, 2);
    EXPECT_EQ(s.killedOutside, 2);
    EXPECT_EQ(s.killedText(true), QStringLiteral("个位 0 5 9；十位 3"));
    EXPECT_EQ(s.killedText(false), "0,5,9/3");
    EXPECT_EQ(s.levelsText(false), "9/10");
    double expected = 0;
    for (double e : s.rankings[0].expectedLevels)
        expected += e;
    EXPECT_NEAR(expected, 1.0, 1e-12); // only the six die digits can come up

    // The summary of both draws of 单选 has ten levels; the draw of 通选 alone six.
    const ReplaySummary sum = CalculationReplay::summarize({s}, single);
    EXPECT_EQ(sum.levelCount(), 10);
    EXPECT_EQ(sum.killedCompared, 2);
    EXPECT_EQ(sum.killedAbsent, 0);
    EXPECT_EQ(sum.killedOutside, 2);
    EXPECT_EQ(sum.levelCounts[8], 1);
    EXPECT_EQ(sum.levelCounts[9], 1);
    EXPECT_NEAR(sum.chanceShare, 100.0 * 5 / 6, 1e-9);
    EXPECT_TRUE(sum.absentText().contains(QStringLiteral("另有 2 个滤杀数字不在1~6之间")));
    EXPECT_EQ(CalculationReplay::summarize({d}, request).levelCount(), 6);
}

// Over many random draws a method that knows nothing is absent about as often as chance says,
// and its p value is not small; the levels spread evenly.
TEST(CalculationReplay, SummaryOfRandomVotesMatchesChance)
{
    const std::vector<DrawRecord> draws = syntheticDraws(3000, 5);
    CalculationRequest request;
    request.kind = {2, false};
    std::vector<ReplayDraw> rows;
    unsigned state = 12345;
    for (const DrawRecord& draw : draws) {
        CalculationOutcome outcome;
        for (int k = 0; k < 3; ++k) {
            state = state * 1103515245u + 12345u;
            outcome.tally.vote(VoteTally::kGeneralPosition, int((state >> 16) % 6) + 1);
        }
        rows.push_back(CalculationReplay::compare(draw, outcome, request));
    }
    const ReplaySummary s = CalculationReplay::summarize(rows, request);
    EXPECT_EQ(s.draws, 3000);
    EXPECT_NEAR(s.chanceShare, 100.0 * 25 / 36, 1e-9);
    ASSERT_TRUE(s.z && s.p);
    EXPECT_LT(std::abs(*s.z), 3.5);
    int counted = 0;
    for (int level = 0; level < 6; ++level) {
        EXPECT_NEAR(s.levelExpected[std::size_t(level)], 1000.0, 1e-6);
        EXPECT_NEAR(s.levelCounts[std::size_t(level)], 1000, 4 * std::sqrt(1000.0 * 5 / 6));
        counted += s.levelCounts[std::size_t(level)];
    }
    EXPECT_EQ(counted, 6000);
}

// Published smallest first, a killed 1 in 个位 is almost never drawn (1 time in 216) and a killed 6
// in 91: the chance share follows the numbers killed. Against a simulation that deals fresh sorted
// fair dice to the fixed rankings many times, the model's chance share and its spread hold.
TEST(CalculationReplay, SortedDrawsMatchASimulationOfTheChanceShare)
{
    const std::vector<DrawRecord> draws = syntheticDraws(2000, 8, true);
    const DrawModel& model = DrawModel::of(DrawOrder::Ascending);
    for (const FormulaKind& kind : {FormulaKind{1, true}, FormulaKind{2, false}}) {
        SCOPED_TRACE(kind.code().toStdString());
        CalculationRequest request;
        request.kind = kind;
        // Votes leaning to the small numbers, so the ascending chance is far from the one of dice as
        // drawn.
        std::vector<CalculationOutcome> outcomes(draws.size());
        std::mt19937 rng(21);
        const int position = kind.single ? 1 : VoteTally::kGeneralPosition;
        for (CalculationOutcome& o : outcomes)
            for (int k = 0; k < 3; ++k)
                o.tally.vote(position, std::array<int, 5>{1, 1, 2, 3, 6}[rng() % 5]);
        auto replayWith = [&](const std::vector<DrawRecord>& dealt) {
            std::vector<ReplayDraw> rows;
            for (std::size_t i = 0; i < dealt.size(); ++i)
                rows.push_back(CalculationReplay::compare(dealt[i], outcomes[i], request, model));
            return CalculationReplay::summarize(rows, request);
        };
        const ReplaySummary s = replayWith(draws);
        // The model's standard deviation of the share, in percentage points.
        double variance = 0;
        for (std::size_t i = 0; i < draws.size(); ++i)
            for (const ReplayRanking& r :
                 CalculationReplay::compare(draws[i], outcomes[i], request, model).rankings)
                variance += r.absentVariance;
        const double modelSpread = 100.0 * std::sqrt(variance) / s.killedCompared;
        double simulated = 0, simulatedSquares = 0;
        constexpr int kDeals = 200;
        std::vector<std::array<int, 3>> dice(draws.size());
        for (int i = 0; i < kDeals; ++i) {
            for (std::array<int, 3>& d : dice) {
                d = {int(rng() % 6) + 1, int(rng() % 6) + 1, int(rng() % 6) + 1};
                std::sort(d.begin(), d.end());
            }
            const double share = replayWith(drawsWithNumbers(dice)).absentShare;
            simulated += share / kDeals;
            simulatedSquares += share * share / kDeals;
        }
        const double spread = std::sqrt(simulatedSquares - simulated * simulated);
        EXPECT_NEAR(s.chanceShare, simulated, 4 * modelSpread / std::sqrt(double(kDeals)));
        EXPECT_NEAR(spread, modelSpread, 0.2 * modelSpread);
        // Read as drawn, the same killed numbers would be absent far less often.
        std::vector<ReplayDraw> drawnRows;
        for (std::size_t i = 0; i < draws.size(); ++i)
            drawnRows.push_back(CalculationReplay::compare(draws[i], outcomes[i], request));
        EXPECT_GT(s.chanceShare - CalculationReplay::summarize(drawnRows, request).chanceShare,
                  8 * modelSpread);
    }
}

// The replay reads the formulas' predictions from a table worked out once over the full history;
// every back-test of a shorter history then gives exactly what evaluating gives, also for formulas
// that often have no value (the prediction in force is then searched for before the table's rows)
// and with several threads reading the table.
TEST(CalculationReplay, KeptPredictionsGiveTheSameBackTest)
{
    const FormulaKind kind{2, false};
    // Enough formulas for several chunks, read by three threads at once.
    QStringList codes;
    for (int k = 0; k < 7; ++k)
        for (const QString& code : mixedCodes())
            codes << QStringLiteral("%1+%2").arg(code).arg(k);
    codes << "L1A/(L2A-L3A)"
          << "100/(LH-L1A-L2A-L3A)+L1G"
          << "(L1A-L1A)/(L2A-L2A)";
    const CalculationTable tab = table(kind, codes);
    for (const CompiledFormula& f : tab.compiled)
        ASSERT_TRUE(f.isValid());
    const std::vector<DrawRecord> draws = syntheticDraws(300, 8);
    const HistoryColumns history(draws);
    const auto cache = PredictionCache::build(history, tab.compiled, 150);
    ASSERT_TRUE(cache);
    for (int lookBack : {0, 40})
        for (int holdOut : {0, 7})
            for (int t : {151, 152, 190, 240, 300}) {
                BacktestOptions options;
                options.lookBackDraws = lookBack;
                options.holdOut = holdOut;
                options.threads = 3;
                const HistoryColumns prefix = history.firstDraws(t);
                const BacktestResult direct = BacktestEngine::run(prefix, tab.compiled, kind, true, options);
                const BacktestResult kept =
                    BacktestEngine::run(prefix, tab.compiled, kind, true, options, {}, nullptr, cache.get());
                ASSERT_EQ(direct.outcomes.size(), kept.outcomes.size());
                for (std::size_t i = 0; i < direct.outcomes.size(); ++i) {
                    const FormulaOutcome& a = direct.outcomes[i];
                    const FormulaOutcome& b = kept.outcomes[i];
                    const std::string where = "W " + std::to_string(lookBack) + " H " +
                                              std::to_string(holdOut) + " t " + std::to_string(t) +
                                              " formula " + std::to_string(i);
                    EXPECT_EQ(a.stats, b.stats) << where;
                    EXPECT_EQ(a.chance, b.chance) << where;
                    EXPECT_EQ(a.holdOut, b.holdOut) << where;
                    EXPECT_EQ(a.nextValue, b.nextValue) << where;
                }
            }
}

TEST(CalculationReplay, HowManyDrawsCanBeReplayed)
{
    EXPECT_EQ(CalculationReplay::maxDraws(3000, 300), 2700);
    EXPECT_EQ(CalculationReplay::maxDraws(3000, 0), 2999);
    EXPECT_EQ(CalculationReplay::maxDraws(200, 300), 0);
    QString error;
    EXPECT_TRUE(CalculationReplay::checkDraws(100, 3000, 300, &error));
    EXPECT_TRUE(CalculationReplay::checkDraws(2700, 3000, 300, &error));
    EXPECT_FALSE(CalculationReplay::checkDraws(2701, 3000, 300, &error));
    EXPECT_TRUE(error.contains("2700")) << error.toStdString();
    EXPECT_FALSE(CalculationReplay::checkDraws(0, 3000, 300, &error));
    EXPECT_FALSE(CalculationReplay::checkDraws(1, 200, 300, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("无法回测")));
    EXPECT_FALSE(CalculationReplay::checkDraws(1, 1, 0, &error));

    // A cancelled replay keeps what it did.
    const FormulaKind kind{2, false};
    const std::vector<DrawRecord> draws = syntheticDraws(80, 3);
    std::atomic<bool> cancel{false};
    int calls = 0;
    const ReplayResult r = CalculationReplay::run(
        {table(kind, {"L1A", "L2A+3"})}, draws, HistoryColumns(draws), 30, bestRequest(kind),
        [&](int done, int total) {
            EXPECT_EQ(total, 30);
            calls = done;
            if (done == 10)
                cancel = true;
        },
        &cancel);
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(calls, 10);
    EXPECT_EQ(r.draws.size(), 10u);
    EXPECT_EQ(r.summary.draws, 10);
}
