#include "backtest/NextDrawCalculation.h"
#include "backtest/BacktestEngine.h"

#include <gtest/gtest.h>

namespace {

// A table of formulas that are constants, so each one votes for a known value.
CalculationTable constants(std::initializer_list<const char*> codes, int position = 0)
{
    CalculationTable t;
    t.position = position;
    int idx = 0;
    for (const char* c : codes) {
        FormulaRecord r;
        r.idx = ++idx;
        r.gongshi = QString::fromLatin1(c);
        t.formulas.push_back(r);
        t.compiled.push_back(CompiledFormula::compile(r.gongshi));
        t.selected.push_back(true);
    }
    return t;
}

HistoryColumns history(int draws)
{
    std::vector<DrawRecord> d(draws);
    for (int i = 0; i < draws; ++i) {
        d[i].issue = QString::number(160121001 + i);
        d[i].values[0] = int16_t(i % 6 + 1);
    }
    return HistoryColumns(d);
}

std::vector<std::pair<int, int>> votes(const HistoryColumns& h, const CalculationTable& t,
                                       const NextDrawCalculation::Options& o, int row = -1)
{
    std::vector<std::pair<int, int>> out;
    NextDrawCalculation::run(h, row < 0 ? h.drawCount() - 1 : row, t, o, [&](int position, int value) {
        out.push_back({position, value});
    });
    return out;
}

} // namespace

TEST(NextDrawCalculation, BestWalkStopsAtTheDistinctTarget)
{
    const HistoryColumns h = history(3);
    CalculationTable t = constants({"2", "2", "5", "1", "3", "4"});
    NextDrawCalculation::Options o;
    o.bestMethod = true;
    o.limit = 3;
    o.keys = {};
    const auto v = votes(h, t, o);
    ASSERT_EQ(v.size(), 4u); // 2, 2, 5, 1: distinct 3 = 6 − 3
    EXPECT_EQ(v[3].second, 1);
    o.kill = false; // keep: stops once 3 numbers are named
    EXPECT_EQ(votes(h, t, o).size(), 4u);
    o.limit = 2;
    EXPECT_EQ(votes(h, t, o).size(), 3u);
}

TEST(NextDrawCalculation, UnselectedFormulaIsWalkedButDoesNotVote)
{
    const HistoryColumns h = history(3);
    CalculationTable t = constants({"2", "3", "4", "5"});
    t.selected[1] = false;
    NextDrawCalculation::Options o;
    o.bestMethod = true;
    o.limit = 3; // target 3 distinct
    std::vector<std::pair<int, int>> v;
    const auto walk = NextDrawCalculation::run(h, 2, t, o, [&](int p, int n) { v.push_back({p, n}); });
    EXPECT_EQ(walk.size(), 4u);
    EXPECT_TRUE(walk[1].nextText.isEmpty());
    EXPECT_EQ(v.size(), 3u);
    o.bestMethod = false;
    EXPECT_EQ(votes(h, t, o).size(), 3u);
}

TEST(NextDrawCalculation, ValuesAndCells)
{
    EXPECT_EQ(NextDrawCalculation::votedValue(13, true), 1);
    EXPECT_EQ(NextDrawCalculation::votedValue(13, false), 3);
    EXPECT_FALSE(NextDrawCalculation::votedValue(-3, true));
    EXPECT_FALSE(NextDrawCalculation::votedValue(-3, false));
    EXPECT_EQ(NextDrawCalculation::votedValue(10, false), 0);
    EXPECT_FALSE(NextDrawCalculation::votedValue(0, true));
}

TEST(NextDrawCalculation, TypedIssueTakesThePreviousRow)
{
    const std::vector<QString> issues{"160121001", "160121002", "160121003"};
    int row = -1;
    QString error;
    ASSERT_TRUE(NextDrawCalculation::rowBeforeIssue(issues, "160121002", &row, &error));
    EXPECT_EQ(row, 0);
    EXPECT_FALSE(NextDrawCalculation::rowBeforeIssue(issues, "160121001", &row, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(NextDrawCalculation::rowBeforeIssue(issues, "160121009", &row, &error));

    const HistoryColumns h = history(3); // L1A: 1, 2, 3
    CalculationTable t = constants({"L1A", "6/(L1A-2)+10"});
    NextDrawCalculation::Options o;
    auto v = votes(h, t, o, 0);
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(v[0].second, 1);
    // Row 1 has no value for the second formula (division by zero): the value read before it counts.
    v = votes(h, t, o, 1);
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(v[0].second, 2);
    EXPECT_EQ(v[1].second, 4); // 6/(1−2)+10 on row 0
}

TEST(NextDrawCalculation, BestWalkFollowsTheStoredFigures)
{
    const HistoryColumns h = history(3);
    CalculationTable t = constants({"1", "2", "3", "4"});
    t.formulas[0].sglGsRate = 50;
    t.formulas[1].sglGsRate = 90;
    t.formulas[2].sglGsRate = 90;
    t.formulas[3].sglGsRate = 70;
    t.formulas[1].intGsErrCon = 3;
    t.formulas[2].intGsErrCon = 1;
    NextDrawCalculation::Options o;
    o.bestMethod = true;
    o.limit = 4; // kill: stop after 2 distinct numbers
    o.keys = {{FormulaFigure::Rate, true}, {FormulaFigure::MaxMiss, false}};
    const auto v = votes(h, t, o);
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(v[0].second, 3); // rate 90 with the shorter miss run first
    EXPECT_EQ(v[1].second, 2);
}

// Ordered by the p value, the walk takes the figures of a back-test: the formula that is always
// right comes first, whatever the stored rates say.
TEST(NextDrawCalculation, BestWalkByThePValue)
{
    // L1A cycles 1..6; 个位 stays 0, so every kill formula of 个位单选 predicting 1..6 is right,
    // and "L1A" (1..6) as much as "3" (always 3). A keep formula is never right.
    const HistoryColumns h = history(200);
    CalculationTable t = constants({"0", "3", "L1A"});
    t.formulas[0].sglGsRate = 100;
    NextDrawCalculation::Options o;
    o.bestMethod = true;
    o.limit = 5; // kill: stop after 1 number
    o.keys = {FormulaOrderKey::preferred(FormulaFigure::PValue)};
    BacktestOptions b;
    b.lookBackDraws = 0;
    b.weighted = false;
    t.figures = NextDrawCalculation::figuresWithChance(h, t, FormulaKind{1, true}, true, b);
    ASSERT_EQ(t.figures.size(), 3u);
    EXPECT_EQ(t.figures[0].pValue, 1.0);  // "0" predicts 0: certain, no p
    EXPECT_EQ(t.figures[0].rate, 100.0f); // the stored rate stays
    EXPECT_LT(t.figures[1].pValue, 0.001);
    EXPECT_DOUBLE_EQ(t.figures[1].pValue, t.figures[2].pValue);
    auto v = votes(h, t, o);
    ASSERT_EQ(v.size(), 1u);
    EXPECT_EQ(v[0].second, 3); // "3" before "L1A" by idx among equals
    // Without figures of its own the walk falls back on the stored ones: the rate-100 formula
    // predicting 0 casts no vote, "3" follows.
    t.figures.clear();
    o.keys = {FormulaOrderKey::preferred(FormulaFigure::Rate)};
    v = votes(h, t, o);
    ASSERT_EQ(v.size(), 1u);
    EXPECT_EQ(v[0].second, 3);
}
