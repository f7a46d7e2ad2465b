#include "backtest/FormulaOrdering.h"
#include "backtest/FormulaFilter.h"

#include <gtest/gtest.h>

namespace {

FormulaFigures figures(int idx, float rate, int maxMiss, int maxHit, int finalMiss, int finalHit)
{
    return {idx, rate, maxMiss, maxHit, finalMiss, finalHit};
}

std::vector<int> idxOrder(const std::vector<FormulaFigures>& f, const std::vector<FormulaOrderKey>& keys)
{
    std::vector<int> out;
    for (int i : FormulaOrdering::walkOrder(f, keys))
        out.push_back(f[i].idx);
    return out;
}

// Rates as a back-test leaves them: single-precision quotients whose text form rounds.
const std::vector<FormulaFigures> kList = {
    figures(1, 85.333336f, 3, 9, 0, 4), figures(2, 66.66667f, 5, 4, 2, 0), figures(3, 85.333336f, 2, 7, 1, 0),
    figures(4, 71.428571f, 5, 6, 0, 1), figures(5, 100.0f, 0, 12, 0, 12),
};

} // namespace

TEST(FormulaOrdering, KeysInTurnThenAscendingIdx)
{
    using F = FormulaFigure;
    EXPECT_EQ(idxOrder(kList, {FormulaOrderKey::preferred(F::Rate)}), (std::vector<int>{5, 1, 3, 4, 2}));
    // Equal rates: the shorter longest-miss run first.
    EXPECT_EQ(idxOrder(kList, {FormulaOrderKey::preferred(F::Rate), FormulaOrderKey::preferred(F::MaxMiss)}),
              (std::vector<int>{5, 3, 1, 4, 2}));
    EXPECT_EQ(idxOrder(kList, {FormulaOrderKey::preferred(F::MaxMiss)}), (std::vector<int>{5, 3, 1, 2, 4}));
    EXPECT_EQ(
        idxOrder(kList, {FormulaOrderKey::preferred(F::FinalMiss), FormulaOrderKey::preferred(F::FinalHit)}),
        (std::vector<int>{5, 1, 4, 3, 2}));
    EXPECT_EQ(idxOrder(kList, {{F::MaxHit, false}}), (std::vector<int>{2, 4, 3, 1, 5}));
    EXPECT_EQ(idxOrder(kList, {}), (std::vector<int>{1, 2, 3, 4, 5}));

    // The walk follows idx, not the list's position, among equals.
    std::vector<FormulaFigures> shuffled = {figures(9, 50, 1, 1, 1, 1), figures(2, 50, 1, 1, 1, 1)};
    EXPECT_EQ(idxOrder(shuffled, {FormulaOrderKey::preferred(F::Rate)}), (std::vector<int>{2, 9}));
}

TEST(FormulaOrdering, PreferredDirectionsAndColumns)
{
    using F = FormulaFigure;
    EXPECT_TRUE(FormulaOrderKey::preferred(F::Rate).descending);
    EXPECT_FALSE(FormulaOrderKey::preferred(F::MaxMiss).descending);
    EXPECT_TRUE(FormulaOrderKey::preferred(F::MaxHit).descending);
    EXPECT_FALSE(FormulaOrderKey::preferred(F::FinalMiss).descending);
    EXPECT_TRUE(FormulaOrderKey::preferred(F::FinalHit).descending);
    EXPECT_EQ(FormulaOrdering::columnName(F::Rate), "sglGsRate");
    EXPECT_EQ(FormulaOrdering::columnName(F::FinalHit), "intGsTrueLst");
    // Against chance: the smallest p value and the largest excess first; neither is stored.
    EXPECT_FALSE(FormulaOrderKey::preferred(F::PValue).descending);
    EXPECT_TRUE(FormulaOrderKey::preferred(F::Excess).descending);
    EXPECT_TRUE(FormulaOrdering::columnName(F::PValue).isEmpty());
    EXPECT_EQ(FormulaOrdering::caption(F::PValue), QStringLiteral("p值"));
    EXPECT_EQ(FormulaOrdering::caption(F::Excess), QStringLiteral("超出"));
    EXPECT_FALSE(FormulaOrdering::usesChance({FormulaOrderKey::preferred(F::Rate)}));
    EXPECT_TRUE(FormulaOrdering::usesChance(
        {FormulaOrderKey::preferred(F::Rate), FormulaOrderKey::preferred(F::Excess)}));
}

// The chance figures as keys: the most significant formulas first, ties by the next key, then idx;
// a formula without a p value (1) comes last.
TEST(FormulaOrdering, ByPValueAndExcess)
{
    using F = FormulaFigure;
    std::vector<FormulaFigures> list = kList;
    const double p[] = {0.04, 0.5, 0.0001, 1.0, 0.0001};
    const double excess[] = {2.5, -1, 6, 0, 9};
    for (std::size_t i = 0; i < list.size(); ++i) {
        list[i].pValue = p[i];
        list[i].excess = excess[i];
    }
    EXPECT_EQ(idxOrder(list, {FormulaOrderKey::preferred(F::PValue)}), (std::vector<int>{3, 5, 1, 2, 4}));
    EXPECT_EQ(idxOrder(list, {FormulaOrderKey::preferred(F::PValue), FormulaOrderKey::preferred(F::Excess)}),
              (std::vector<int>{5, 3, 1, 2, 4}));
    EXPECT_EQ(idxOrder(list, {FormulaOrderKey::preferred(F::Excess)}), (std::vector<int>{5, 3, 1, 4, 2}));
}

// p value at most, excess at least; the prefilled boxes keep every selected formula, tiny p values
// included.
TEST(FormulaFilter, ByPValueAndExcess)
{
    std::vector<FormulaFigures> list = kList;
    const double p[] = {0.04, 0.5, 1.2345678e-7, 1.0, 0.0123456789};
    const double excess[] = {2.5, -1.25, 6.123456789, 0, 9};
    for (std::size_t i = 0; i < list.size(); ++i) {
        list[i].pValue = p[i];
        list[i].excess = excess[i];
    }
    std::vector<bool> selected(list.size(), true);
    FormulaFilterBounds b = FormulaFilter::prefill(list, selected);
    const int pBox = int(FormulaFigure::PValue), excessBox = int(FormulaFigure::Excess);
    EXPECT_EQ(b.lower[pBox], "1.234568e-07");
    EXPECT_EQ(b.upper[pBox], "1");
    EXPECT_EQ(b.lower[excessBox], "-1.25");
    EXPECT_EQ(b.upper[excessBox], "9");
    EXPECT_EQ(FormulaFilter::apply(list, b, &selected), 5);
    // The boxes round 1.2345678e-7 up and 6.123456789 up; both formulas still pass their own bounds.
    std::vector<bool> one = {false, false, true, false, false};
    FormulaFilterBounds tight = FormulaFilter::prefill(list, one);
    tight.upper[pBox] = tight.lower[pBox];
    tight.upper[excessBox] = tight.lower[excessBox];
    EXPECT_EQ(tight.lower[excessBox], "6.123457");
    EXPECT_EQ(FormulaFilter::apply(list, tight, &one), 1);

    b.upper[pBox] = "0.05";
    EXPECT_EQ(FormulaFilter::apply(list, b, &selected), 3);
    EXPECT_EQ(selected, (std::vector<bool>{true, false, true, false, true}));
    b.lower[excessBox] = "3";
    EXPECT_EQ(FormulaFilter::apply(list, b, &selected), 2);
    EXPECT_EQ(selected, (std::vector<bool>{false, false, true, false, true}));
}

TEST(FormulaOrdering, LimitBoxIsA16BitInteger)
{
    EXPECT_EQ(FormulaOrdering::limitFromText("3"), 3);
    EXPECT_EQ(FormulaOrdering::limitFromText(" 4 "), 4);
    EXPECT_EQ(FormulaOrdering::limitFromText("2.5"), 2);
    EXPECT_EQ(FormulaOrdering::limitFromText("3.5"), 4);
    EXPECT_EQ(FormulaOrdering::limitFromText("2.6"), 3);
    EXPECT_EQ(FormulaOrdering::limitFromText("-1"), -1);
    EXPECT_EQ(FormulaOrdering::limitFromText(""), 0);
    EXPECT_EQ(FormulaOrdering::limitFromText("abc"), 0);
    EXPECT_EQ(FormulaOrdering::limitFromText("99999"), 32767);
}

TEST(FormulaFilter, PrefilledBoxesKeepEverySelectedFormula)
{
    std::vector<bool> selected = {true, true, false, true, true};
    const FormulaFilterBounds b = FormulaFilter::prefill(kList, selected);
    EXPECT_EQ(b.lower[0], "66.66667");
    EXPECT_EQ(b.upper[0], "100");
    EXPECT_EQ(b.lower[1], "0");
    EXPECT_EQ(b.upper[1], "5");
    EXPECT_EQ(b.upper[2], "12");
    EXPECT_EQ(FormulaFilter::apply(kList, b, &selected), 4);
    EXPECT_EQ(selected, (std::vector<bool>{true, true, false, true, true}));

    // The rate's box rounds 85.333336 down; the tolerance still admits the formula.
    std::vector<bool> one = {true, false, false, false, false};
    FormulaFilterBounds rounded = FormulaFilter::prefill(kList, one);
    rounded.lower[0] = "85.3334";
    rounded.upper[0] = "85.3333";
    EXPECT_EQ(FormulaFilter::apply(kList, rounded, &one), 1);
}

TEST(FormulaFilter, FinalMissZeroKeepsFormulasWhoseNewestVerdictIsAHit)
{
    std::vector<bool> selected(kList.size(), true);
    FormulaFilterBounds b = FormulaFilter::prefill(kList, selected);
    b.lower[3] = "0";
    b.upper[3] = "0";
    EXPECT_EQ(FormulaFilter::apply(kList, b, &selected), 3);
    EXPECT_EQ(selected, (std::vector<bool>{true, false, false, true, true}));
}

TEST(FormulaFilter, NeverSelectsAndOnlyNarrows)
{
    std::vector<bool> selected = {false, true, true, false, false};
    FormulaFilterBounds b = FormulaFilter::prefill(kList, selected);
    b.lower[0] = "0";
    b.upper[0] = "100";
    b.upper[1] = "2"; // 最大连错 at most 2
    EXPECT_EQ(FormulaFilter::apply(kList, b, &selected), 1);
    EXPECT_EQ(selected, (std::vector<bool>{false, false, true, false, false}));
}

TEST(FormulaFilter, NoSelectedFormula)
{
    std::vector<bool> selected(kList.size(), false);
    const FormulaFilterBounds b = FormulaFilter::prefill(kList, selected);
    EXPECT_EQ(b.lower[0], "100");
    EXPECT_EQ(b.upper[0], "0");
    for (FormulaFigure runs :
         {FormulaFigure::MaxMiss, FormulaFigure::MaxHit, FormulaFigure::FinalMiss, FormulaFigure::FinalHit}) {
        EXPECT_EQ(b.lower[int(runs)], "32767");
        EXPECT_EQ(b.upper[int(runs)], "0");
    }
    EXPECT_EQ(b.lower[int(FormulaFigure::PValue)], "1");
    EXPECT_EQ(b.upper[int(FormulaFigure::PValue)], "0");
    EXPECT_EQ(b.lower[int(FormulaFigure::Excess)], "100");
    EXPECT_EQ(b.upper[int(FormulaFigure::Excess)], "-100");
    EXPECT_EQ(FormulaFilter::apply(kList, b, &selected), 0);
}
