#include "search/SearchSettings.h"
#include "search/KindSlot.h"
#include "search/OptimumSearch.h"
#include "search/SchemePlan.h"
#include "search/SchemeReplacement.h"
#include "store/Settings.h"

#include <QSettings>
#include <gtest/gtest.h>

namespace {

class SearchSettingsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Pelq"), QStringLiteral("Pelq"))
            .clear();
    }
    Settings m_settings;
    SearchSettings m_search{&m_settings};
};

SchemeTargets targetsOf(std::array<std::optional<double>, 7> t, std::array<int, 7> counts = {})
{
    return {t, counts};
}

} // namespace

TEST(KindSlot, SlotsNameTheFiveKindsAndTheSchemeSkipsSlotFour)
{
    EXPECT_EQ(KindSlot::kind(1), (FormulaKind{1, true}));
    EXPECT_EQ(KindSlot::kind(3), (FormulaKind{3, true}));
    EXPECT_EQ(KindSlot::kind(5), (FormulaKind{2, false}));
    EXPECT_EQ(KindSlot::kind(6), (FormulaKind{3, false}));
    EXPECT_FALSE(KindSlot::kind(4));
    EXPECT_FALSE(KindSlot::kind(7));
    for (const FormulaKind& k : FormulaKind::all())
        EXPECT_EQ(KindSlot::kind(KindSlot::of(k)), k);
    std::vector<int> visited;
    for (int s = KindSlot::kFirst; s != KindSlot::kFinished; s = KindSlot::next(s))
        visited.push_back(s);
    EXPECT_EQ(visited, (std::vector<int>{1, 2, 3, 5, 6}));
}

TEST_F(SearchSettingsTest, WithNothingStoredTheDefaultTablesApply)
{
    EXPECT_EQ(m_search.ranges(0, true).texts(),
              (QStringList{"94.6", "100", "0", "2", "48", "32768", "0", "0", "32", "32768"}));
    EXPECT_EQ(m_search.ranges(2, true).texts(), m_search.ranges(0, true).texts());
    EXPECT_EQ(m_search.ranges(0, false).texts(),
              (QStringList{"12", "100", "0", "28", "2", "32768", "0", "0", "2", "32768"}));
    EXPECT_EQ(m_search.ranges(4, true).texts(),
              (QStringList{"86", "100", "0", "2", "32", "32768", "0", "0", "6", "32768"}));
    EXPECT_EQ(m_search.ranges(5, true).texts(),
              (QStringList{"80", "100", "0", "3", "16", "32768", "0", "0", "8", "32768"}));
    EXPECT_EQ(m_search.ranges(4, false).texts(),
              (QStringList{"26", "100", "0", "16", "3", "32768", "0", "0", "2", "32768"}));
    EXPECT_EQ(m_search.ranges(5, false).texts(),
              (QStringList{"34", "100", "0", "12", "4", "32768", "0", "0", "2", "32768"}));
    EXPECT_EQ(m_search.ranges(3, true).texts(), QStringList(10, "0"));
    for (int slot = 1; slot <= 6; ++slot) {
        EXPECT_EQ(m_search.operandCount(slot), 8);
        EXPECT_EQ(m_search.schemeTargetText(slot, true), "60");
        EXPECT_EQ(m_search.schemeTargetText(slot, false), "60");
    }
}

TEST_F(SearchSettingsTest, ValuesLiveUnderTheirSectionsAndKeys)
{
    m_search.saveRanges(4, false, {"30.5x", "100", "0", "9", "3", "32768", "0", "0", "2", "abc"});
    EXPECT_EQ(m_settings.readString("4", "10", "-"), "30.5");
    EXPECT_EQ(m_settings.readString("4", "13", "-"), "9");
    EXPECT_EQ(m_settings.readString("4", "19", "-"), "0");
    EXPECT_EQ(m_settings.readString("4", "0", "-"), "-"); // the kill ranges are untouched
    EXPECT_FLOAT_EQ(m_search.ranges(4, false).bounds[0], 30.5f);
    EXPECT_EQ(m_search.ranges(4, true).texts()[0], "86");

    // A stored text that is not a number reads as 0.
    m_settings.writeString("1", "4", "many");
    EXPECT_FLOAT_EQ(m_search.ranges(1, true).bounds[4], 0);

    m_search.saveOperandCount(5, 12);
    EXPECT_EQ(m_settings.readString("5", "text2", "-"), "12");
    EXPECT_EQ(m_search.operandCount(5), 12);
    m_settings.writeString("2", "text2", "30");
    EXPECT_EQ(m_search.operandCount(2), 24);
    m_settings.writeString("2", "text2", "1");
    EXPECT_EQ(m_search.operandCount(2), 2);
    m_settings.writeString("2", "text2", "x");
    EXPECT_EQ(m_search.operandCount(2), 8);

    m_search.saveSchemeTarget(3, false, "25 formulas");
    EXPECT_EQ(m_settings.readString("SSSZ", "13", "-"), "25");
    EXPECT_EQ(m_search.schemeTargetText(3, false), "25");
    EXPECT_EQ(m_search.schemeTargetText(3, true), "60");

    // "跳过等价公式": off unless stored on.
    EXPECT_FALSE(m_search.skipEquivalents());
    m_search.saveSkipEquivalents(true);
    EXPECT_EQ(m_settings.readString("GSGL", "TGDJ", "-"), "True");
    EXPECT_TRUE(m_search.skipEquivalents());
    m_settings.writeString("GSGL", "TGDJ", "maybe");
    EXPECT_FALSE(m_search.skipEquivalents());
}

TEST(SchemePlan, TotalsFollowTheCountMode)
{
    // "调用设置" with nothing stored: 60 for slots 1, 2, 3, 5, 6 and 0 for slot 4.
    const auto sixty = targetsOf({std::nullopt, 60, 60, 60, 0, 60, 60}, {0, 70, 10, 0, 0, 0, 80});
    EXPECT_EQ(SchemePlan::stillToFind(sixty, CountMode::NewFormulas), 300);
    // Held: slot 1 holds 70 (contributes 0), slot 2 10 (50), slot 6 80 (0).
    EXPECT_EQ(SchemePlan::stillToFind(sixty, CountMode::HeldFormulas), 50 + 60 + 60);
    EXPECT_EQ(SchemePlan::totalHeld(170, 160, true), 330);
    EXPECT_EQ(SchemePlan::totalHeld(170, 160, false), 170);
    // A box without a number counts 0; the sum is a 16-bit figure.
    EXPECT_EQ(SchemePlan::stillToFind(targetsOf({std::nullopt, 5, std::nullopt, 5, 0, 5, 5}),
                                      CountMode::NewFormulas),
              20);
    EXPECT_EQ(
        SchemePlan::stillToFind(targetsOf({std::nullopt, 30000, 30000, 0, 0, 0, 0}), CountMode::NewFormulas),
        32767);
}

TEST(SchemePlan, KindTargetsSkipMissingNumbersFullKindsAndSlotFour)
{
    const auto t = targetsOf({std::nullopt, 60, std::nullopt, 0, 9, 60, 60}, {0, 70, 0, 0, 0, 59, 0});
    EXPECT_EQ(SchemePlan::kindTarget(1, t, CountMode::NewFormulas), 60);
    EXPECT_FALSE(SchemePlan::kindTarget(1, t, CountMode::HeldFormulas)); // holds 70 of 60
    EXPECT_FALSE(SchemePlan::kindTarget(2, t, CountMode::NewFormulas));  // no number
    EXPECT_EQ(SchemePlan::kindTarget(3, t, CountMode::NewFormulas), 0);  // still one candidate
    EXPECT_FALSE(SchemePlan::kindTarget(3, t, CountMode::HeldFormulas));
    EXPECT_FALSE(SchemePlan::kindTarget(4, t, CountMode::NewFormulas));
    EXPECT_EQ(SchemePlan::kindTarget(5, t, CountMode::HeldFormulas), 1);
    EXPECT_EQ(SchemePlan::kindTarget(6, t, CountMode::HeldFormulas), 60);
}

// A replacing all-kinds search names the kinds it will search that hold formulas, in its order;
// held counts leave out the kinds already full.
TEST(SchemeReplacement, NamesTheKindsSearchedThatHoldFormulas)
{
    const auto t = targetsOf({std::nullopt, 60, std::nullopt, 0, 9, 60, 60}, {0, 17030, 5, 7, 99, 0, 40});
    std::vector<SchemeReplacement::Loss> losses = SchemeReplacement::losses(t, CountMode::NewFormulas);
    ASSERT_EQ(losses.size(), 3u);
    EXPECT_EQ(SchemeReplacement::lines(losses),
              (QStringList{QStringLiteral("个位单选：将删除已有的 17030 条公式（生码和杀码）"),
                           QStringLiteral("百位单选：将删除已有的 7 条公式（生码和杀码）"),
                           QStringLiteral("百位通选：将删除已有的 40 条公式（生码和杀码）")}));
    const QStringList question = SchemeReplacement::question(losses).split('\n');
    ASSERT_EQ(question.size(), 4);
    EXPECT_TRUE(question.last().endsWith(QStringLiteral("确定开始方案搜索吗？")));
    EXPECT_TRUE(SchemeReplacement::refusal(losses).endsWith(QStringLiteral("（确认请加 --yes）")));
    losses = SchemeReplacement::losses(t, CountMode::HeldFormulas);
    ASSERT_EQ(losses.size(), 1u);
    EXPECT_EQ(losses[0].kind, (FormulaKind{3, false}));
    EXPECT_EQ(losses[0].stored, 40);
    EXPECT_TRUE(
        SchemeReplacement::losses(targetsOf({}, {0, 5, 5, 5, 5, 5, 5}), CountMode::NewFormulas).empty());
}

TEST(OptimumSearch, EachFigureMovesHalfwayTowardsABetterSample)
{
    auto stats = [](float rate, int maxMiss, int maxHit, int finalMiss, int finalHit) {
        FormulaStats s;
        s.rate = rate;
        s.maxMissRun = maxMiss;
        s.maxHitRun = maxHit;
        s.finalMissRun = finalMiss;
        s.finalHitRun = finalHit;
        return s;
    };
    OptimumFigures best;
    OptimumSearch::fold(stats(80, 4, 10, 2, 0), true, &best);
    EXPECT_FLOAT_EQ(best.rate, 80);
    EXPECT_FLOAT_EQ(best.finalHitRun, 0);
    // Worse in every figure: nothing moves.
    OptimumSearch::fold(stats(70, 6, 5, 3, 0), false, &best);
    EXPECT_FLOAT_EQ(best.rate, 80);
    EXPECT_FLOAT_EQ(best.maxMissRun, 4);
    EXPECT_FLOAT_EQ(best.maxHitRun, 10);
    EXPECT_FLOAT_EQ(best.finalMissRun, 2);
    // Better in every figure: halfway each.
    OptimumSearch::fold(stats(90, 1, 20, 0, 5), false, &best);
    EXPECT_FLOAT_EQ(best.rate, 85);
    EXPECT_FLOAT_EQ(best.maxMissRun, 2.5f);
    EXPECT_FLOAT_EQ(best.maxHitRun, 15);
    EXPECT_FLOAT_EQ(best.finalMissRun, 1);
    EXPECT_FLOAT_EQ(best.finalHitRun, 2.5f);
}

TEST(OptimumSearch, TheOptimumFillsFiveBoxesAndLeavesTheOthers)
{
    QStringList boxes{"a", "b", "c", "d", "e", "f", "g", "h", "i", "j"};
    OptimumFigures best{95.25f, 2.5f, 40.4f, 0.5f, 2.5f};
    OptimumSearch::writeInto(best, &boxes);
    EXPECT_EQ(boxes, (QStringList{"95.25", "b", "c", "3", "40", "f", "g", "1", "3", "j"}));
    best.finalHitRun = 0.4f;
    OptimumSearch::writeInto(best, &boxes);
    EXPECT_EQ(boxes[8], "1");
    best.finalHitRun = 1.4f;
    OptimumSearch::writeInto(best, &boxes);
    EXPECT_EQ(boxes[8], "1");
}
