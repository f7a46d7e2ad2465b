#include "CliRunner.h"
#include "SearchTestSupport.h"
#include "SyntheticHistory.h"
#include "TestSupport.h"

#include "backtest/BacktestEngine.h"
#include "backtest/BacktestRunner.h"
#include "backtest/ChanceSummary.h"
#include "formula/FormulaArithmetic.h"
#include "history/HistoryColumns.h"
#include "history/Workspace.h"
#include "search/HoldOutSummary.h"
#include "search/SearchRun.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

const QStringList kCodes{"L1A+LH", "L2A*2+1", "L3A+LT+2",  "LH+LT",
                         "L1G+3",  "L2D+L3E", "6/(L1A-1)", "L1A-L2A-3"};

BacktestOptions optionsWith(int holdOut, int lookBack = 100)
{
    BacktestOptions o;
    o.lookBackDraws = lookBack;
    o.excludeCurrent = true;
    o.weighted = true;
    o.holdOut = holdOut;
    return o;
}

// The held-out draws counted one by one: the prediction in force on each (from the newest earlier
// draw with a value), right or not, and its chance.
struct DirectCount
{
    int hits = 0;
    int tested = 0;
    double expected = 0; // Σ q_j
    int chancy = 0;      // draws predicted 1..6, which chance can get right or wrong
    int certainHits = 0; // kill draws predicted 0 or below: right whatever is drawn
};

// The kind's chance for a prediction 1..6 on dice read as drawn: (5/6)^k for kill.
double asDrawnChance(const FormulaKind& kind, bool kill)
{
    const double allMissed = std::pow(5.0 / 6.0, double(kind.checkedColumns().size()));
    return kill ? allMissed : 1 - allMissed;
}

// P(X >= k), X binomial(n, q), summed term by term.
double binomialTail(int n, double q, int k)
{
    double sum = 0;
    for (int i = std::max(k, 0); i <= n; ++i)
        sum += std::exp(std::lgamma(n + 1.0) - std::lgamma(i + 1.0) - std::lgamma(n - i + 1.0) +
                        i * std::log(q) + (n - i) * std::log1p(-q));
    return std::min(sum, 1.0);
}

DirectCount countHeldOut(const HistoryColumns& h, const CompiledFormula& f, const FormulaKind& kind,
                         bool kill, int heldOut)
{
    const FormulaTrace t = BacktestEngine::trace(h, f, kind, kill);
    const double q = asDrawnChance(kind, kill);
    DirectCount c;
    for (int r = h.drawCount() - heldOut; r < h.drawCount(); ++r) {
        ++c.tested;
        c.hits += t.gscs[std::size_t(r)];
        if (const std::optional<int> v = t.preCanshu[std::size_t(r)]) {
            const int p = FormulaArithmetic::predictedNumber(*v);
            c.expected += p >= 1 ? q : (kill ? 1.0 : 0.0);
            c.chancy += p >= 1;
            c.certainHits += p < 1 && kill;
        }
    }
    return c;
}

} // namespace

// The back-test with a hold-out: everything but the hold-out figures is what the history without
// its newest H draws gives, whatever those draws were; the hold-out figures are a plain count.
TEST(HoldOut, HeldOutDrawsStayOutOfTheFiguresAndAreCountedApart)
{
    const std::vector<DrawRecord> draws = syntheticDraws(400, 17);
    const std::vector<CompiledFormula> compiled = [] {
        std::vector<CompiledFormula> c;
        for (const QString& code : kCodes)
            c.push_back(CompiledFormula::compile(code));
        return c;
    }();
    for (const FormulaKind& kind : {FormulaKind{1, true}, FormulaKind{3, false}})
        for (bool kill : {true, false}) {
            const HistoryColumns all(draws);
            const BacktestResult held = BacktestEngine::run(all, compiled, kind, kill, optionsWith(60));
            const BacktestResult earlier =
                BacktestEngine::run(HistoryColumns(std::vector<DrawRecord>(draws.begin(), draws.end() - 60)),
                                    compiled, kind, kill, optionsWith(0));
            // Other held-out draws change nothing but the hold-out figures.
            std::vector<DrawRecord> changed = draws;
            const std::vector<DrawRecord> other = syntheticDraws(400, 71);
            std::copy(other.end() - 60, other.end(), changed.end() - 60);
            const BacktestResult heldChanged =
                BacktestEngine::run(HistoryColumns(changed), compiled, kind, kill, optionsWith(60));
            EXPECT_EQ(held.heldOut, 60);
            EXPECT_EQ(held.window.last, 339);
            EXPECT_EQ(held.totalWeight, earlier.totalWeight);
            for (std::size_t i = 0; i < compiled.size(); ++i) {
                const FormulaOutcome& o = held.outcomes[i];
                EXPECT_EQ(o.stats, earlier.outcomes[i].stats) << i;
                EXPECT_EQ(o.chance, earlier.outcomes[i].chance) << i;
                EXPECT_EQ(o.nextValue, earlier.outcomes[i].nextValue) << i;
                EXPECT_EQ(o.stats, heldChanged.outcomes[i].stats) << i;
                EXPECT_EQ(o.chance, heldChanged.outcomes[i].chance) << i;
                EXPECT_EQ(earlier.outcomes[i].holdOut.tested, 0);

                const DirectCount c = countHeldOut(all, compiled[i], kind, kill, 60);
                EXPECT_EQ(o.holdOut.hits, c.hits) << kCodes[int(i)].toStdString();
                EXPECT_EQ(o.holdOut.tested, 60);
                EXPECT_NEAR(o.holdOut.plainRate(), 100.0 * c.hits / 60, 1e-9);
                EXPECT_NEAR(o.holdOut.chanceRate, 100.0 * c.expected / 60, 1e-9);
                // Unweighted with one chance for every uncertain draw: the exact binomial tail.
                ASSERT_GT(c.chancy, 0);
                ASSERT_TRUE(o.holdOut.p.has_value());
                EXPECT_NEAR(*o.holdOut.p,
                            binomialTail(c.chancy, asDrawnChance(kind, kill), c.hits - c.certainHits), 1e-9);
            }
        }
}

// At most half the history is held out; a run, the summary line and the settings agree on it.
TEST(HoldOut, HalfTheHistoryAtMostAndTheSummaryLine)
{
    EXPECT_EQ(BacktestOptions::heldOutDraws(400, 60), 60);
    EXPECT_EQ(BacktestOptions::heldOutDraws(400, 300), 200);
    EXPECT_EQ(BacktestOptions::heldOutDraws(5, 3), 2);
    EXPECT_EQ(BacktestOptions::heldOutDraws(0, 3), 0);
    EXPECT_EQ(BacktestOptions::heldOutDraws(400, -1), 0);
    EXPECT_TRUE(BacktestOptions::isAllowedHoldOut(200, 400));
    EXPECT_FALSE(BacktestOptions::isAllowedHoldOut(201, 400));
    EXPECT_FALSE(BacktestOptions::isAllowedHoldOut(-1, 400));
    EXPECT_TRUE(BacktestOptions::holdOutRefusal(401).contains(QStringLiteral("0 到 200")));

    // Two draws, one held out: the window is empty, the held-out draw is still predicted from
    // the first draw's value.
    const std::vector<DrawRecord> two = drawsWithNumbers({{1, 2, 3}, {4, 5, 6}});
    const BacktestResult r = BacktestEngine::run(HistoryColumns(two), {CompiledFormula::compile("L3A+2")},
                                                 FormulaKind{1, true}, true, optionsWith(5));
    EXPECT_EQ(r.heldOut, 1);
    EXPECT_TRUE(r.window.isEmpty());
    EXPECT_EQ(r.outcomes[0].holdOut.tested, 1);
    EXPECT_EQ(r.outcomes[0].holdOut.hits, 1); // predicts 5 for units 6: the kill is right
    EXPECT_EQ(r.outcomes[0].nextValue, 5);    // from the first draw: the held-out one is unseen

    std::vector<FormulaOutcome> outcomes(2);
    for (FormulaOutcome& o : outcomes) {
        o.valid = true;
        o.chance.p = 0.5;
        o.stats.rate = 80;
        o.chance.chanceRate = 83.33;
    }
    outcomes[0].holdOut = {12, 20, 83.0, 0, 0.1, 0.6};
    outcomes[1].holdOut = {20, 20, 84.0, 0, 3.0, 0.001};
    const ChanceSummary s = ChanceSummary::of(outcomes);
    EXPECT_EQ(s.holdOutFormulas, 2);
    EXPECT_DOUBLE_EQ(s.holdOutMeanRate, 80.0);
    EXPECT_TRUE(s.text().endsWith(QStringLiteral("；留出期：平均正确率 80.00%，机会率 83.50%")))
        << s.text().toStdString();
    outcomes[0].holdOut = {};
    outcomes[1].holdOut = {};
    EXPECT_FALSE(ChanceSummary::of(outcomes).text().contains(QStringLiteral("留出期")));
}

// The search's hold-out: candidates qualify on the draws before it; the hold-out figures are a
// plain count over the held-out draws.
TEST(HoldOut, SearchEvaluatorScoresTheHeldOutDrawsApart)
{
    const std::vector<DrawRecord> draws = searchTestDraws(500, 4);
    SearchRules rules{FormulaKind{2, false}, true, 120, true, 80};
    const CandidateEvaluator held(draws, rules);
    SearchRules plainRules = rules;
    plainRules.holdOut = 0;
    const CandidateEvaluator earlier(std::vector<DrawRecord>(draws.begin(), draws.end() - 80), plainRules);
    EXPECT_EQ(held.heldOut(), 80);
    EXPECT_EQ(earlier.heldOut(), 0);
    EXPECT_EQ(held.window().last, 419);
    for (const auto& [codes, tail] : std::vector<std::pair<QStringList, int>>{
             {{"LH", "LT"}, 3}, {{"L1A", "L2A", "L3A"}, -7}, {{"L2D", "SQH"}, 0}}) {
        const SearchCandidate c = candidateOf(codes, tail);
        EXPECT_EQ(held.evaluate(c), earlier.evaluate(c));
        EXPECT_EQ(held.chance(c), earlier.chance(c));
        EXPECT_EQ(earlier.holdOut(c).tested, 0);
        // By hand: the sum on draw r − 1 predicts for draw r, killed when it misses 十位 and 个位.
        int hits = 0, valued = 0;
        for (int r = 420; r < 500; ++r) {
            int sum = tail;
            for (const QString& code : codes)
                sum += draws[std::size_t(r - 1)].value(qPrintable(code));
            const int p = (sum - 1) % 6 + 1;
            hits += p != draws[std::size_t(r)].number(2) && p != draws[std::size_t(r)].number(3);
            valued += p >= 1;
        }
        const ChanceFigures h = held.holdOut(c);
        EXPECT_EQ(h.hits, hits);
        EXPECT_EQ(h.tested, 80);
        EXPECT_NEAR(h.chanceRate, 100.0 * (valued * 25.0 / 36 + (80 - valued)) / 80, 1e-9);
    }
}

// Formulas picked on a random history for fitting its draws well do no better than chance on
// the draws they were not picked on: the mean hold-out rate of 200 qualified candidates lies within
// three standard errors of their mean chance rate, while their in-sample rate is far above it.
TEST(HoldOut, SearchedFormulasFallBackToChanceOnHeldOutDraws)
{
    const std::vector<DrawRecord> draws = searchTestDraws(1600, 2024);
    SearchRunConfig config;
    config.evaluator =
        std::make_shared<CandidateEvaluator>(draws, SearchRules{FormulaKind{1, true}, true, 300, false, 300});
    config.generator.operandCount = 4;
    config.generator.randomTail = true;
    // Tight: a rate at least 2 standard deviations above the kill chance of 5/6 over 301 draws.
    config.ranges = QualificationRanges::fromTexts(
        {"87.7", "100", "0", "32768", "0", "32768", "0", "32768", "0", "32768"});
    config.seed = 7;
    config.threads = 2;
    config.stopAt = 200;
    SearchRun run(config);
    run.start();
    run.wait();
    const std::vector<SearchResult> results = run.takeResults();
    ASSERT_EQ(results.size(), 200u);
    double inSample = 0;
    for (const SearchResult& r : results) {
        EXPECT_GE(r.stats.rate, 87.7f - 0.001f);
        EXPECT_EQ(r.holdOut.tested, 300);
        inSample += r.stats.rate;
    }
    const HoldOutSummary s = HoldOutSummary::of(results);
    EXPECT_EQ(s.qualified, 200);
    EXPECT_GT(s.standardError, 0);
    EXPECT_LT(std::abs(s.meanRate - s.meanChanceRate), 3 * s.standardError)
        << "hold-out " << s.meanRate << " chance " << s.meanChanceRate << " se " << s.standardError;
    EXPECT_GT(inSample / 200 - s.meanChanceRate, 4.0);
    // About 5 % of them show p < 0.05 on the held-out draws by luck.
    EXPECT_DOUBLE_EQ(s.expected, 10.0);
    EXPECT_LT(s.significant, 25);
    EXPECT_TRUE(s.text().startsWith(QStringLiteral("合格 200 条：留出期平均正确率 ")));
    EXPECT_TRUE(s.text().endsWith(QStringLiteral("（运气约 10 条）"))) << s.text().toStdString();
}

// The command line: backtest and search take --holdout H, append the hold-out columns and put
// the summary on stderr; H beyond half the history is refused.
TEST(HoldOut, CommandLineColumnsAndRefusals)
{
    TempDataFolder dir;
    {
        Workspace ws;
        QString error;
        ASSERT_TRUE(ws.open(dir.path(), &error));
        storeDraws(ws, searchTestDraws(200, 9));
        addFormulas(ws, {1, true}, true, kCodes, QString());
    }
    const CliResult plain = runCli(dir.path(), {"backtest", "--kind", "1D"});
    ASSERT_EQ(plain.exitCode, 0) << plain.err.toStdString();
    EXPECT_FALSE(plain.out.contains("holdout"));
    const CliResult held = runCli(dir.path(), {"backtest", "--kind", "1D", "--holdout", "50"});
    ASSERT_EQ(held.exitCode, 0) << held.err.toStdString();
    const QStringList lines = held.out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 1 + kCodes.size());
    EXPECT_TRUE(lines[0].endsWith(
        "\tequivalent_to\tholdout_hits\tholdout_tested\tholdout_rate\tholdout_chance\tholdout_p\tq"));
    const QStringList first = lines[1].split('\t');
    ASSERT_EQ(first.size(), 24);
    EXPECT_EQ(first[19], "50");
    EXPECT_NEAR(first[20].toDouble(), 100.0 * first[18].toInt() / 50, 1e-3);
    EXPECT_TRUE(held.err.contains(QStringLiteral("留出期：平均正确率"))) << held.err.toStdString();
    // The window ends 50 draws earlier: other totals than without the hold-out.
    EXPECT_NE(lines[1].split('\t')[5], plain.out.split('\n')[1].split('\t')[5]);

    const CliResult refused = runCli(dir.path(), {"backtest", "--kind", "1D", "--holdout", "101"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("0 到 100"))) << refused.err.toStdString();
    EXPECT_EQ(runCli(dir.path(), {"backtest", "--holdout", "x"}).exitCode, 2);

    const CliResult search =
        runCli(dir.path(), {"search", "--kind", "2G", "--tries", "3000", "--seed", "5", "--ranges",
                            "0,100,0,32768,0,32768,0,32768,0,32768", "--holdout", "40", "--threads", "1"});
    ASSERT_EQ(search.exitCode, 0) << search.err.toStdString();
    const QStringList rows = search.out.trimmed().split('\n');
    EXPECT_TRUE(
        rows[0].endsWith("\tp\tholdout_hits\tholdout_tested\tholdout_rate\tholdout_chance\tholdout_p"));
    EXPECT_EQ(rows[1].split('\t').size(), 16);
    EXPECT_EQ(rows[1].split('\t')[12], "40");
    EXPECT_EQ(rows.size(), 3001);
    EXPECT_TRUE(search.err.contains("tried 3000 qualified 3000")) << search.err.toStdString();
    EXPECT_TRUE(search.err.contains(QStringLiteral("合格 3000 条：留出期平均正确率")))
        << search.err.toStdString();
    EXPECT_EQ(runCli(dir.path(), {"search", "--tries", "10", "--holdout", "101"}).exitCode, 1);
    EXPECT_FALSE(runCli(dir.path(), {"search", "--tries", "10", "--seed", "1"}).out.contains("holdout"));
}
