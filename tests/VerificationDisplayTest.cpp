#include "backtest/VerificationDisplay.h"
#include "backtest/CalculationSteps.h"
#include "history/DrawDeriver.h"
#include "history/HistoryColumns.h"
#include "history/ParameterTable.h"

#include <QDate>
#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

const FormulaKind k1D{1, true};

// Draws with only the three numbers set.
HistoryColumns numbers(const std::vector<std::array<int, 3>>& draws)
{
    std::vector<DrawRecord> records(draws.size());
    for (std::size_t i = 0; i < draws.size(); ++i)
        for (int p = 0; p < 3; ++p)
            records[i].values[p] = static_cast<int16_t>(draws[i][p]);
    return HistoryColumns(records);
}

VerificationBlock single(const HistoryColumns& h, const char* code, bool kill, VerificationMode mode)
{
    return VerificationDisplay::compute(h, {CompiledFormula::compile(QString::fromLatin1(code))}, k1D, kill,
                                        mode, 1);
}

using C = VerificationBlock::Colour;

std::vector<C> colours(const VerificationBlock& b, int formula = 0)
{
    std::vector<C> out;
    for (int r = 0; r < b.drawCount; ++r)
        out.push_back(b.colour(formula, r));
    return out;
}

std::vector<std::optional<int>> texts(const VerificationBlock& b, int formula = 0)
{
    std::vector<std::optional<int>> out;
    for (int r = 0; r < b.drawCount; ++r)
        out.push_back(b.prediction(formula, r));
    return out;
}

// A draw record with the given parameter values (codes), everything else 0.
DrawRecord draw(const char* issue, std::initializer_list<std::pair<const char*, int>> values)
{
    DrawRecord d;
    d.issue = QString::fromLatin1(issue);
    for (const auto& [code, v] : values)
        d.values[ParameterTable::indexOf(QString::fromLatin1(code))] = static_cast<int16_t>(v);
    return d;
}

} // namespace

// --- Colours and texts of the two display modes ----------------------------------------------

TEST(VerificationDisplay, PreCanshuJudgesEachRowByItsOwnDraw)
{
    // Keep formula "4" at 个位: right on draws 2 and 3 (个位 4), wrong on draw 4.
    const HistoryColumns h = numbers({{1, 1, 1}, {1, 1, 4}, {1, 1, 4}, {1, 1, 2}});
    const VerificationBlock b = single(h, "4", false, VerificationMode::PreCanshu);
    EXPECT_EQ(colours(b), (std::vector<C>{C::White, C::Hit, C::Hit, C::Miss}));
    EXPECT_EQ(texts(b), (std::vector<std::optional<int>>{std::nullopt, 4, 4, 4}));
}

TEST(VerificationDisplay, CanshuJudgesEachRowByTheNextDraw)
{
    const HistoryColumns h = numbers({{1, 1, 1}, {1, 1, 4}, {1, 1, 4}, {1, 1, 2}});
    const VerificationBlock b = single(h, "4", false, VerificationMode::Canshu);
    // Rows 1 and 2 judged by draws 2 and 3, row 3 by draw 4; the newest row waits.
    EXPECT_EQ(colours(b), (std::vector<C>{C::Hit, C::Hit, C::Miss, C::NoColour}));
    EXPECT_EQ(texts(b), (std::vector<std::optional<int>>{4, 4, 4, 4}));
}

TEST(VerificationDisplay, ModesShowThePreviousOrTheOwnValue)
{
    // Kill formula L3A + 1 at 个位: predicts the number after this draw's 个位.
    const HistoryColumns h = numbers({{1, 1, 1}, {1, 1, 2}, {1, 1, 6}, {1, 1, 1}});
    const VerificationBlock pre = single(h, "L3A+1", true, VerificationMode::PreCanshu);
    EXPECT_EQ(texts(pre), (std::vector<std::optional<int>>{std::nullopt, 2, 3, 1}));
    // Draw 2's 个位 is 2, which the kill prediction 2 named: wrong; the others right.
    EXPECT_EQ(colours(pre), (std::vector<C>{C::White, C::Miss, C::Hit, C::Miss}));
    const VerificationBlock now = single(h, "L3A+1", true, VerificationMode::Canshu);
    EXPECT_EQ(texts(now), (std::vector<std::optional<int>>{2, 3, 1, 2}));
    EXPECT_EQ(colours(now), (std::vector<C>{C::Miss, C::Hit, C::Miss, C::NoColour}));
}

TEST(VerificationDisplay, EdgeRowsAndValues)
{
    // One draw: nothing judges it; PreCanshu white and empty, Canshu green with the prediction.
    const HistoryColumns one = numbers({{1, 2, 3}});
    EXPECT_EQ(colours(single(one, "3", false, VerificationMode::PreCanshu)), std::vector<C>{C::White});
    EXPECT_EQ(texts(single(one, "3", false, VerificationMode::PreCanshu)),
              std::vector<std::optional<int>>{std::nullopt});
    EXPECT_EQ(colours(single(one, "3", false, VerificationMode::Canshu)), std::vector<C>{C::Miss});
    EXPECT_EQ(texts(single(one, "3", false, VerificationMode::Canshu)), std::vector<std::optional<int>>{3});

    // Values at or below 0 predict 0 .. -4; a keep prediction of 0 is always wrong.
    const HistoryColumns h = numbers({{1, 1, 1}, {1, 1, 1}});
    const VerificationBlock neg = single(h, "0-3", false, VerificationMode::Canshu);
    EXPECT_EQ(texts(neg), (std::vector<std::optional<int>>{-3, -3}));
    EXPECT_EQ(colours(neg)[0], C::Miss);

    // Halves: the history rounds the value first (2.5 -> 2), the current-draw text applies MOD to
    // x − 1 (1.5 -> 2, giving 3).
    const VerificationBlock half = single(h, "5/2", false, VerificationMode::PreCanshu);
    EXPECT_EQ(texts(half)[1], 2);
    EXPECT_EQ(texts(single(h, "5/2", false, VerificationMode::Canshu))[1], 3);

    // No value on any draw (LT is 0): empty cells, judged wrong.
    const VerificationBlock none = single(h, "1/LT", true, VerificationMode::PreCanshu);
    EXPECT_EQ(texts(none), (std::vector<std::optional<int>>{std::nullopt, std::nullopt}));
    EXPECT_EQ(colours(none), (std::vector<C>{C::White, C::Miss}));

    // An invalid formula's column stays empty and uncoloured.
    const VerificationBlock invalid = single(h, "L1A+", true, VerificationMode::Canshu);
    EXPECT_EQ(texts(invalid), (std::vector<std::optional<int>>{std::nullopt, std::nullopt}));
    EXPECT_EQ(colours(invalid), (std::vector<C>{C::NoColour, C::NoColour}));
}

// --- Blocks of 500 formulas ------------------------------------------------------------------

TEST(VerificationDisplay, ScrollValuesChooseBlocksOf500)
{
    EXPECT_EQ(VerificationBlock::scrollMaximum(0), 1);
    EXPECT_EQ(VerificationBlock::scrollMaximum(1), 1);
    EXPECT_EQ(VerificationBlock::scrollMaximum(500), 1);
    EXPECT_EQ(VerificationBlock::scrollMaximum(501), 501);
    EXPECT_EQ(VerificationBlock::scrollMaximum(1000), 501);
    EXPECT_EQ(VerificationBlock::scrollMaximum(1001), 1001);
    for (auto [value, first] :
         {std::pair{0, 1}, {1, 1}, {2, 1}, {500, 1}, {501, 501}, {777, 501}, {1000, 501}, {1001, 1001}})
        EXPECT_EQ(VerificationBlock::blockFirst(value), first) << value;
    EXPECT_EQ(VerificationBlock::blockSize(1, 120), 120);
    EXPECT_EQ(VerificationBlock::blockSize(1, 1200), 500);
    EXPECT_EQ(VerificationBlock::blockSize(501, 1200), 500);
    EXPECT_EQ(VerificationBlock::blockSize(1001, 1200), 200);
    EXPECT_EQ(VerificationBlock::blockSize(1501, 1200), 0);
    // The scroll maximum always shows the last block.
    for (int n : {1, 499, 500, 501, 1499, 32767})
        EXPECT_GT(VerificationBlock::blockSize(VerificationBlock::scrollMaximum(n), n), 0) << n;

    EXPECT_EQ(VerificationBlock::header(1), "公式1");
    EXPECT_EQ(VerificationBlock::header(99), "公式99");
    EXPECT_EQ(VerificationBlock::header(100), "式100");
    EXPECT_EQ(VerificationBlock::header(501), "式501");
}

TEST(VerificationDisplay, BlockHoldsTheFormulasItsHeadersName)
{
    // Formula n is the constant n, so its prediction ((n − 1) MOD 6) + 1 tells which formula a
    // column really shows.
    std::vector<CompiledFormula> subset;
    for (int n = 1; n <= 1100; ++n)
        subset.push_back(CompiledFormula::compile(QString::number(n)));
    const HistoryColumns h = numbers({{1, 1, 1}, {2, 2, 2}, {3, 3, 3}});
    for (int value : {1, 501, 600, 1001, 1100}) {
        const VerificationBlock b =
            VerificationDisplay::compute(h, subset, k1D, true, VerificationMode::Canshu, value);
        EXPECT_EQ(b.firstNumber, VerificationBlock::blockFirst(value));
        EXPECT_EQ(b.formulaCount, value > 1000 ? 100 : 500);
        EXPECT_EQ(b.drawCount, 3);
        for (int i : {0, 1, 98, b.formulaCount - 1}) {
            const int n = b.numberAt(i);
            EXPECT_EQ(b.prediction(i, 2), (n - 1) % 6 + 1) << "value " << value << " column " << i;
        }
    }
    // An empty subset shows no formula columns.
    EXPECT_TRUE(VerificationDisplay::compute(h, {}, k1D, true, VerificationMode::Canshu, 1).isEmpty());
}

// --- The calculation steps -------------------------------------------------------------------

TEST(CalculationSteps, StepTextKeepsTheFormulasShape)
{
    const std::vector<DrawRecord> draws{
        draw("160121001", {{"L1A", 3}, {"L2A", 5}, {"L3A", 6}, {"LT", 5}, {"L3D", 2}, {"L1Q", -2}})};
    const HistoryColumns h(draws);
    auto steps = [&h](const char* code) {
        return CalculationSteps::stepText(QString::fromLatin1(code), h, 0);
    };
    EXPECT_EQ(steps("L1A+LT+(L3D MOD 3)+7"), "3+5+(2 MOD 3)+7");
    EXPECT_EQ(steps("L1A*L2A-L3A/2"), "3*5-6/2");
    EXPECT_EQ(steps("-L1A+20"), "-3+20");
    EXPECT_EQ(steps("-(L1A-L2A)*2"), "-(3-5)*2");
    EXPECT_EQ(steps("(L1A+L2A) mod 4"), "(3+5) mod 4");
    EXPECT_EQ(steps("l1a + lt"), "3 + 5");
    EXPECT_EQ(steps("L1Q+1"), "(-2)+1");
    EXPECT_EQ(steps("L1Q*L1Q"), "(-2)*(-2)");
    EXPECT_EQ(steps("12"), "12");

    const std::vector<CalculationStepRow> rows = CalculationSteps::build(draws, h, "-(L1A-L2A)*2 MOD 3");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].issue, "160121001");
    EXPECT_EQ(rows[0].numbers, "356");
    EXPECT_EQ(rows[0].steps, "-(3-5)*2 MOD 3");
    EXPECT_EQ(rows[0].value, "1"); // 4 MOD 3
}

TEST(CalculationSteps, ValueIsTheFormulasTrueValue)
{
    const std::vector<DrawRecord> draws{draw("1", {{"L1A", 3}, {"L2A", 5}, {"L3A", 6}, {"LT", 0}})};
    const HistoryColumns h(draws);
    auto value = [&](const char* code) {
        return CalculationSteps::build(draws, h, QString::fromLatin1(code)).front().value;
    };
    // Shapes the old "+"-only walk summed wrongly.
    EXPECT_EQ(value("L1A*L2A-L3A/2"), "12");
    EXPECT_EQ(value("-L1A+20"), "17");
    EXPECT_EQ(value("(L1A+L2A) MOD 4"), "0");
    EXPECT_EQ(value("L2A/2"), "2.5");
    EXPECT_EQ(value("L1A/L2A"), "0.6");
    EXPECT_EQ(value("L1A-L3A*L2A"), "-27");
    EXPECT_EQ(value("L1A*1000*1000"), "3000000"); // beyond 16 bits
    EXPECT_EQ(value("L1A/LT"), "无法计算");
    EXPECT_EQ(value("L1A MOD LT"), "无法计算");
    EXPECT_EQ(value("L1A+"), "无法计算");
}

TEST(CalculationSteps, StepTextEvaluatesToTheValueOnRealDraws)
{
    // Every draw parameter derived; random formulas of every shape. The step text, read as a formula
    // of numbers only, must give the same value as the formula itself.
    std::mt19937 rng(7);
    std::vector<DrawRecord> draws;
    PreviousDraw previous;
    for (int i = 0; i < 40; ++i) {
        DrawInput in;
        in.issue = QDate(2016, 1, 21).toString("yyMMdd") + QString::asprintf("%03d", i + 1);
        in.numbers = {int(rng() % 6) + 1, int(rng() % 6) + 1, int(rng() % 6) + 1};
        in.drawsPerDay = 78;
        DrawRecord r;
        QString error;
        ASSERT_TRUE(DrawDeriver::derive(in, previous, &r, &error)) << error.toStdString();
        previous = PreviousDraw::of(r);
        draws.push_back(r);
    }
    const HistoryColumns h(draws);
    const char* const ops[] = {"+", "-", "*", "/", " MOD "};
    for (int f = 0; f < 200; ++f) {
        QString code;
        const int terms = 2 + int(rng() % 4);
        for (int t = 0; t < terms; ++t) {
            if (t > 0)
                code += QString::fromLatin1(ops[rng() % 5]);
            QString term = rng() % 4 == 0 ? QString::number(rng() % 10 + 1)
                                          : ParameterTable::code(int(rng() % kParameterCount));
            if (rng() % 5 == 0)
                term = "-" + term;
            if (rng() % 4 == 0)
                term = "(" + term + "+" + ParameterTable::code(int(rng() % kParameterCount)) + ")";
            code += term;
        }
        const CompiledFormula formula = CompiledFormula::compile(code);
        ASSERT_TRUE(formula.isValid()) << code.toStdString();
        const std::vector<CalculationStepRow> rows = CalculationSteps::build(draws, h, code);
        ASSERT_EQ(rows.size(), draws.size());
        for (int r = 0; r < h.drawCount(); ++r) {
            const CompiledFormula steps = CompiledFormula::compile(rows[r].steps);
            ASSERT_TRUE(steps.isValid()) << rows[r].steps.toStdString();
            const double expected = formula.evaluateRow(h, r);
            const double fromSteps = steps.evaluateRow(h, r);
            if (std::isnan(expected))
                EXPECT_TRUE(std::isnan(fromSteps)) << code.toStdString();
            else
                EXPECT_DOUBLE_EQ(fromSteps, expected)
                    << code.toStdString() << " -> " << rows[r].steps.toStdString();
            EXPECT_EQ(rows[r].value, CalculationSteps::valueText(expected));
        }
    }
}
