#include "SearchTestSupport.h"
#include "SyntheticHistory.h"

#include "backtest/BacktestEngine.h"
#include "history/HistoryColumns.h"
#include "search/CandidateEvaluator.h"
#include "search/FormulaGenerator.h"
#include "search/QualificationRanges.h"

#include <gtest/gtest.h>

namespace {

// Draws holding only the three numbers (百位, 十位, 个位).
std::vector<DrawRecord> numbersOnly(const std::vector<std::array<int, 3>>& numbers)
{
    std::vector<DrawRecord> draws(numbers.size());
    for (std::size_t i = 0; i < numbers.size(); ++i)
        for (int p = 0; p < 3; ++p)
            draws[i].values[p] = static_cast<int16_t>(numbers[i][p]);
    return draws;
}

FormulaStats inside()
{
    FormulaStats s;
    s.rate = 99.5f;
    s.maxMissRun = 1;
    s.maxHitRun = 300;
    s.finalMissRun = 0;
    s.finalHitRun = 100;
    return s;
}

} // namespace

TEST(CandidateEvaluator, WindowIsTheNewestWPlusOneDrawsButNeverTheOldest)
{
    EXPECT_TRUE(CandidateEvaluator::window(0, 300).isEmpty());
    EXPECT_TRUE(CandidateEvaluator::window(1, 0).isEmpty());
    EXPECT_TRUE(CandidateEvaluator::window(1, 300).isEmpty());
    const LookBackWindow all = CandidateEvaluator::window(10, 0);
    EXPECT_EQ(all.first, 1);
    EXPECT_EQ(all.last, 9);
    const LookBackWindow three = CandidateEvaluator::window(10, 3);
    EXPECT_EQ(three.first, 6);
    EXPECT_EQ(three.size(), 4);
    EXPECT_EQ(CandidateEvaluator::window(10, 8).size(), 9); // n = W + 2: exactly W + 1 rows
    EXPECT_EQ(CandidateEvaluator::window(10, 9).size(), 9); // W >= n − 1: all but the oldest
    EXPECT_EQ(CandidateEvaluator::window(150, 300).size(), 149);
    EXPECT_EQ(CandidateEvaluator::window(3001, 3000).size(), 3000);
    EXPECT_EQ(CandidateEvaluator::window(5000, 3000).size(), 3001);
}

TEST(CandidateEvaluator, ScoresThePredictionFromTheDrawBefore)
{
    // Units 1, 1, 2, 3; the candidate's value is the units number, so each draw is judged by the
    // units number before it: kill verdicts miss, hit, hit.
    const auto draws = numbersOnly({{4, 4, 1}, {5, 5, 1}, {6, 6, 2}, {1, 1, 3}});
    const SearchCandidate plain = candidateOf({"L3A", "LT"}, 0); // LT is 0 in these draws

    const CandidateEvaluator weighted(draws, {FormulaKind{1, true}, true, 0, true});
    const FormulaStats s = weighted.evaluate(plain);
    EXPECT_EQ(s.totalWeight, 14);
    EXPECT_EQ(s.weightedHits, 13);
    EXPECT_NEAR(s.rate, 92.8571, 0.0001);
    EXPECT_EQ(s.maxHitRun, 2);
    EXPECT_EQ(s.finalHitRun, 2);
    EXPECT_EQ(s.finalMissRun, 0);
    EXPECT_EQ(s.maxMissRun, 1);

    const CandidateEvaluator plainRate(draws, {FormulaKind{1, true}, true, 0, false});
    EXPECT_NEAR(plainRate.evaluate(plain).rate, 66.6667, 0.0001);
    // The keep candidate is right exactly where the kill candidate is wrong.
    const CandidateEvaluator keep(draws, {FormulaKind{1, true}, false, 0, false});
    const FormulaStats k = keep.evaluate(plain);
    EXPECT_NEAR(k.rate, 33.3333, 0.0001);
    EXPECT_EQ(k.finalMissRun, 2);
    EXPECT_EQ(k.finalHitRun, 0);
}

TEST(CandidateEvaluator, ValuesOfZeroOrBelowPredictNoNumber)
{
    const auto draws = numbersOnly({{1, 2, 3}, {4, 5, 6}, {1, 2, 3}, {6, 6, 6}, {2, 3, 4}});
    // L1A − 10 lies in -9..-4: predictions of -4..0, never a drawn number.
    const SearchCandidate negative = candidateOf({"L1A", "LT"}, -10);
    for (const FormulaKind& kind : FormulaKind::all()) {
        EXPECT_FLOAT_EQ(CandidateEvaluator(draws, {kind, true, 0, true}).evaluate(negative).rate, 100.0f);
        EXPECT_FLOAT_EQ(CandidateEvaluator(draws, {kind, false, 0, true}).evaluate(negative).rate, 0.0f);
    }
}

// Draws published smallest first: the evaluator detects it from the whole history as the back-test
// does and figures each prediction's own chance, in the window and on the held-out draws alike.
TEST(CandidateEvaluator, SortedDrawsGiveTheBackTestsChanceFigures)
{
    std::vector<DrawRecord> draws = syntheticDraws(500, 6, true);
    const HistoryColumns history(draws);
    FormulaGenerator generator(5, 0);
    SearchCandidate c;
    for (const FormulaKind& kind : FormulaKind::all())
        for (bool kill : {true, false})
            for (bool weighted : {true, false}) {
                SearchRules rules{kind, kill, 300, weighted, 60};
                const CandidateEvaluator evaluator(draws, rules);
                EXPECT_EQ(evaluator.order(), DrawOrder::Ascending);
                BacktestOptions o;
                o.lookBackDraws = 300;
                o.excludeCurrent = false;
                o.weighted = weighted;
                o.holdOut = 60;
                for (int i = 0; i < 4; ++i) {
                    generator.next({3 + i, false, i}, &c);
                    const FormulaOutcome want =
                        BacktestEngine::run(history, {CompiledFormula::compile(c.codeForm())}, kind, kill, o)
                            .outcomes.front();
                    for (const auto& [got, expected] : {std::pair{evaluator.chance(c), want.chance},
                                                        std::pair{evaluator.holdOut(c), want.holdOut}}) {
                        ASSERT_EQ(got.hits, expected.hits);
                        ASSERT_NEAR(got.chanceRate, expected.chanceRate, 1e-9);
                        ASSERT_EQ(got.p.has_value(), expected.p.has_value());
                        if (expected.p) {
                            ASSERT_NEAR(*got.p, *expected.p, 1e-12);
                        }
                    }
                }
                // Told to read the draws as drawn, it does.
                rules.publicationOrder = PublicationOrder::AsDrawn;
                EXPECT_EQ(CandidateEvaluator(draws, rules).order(), DrawOrder::AsDrawn);
            }
}

TEST(CandidateEvaluator, AnEmptyWindowGivesRateZero)
{
    const auto draws = numbersOnly({{1, 2, 3}});
    const FormulaStats s = CandidateEvaluator(draws, {FormulaKind{1, true}, true, 300, true})
                               .evaluate(candidateOf({"L1A", "L2A"}, 0));
    EXPECT_EQ(s, FormulaStats{});
    EXPECT_EQ(CandidateEvaluator({}, {FormulaKind{3, false}, false, 0, false})
                  .evaluate(candidateOf({"L1A", "L2A"}, 0)),
              FormulaStats{});
}

TEST(CandidateEvaluator, MatchesTheLiteralSearchRulesForEveryKindSenseAndWindow)
{
    const std::vector<DrawRecord> draws = searchTestDraws(420, 3);
    const HistoryColumns history(draws);
    FormulaGenerator generator(99, 0);
    SearchCandidate c;
    int checked = 0;
    for (const FormulaKind& kind : FormulaKind::all()) {
        for (bool kill : {true, false}) {
            for (bool weighted : {true, false}) {
                for (int lookBack : {0, 5, 100, 300, 418, 419, 1000}) {
                    const SearchRules rules{kind, kill, lookBack, weighted};
                    const CandidateEvaluator evaluator(draws, rules);
                    for (int i = 0; i < 6; ++i) {
                        // Some tails push values to 0 and below, where the predictions leave 1..6.
                        generator.next({2 + i * 4, i == 5, i == 3 ? -60 : i}, &c);
                        const FormulaStats expected = referenceSearchStats(draws, c.codeForm(), rules);
                        ASSERT_EQ(evaluator.evaluate(c), expected)
                            << c.codeForm().toStdString() << " kind " << kind.code().toStdString() << " kill "
                            << kill << " weighted " << weighted << " W " << lookBack;
                        // Against chance: as the main back-test of the same window (the current draw
                        // counted) figures it.
                        BacktestOptions o;
                        o.lookBackDraws = lookBack;
                        o.excludeCurrent = false;
                        o.weighted = weighted;
                        const ChanceFigures want =
                            BacktestEngine::run(history, {CompiledFormula::compile(c.codeForm())}, kind, kill,
                                                o)
                                .outcomes.front()
                                .chance;
                        const ChanceFigures got = evaluator.chance(c);
                        ASSERT_EQ(got.hits, want.hits);
                        ASSERT_EQ(got.tested, want.tested);
                        ASSERT_NEAR(got.chanceRate, want.chanceRate, 1e-9);
                        ASSERT_NEAR(got.excess, want.excess, 1e-9);
                        ASSERT_EQ(got.p.has_value(), want.p.has_value());
                        if (want.p) {
                            ASSERT_NEAR(*got.p, *want.p, 1e-12);
                        }
                        ++checked;
                    }
                }
            }
        }
    }
    EXPECT_EQ(checked, 5 * 2 * 2 * 7 * 6);
}

TEST(QualificationRanges, BoundsAllowTheToleranceAndNoMore)
{
    QualificationRanges r = QualificationRanges::formDefaults();
    EXPECT_TRUE(r.admits(inside()));
    FormulaStats s = inside();
    s.rate = 98.9999f;
    EXPECT_TRUE(r.admits(s));
    s.rate = 98.999f;
    EXPECT_FALSE(r.admits(s));
    s.rate = 100.0f;
    EXPECT_TRUE(r.admits(s));

    s = inside();
    s.maxMissRun = 2; // upper bound 1
    EXPECT_FALSE(r.admits(s));
    s = inside();
    s.maxHitRun = 255; // lower bound 256
    EXPECT_FALSE(r.admits(s));
    s = inside();
    s.finalHitRun = 63; // lower bound 64
    EXPECT_FALSE(r.admits(s));
    s = inside();
    s.finalMissRun = 32769;
    EXPECT_FALSE(r.admits(s));

    // Final miss run 0 to 0, as the stored defaults ask.
    r.bounds[7] = 0;
    s = inside();
    EXPECT_TRUE(r.admits(s));
    s.finalMissRun = 1;
    EXPECT_FALSE(r.admits(s));
}

TEST(QualificationRanges, BoxTextsReadTheirLeadingNumber)
{
    const QualificationRanges r = QualificationRanges::fromTexts(
        {"94.6", "100abc", "abc", " 2", "-1", "1e2", ".5", "3.5.5", "", "32768"});
    EXPECT_FLOAT_EQ(r.bounds[0], 94.6f);
    EXPECT_FLOAT_EQ(r.bounds[1], 100);
    EXPECT_FLOAT_EQ(r.bounds[2], 0);
    EXPECT_FLOAT_EQ(r.bounds[3], 2);
    EXPECT_FLOAT_EQ(r.bounds[4], -1);
    EXPECT_FLOAT_EQ(r.bounds[5], 100);
    EXPECT_FLOAT_EQ(r.bounds[6], 0.5f);
    EXPECT_FLOAT_EQ(r.bounds[7], 3.5f);
    EXPECT_FLOAT_EQ(r.bounds[8], 0);
    EXPECT_EQ(r.texts(), (QStringList{"94.6", "100", "0", "2", "-1", "100", "0.5", "3.5", "0", "32768"}));
    EXPECT_EQ(QualificationRanges::formDefaults().texts(),
              (QStringList{"99", "100", "0", "1", "256", "32768", "0", "32768", "64", "32768"}));
}
