#include "SearchTestSupport.h"

#include "formula/CompiledFormula.h"
#include "history/HistoryColumns.h"
#include "history/ParameterTable.h"
#include "search/FormulaGenerator.h"

#include <QSet>
#include <gtest/gtest.h>

#include <array>
#include <set>

namespace {

const FormulaKind kUnitsSingle{1, true};
const FormulaKind kTensGeneral{2, false};

} // namespace

TEST(SearchCandidate, FormsFollowTheChosenStyleAndKindWords)
{
    const SearchCandidate c = candidateOf({"LH", "LT"}, 3);
    EXPECT_EQ(c.codeForm(), "LH+LT+3");
    EXPECT_EQ(c.chineseForm(kUnitsSingle, true, ChineseFormStyle::Bracket),
              QStringLiteral("[个位单选杀]和数+跨度+3"));
    EXPECT_EQ(c.chineseForm(kUnitsSingle, true, ChineseFormStyle::NextDraw),
              QStringLiteral("和数+跨度+3=下期杀个位单选"));
    EXPECT_EQ(c.chineseForm(kTensGeneral, false, ChineseFormStyle::NextDraw),
              QStringLiteral("和数+跨度+3=下期生十位通选"));
    EXPECT_EQ(c.chineseForm(FormulaKind{3, false}, false, ChineseFormStyle::Bracket),
              QStringLiteral("[百位通选生]和数+跨度+3"));

    // A repeated parameter and a negative tail are valid formulas; "+-2" subtracts.
    const SearchCandidate repeated = candidateOf({"LH", "LH"}, -2);
    EXPECT_EQ(repeated.codeForm(), "LH+LH+-2");
    const std::vector<DrawRecord> draws = searchTestDraws(3, 1);
    const HistoryColumns history(draws);
    const CompiledFormula f = CompiledFormula::compile(repeated.codeForm());
    ASSERT_TRUE(f.isValid());
    EXPECT_EQ(f.evaluateRow(history, 2), 2 * draws[2].value("LH") - 2);
}

TEST(FormulaGenerator, GivenTailRoundsHalvesToEvenAndRefusesWhatDoesNotFitSixteenBits)
{
    struct Case
    {
        const char* text;
        int tail;
    };
    for (const Case& c : {Case{"0", 0}, Case{"abc", 0}, Case{"", 0}, Case{"7.5", 8}, Case{"2.5", 2},
                          Case{"3.5", 4}, Case{"-3", -3}, Case{" 12 ", 12}, Case{"-2.5", -2},
                          Case{"32767", 32767}, Case{"-32768.5", -32768}}) {
        int tail = 99;
        QString error;
        EXPECT_TRUE(FormulaGenerator::givenTail(QString::fromLatin1(c.text), &tail, &error)) << c.text;
        EXPECT_EQ(tail, c.tail) << c.text;
    }
    for (const char* text : {"32767.5", "40000", "-32769", "1e9"}) {
        int tail = 0;
        QString error;
        EXPECT_FALSE(FormulaGenerator::givenTail(QString::fromLatin1(text), &tail, &error)) << text;
        EXPECT_TRUE(error.contains(QStringLiteral("超出范围"))) << error.toStdString();
    }
}

TEST(FormulaGenerator, BuildsTheRequestedShapeWithGivenOrRandomTails)
{
    FormulaGenerator generator(42, 0);
    SearchCandidate c;
    generator.next({2, false, 0}, &c);
    EXPECT_EQ(c.operandCount, 2);
    EXPECT_EQ(c.tail, 0);
    EXPECT_EQ(c.codeForm().count(QLatin1Char('+')), 2);
    EXPECT_TRUE(c.codeForm().endsWith(QStringLiteral("+0")));

    generator.next({8, false, -3}, &c);
    EXPECT_EQ(c.operandCount, 8);
    EXPECT_TRUE(c.codeForm().endsWith(QStringLiteral("+-3")));

    // Counts outside the scroll bar's range are held to 2..24.
    generator.next({1, false, 0}, &c);
    EXPECT_EQ(c.operandCount, 2);
    generator.next({30, false, 0}, &c);
    EXPECT_EQ(c.operandCount, 24);

    std::array<int, 10> tails{};
    for (int i = 0; i < 5000; ++i) {
        generator.next({3, true, 0}, &c);
        ASSERT_GE(c.tail, 0);
        ASSERT_LE(c.tail, 9);
        ++tails[c.tail];
    }
    for (int count : tails)
        EXPECT_GT(count, 350); // 500 expected for each digit
}

TEST(FormulaGenerator, ParametersAreUniformAndMayRepeat)
{
    FormulaGenerator generator(7, 3);
    std::array<int, kParameterCount> counts{};
    SearchCandidate c;
    int withRepeat = 0;
    constexpr int kCandidates = 77000;
    for (int i = 0; i < kCandidates; ++i) {
        generator.next({10, false, 0}, &c);
        std::set<int> distinct;
        for (int k = 0; k < c.operandCount; ++k) {
            ++counts[c.operands[k]];
            distinct.insert(c.operands[k]);
        }
        withRepeat += int(distinct.size()) < c.operandCount;
    }
    // 10,000 expected per parameter; a chi-square far beyond its 76 degrees of freedom means bias.
    double chiSquare = 0;
    for (int n : counts) {
        EXPECT_GT(n, 9400);
        EXPECT_LT(n, 10600);
        chiSquare += (n - 10000.0) * (n - 10000.0) / 10000.0;
    }
    EXPECT_LT(chiSquare, 150);
    // Ten draws out of 77 repeat one in about half the candidates.
    EXPECT_GT(withRepeat, kCandidates / 4);
}

TEST(FormulaGenerator, AStreamIsReproducibleAndStreamsDiffer)
{
    auto codes = [](std::uint64_t seed, std::uint64_t stream) {
        FormulaGenerator g(seed, stream);
        QStringList out;
        SearchCandidate c;
        for (int i = 0; i < 20; ++i) {
            g.next({8, true, 0}, &c);
            out << c.codeForm();
        }
        return out;
    };
    EXPECT_EQ(codes(5, 1), codes(5, 1));
    EXPECT_NE(codes(5, 1), codes(5, 2));
    EXPECT_NE(codes(5, 1), codes(6, 1));
    const QStringList one = codes(5, 1);
    EXPECT_EQ(QSet<QString>(one.begin(), one.end()).size(), one.size()); // successive candidates differ
    EXPECT_NE(FormulaGenerator::freshSeed(), FormulaGenerator::freshSeed());
}

TEST(FormulaGenerator, EveryCodeFormCompilesToTheSumItStandsFor)
{
    const std::vector<DrawRecord> draws = searchTestDraws(5, 2);
    const HistoryColumns history(draws);
    FormulaGenerator generator(11, 0);
    SearchCandidate c;
    for (int i = 0; i < 500; ++i) {
        generator.next({2 + i % 23, i % 2 == 0, -(i % 7)}, &c);
        const CompiledFormula f = CompiledFormula::compile(c.codeForm());
        ASSERT_TRUE(f.isValid()) << c.codeForm().toStdString();
        int sum = c.tail;
        for (int k = 0; k < c.operandCount; ++k)
            sum += draws[4].value(c.operands[k]);
        EXPECT_EQ(f.evaluateRow(history, 4), sum) << c.codeForm().toStdString();
    }
}
