#include "backtest/FormulaEquivalence.h"
#include "SyntheticHistory.h"
#include "formula/FormulaArithmetic.h"
#include "history/HistoryColumns.h"
#include "history/ParameterTable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace {

std::vector<CompiledFormula> compileAll(const QStringList& codes)
{
    std::vector<CompiledFormula> out;
    for (const QString& c : codes)
        out.push_back(CompiledFormula::compile(c));
    return out;
}

// Equivalence by brute force: the first formula with the same tokens on every draw.
std::vector<int> pairwise(const HistoryColumns& h, const std::vector<CompiledFormula>& formulas)
{
    std::vector<std::vector<std::uint8_t>> tokens;
    for (const CompiledFormula& f : formulas)
        tokens.push_back(PredictionTokens::ofFormula(h, f));
    std::vector<int> first(formulas.size(), -1);
    for (std::size_t i = 0; i < formulas.size(); ++i)
        for (std::size_t j = 0; j < i && formulas[i].isValid(); ++j)
            if (formulas[j].isValid() && tokens[j] == tokens[i]) {
                first[i] = int(j);
                break;
            }
    return first;
}

} // namespace

// The tokens follow the back-test's rounding and reduction: the block form (in doubles, for speed)
// gives the same token as the plain definition for every kind of value.
TEST(PredictionTokens, FollowTheBackTestsRoundingAndReduction)
{
    EXPECT_EQ(PredictionTokens::ofValue(7), 1 + 5); // 7 predicts 1
    EXPECT_EQ(PredictionTokens::ofValue(0), 0 + 5); // 0 predicts 0
    EXPECT_EQ(PredictionTokens::ofValue(6), 6 + 5);
    EXPECT_EQ(PredictionTokens::ofValue(-5), 1 + 5); // -5 predicts 1
    EXPECT_EQ(PredictionTokens::ofValue(-4), -4 + 5);
    EXPECT_EQ(PredictionTokens::ofValue(2.5), 2 + 5); // halves to even: 2
    EXPECT_EQ(PredictionTokens::ofValue(3.5), 4 + 5);
    EXPECT_EQ(PredictionTokens::ofValue(std::nan("")), PredictionTokens::kNoValue);
    EXPECT_EQ(PredictionTokens::ofValue(3e9), PredictionTokens::kNoValue);

    std::vector<double> values = {0,
                                  -0.0,
                                  0.5,
                                  -0.5,
                                  1.5,
                                  -1.5,
                                  2147483647.0,
                                  2147483647.4,
                                  2147483647.5,
                                  -2147483648.0,
                                  -2147483648.5,
                                  -2147483648.6,
                                  1e300,
                                  -1e300,
                                  std::numeric_limits<double>::infinity(),
                                  std::nan("")};
    std::mt19937_64 rng(9);
    for (int i = 0; i < 20000; ++i) {
        const double magnitude = std::pow(10.0, double(rng() % 10));
        values.push_back((double(rng() % 2000001) - 1000000.0) / 1000000.0 * magnitude);
        values.push_back(double(std::int64_t(rng() % 4000000) - 2000000) / 2);       // halves
        values.push_back(double(std::int64_t(rng() % 2000000000) - 1000000000) * 6); // whole multiples of 6
    }
    std::vector<std::uint8_t> fast(values.size());
    PredictionTokens::ofValues(values.data(), int(values.size()), fast.data());
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double x = values[i];
        int v = 0;
        const std::uint8_t expected = FormulaArithmetic::toInt32(x, &v)
                                          ? std::uint8_t(FormulaArithmetic::predictedNumber(v) + 5)
                                          : PredictionTokens::kNoValue;
        ASSERT_EQ(PredictionTokens::ofValue(x), expected) << x;
        ASSERT_EQ(fast[i], expected) << x;
    }
}

TEST(PredictionHash, SameSequenceSameHashHoweverSplit)
{
    std::mt19937 rng(4);
    std::vector<std::uint8_t> tokens(1000);
    for (std::uint8_t& t : tokens)
        t = std::uint8_t(rng() % 12 + 1);
    PredictionHash whole;
    whole.add(tokens.data(), int(tokens.size()));
    for (int piece : {1, 3, 16, 17, 255, 256}) {
        PredictionHash split;
        for (int i = 0; i < int(tokens.size()); i += piece)
            split.add(tokens.data() + i, std::min(piece, int(tokens.size()) - i));
        EXPECT_EQ(split.value(), whole.value()) << piece;
    }
    // One token changed, or one more token: another hash.
    std::vector<std::uint8_t> other = tokens;
    other[500] = other[500] == 1 ? 2 : 1;
    PredictionHash changed, longer;
    changed.add(other.data(), int(other.size()));
    longer.add(tokens.data(), int(tokens.size()));
    longer.add(tokens.data(), 1);
    EXPECT_NE(changed.value(), whole.value());
    EXPECT_NE(longer.value(), whole.value());
}

TEST(FormulaEquivalence, KeyRowsSpreadOverTheHistory)
{
    EXPECT_TRUE(FormulaEquivalence::keyRows(0).empty());
    for (int n : {1, 255, 256, 257, 2048, 2049, 5000, 32767}) {
        const auto rows = FormulaEquivalence::keyRows(n);
        ASSERT_FALSE(rows.empty()) << n;
        EXPECT_LE(int(rows.size()), FormulaEquivalence::kKeyBlocks);
        EXPECT_EQ(rows.front().first, 0) << n;
        EXPECT_EQ(rows.back().first + rows.back().count, n) << n; // the newest draw is sampled
        for (std::size_t i = 1; i < rows.size(); ++i)
            EXPECT_GE(rows[i].first, rows[i - 1].first + rows[i - 1].count) << n;
    }
    // Short histories are sampled whole.
    int covered = 0;
    for (const auto& r : FormulaEquivalence::keyRows(2048))
        covered += r.count;
    EXPECT_EQ(covered, 2048);
}

TEST(FormulaEquivalence, SamePredictionsOnEveryDraw)
{
    const HistoryColumns h(syntheticDraws(600, 3));
    // 0: first; 1: terms swapped and the constant 6 higher (the sum is never 0); 2: a different
    // formula; 3: invalid; 4: the same as 0 written with a multiple of 6; 5: equivalent to 2;
    // 6: differs from 0 where the value is 0 or below (0 predicts 0, 6 predicts 6);
    // 7: no value where 百位 equals 十位, like 8, but 8 differs there in nothing else.
    const QStringList codes = {"L1A+LT+3", "LT+L1A+9", "L1A+L2A",   "L1A++",       "L1A+LT+3+12",
                               "L2A+L1A",  "L1A-L2A",  "L1A-L2A+6", "6/(L1A-L2A)", "12/(2*L1A-2*L2A)"};
    const std::vector<CompiledFormula> formulas = compileAll(codes);
    for (int threads : {1, 2}) {
        const std::vector<int> first = FormulaEquivalence::firstEquivalents(h, formulas, threads);
        EXPECT_EQ(first, (std::vector<int>{-1, 0, -1, -1, 0, 2, -1, -1, -1, 8})) << threads;
        EXPECT_EQ(first, pairwise(h, formulas));
    }
}

// Formulas that agree on every sampled block but not elsewhere share a key and are told apart by
// the comparison on every draw.
TEST(FormulaEquivalence, DifferencesOutsideTheSampleAreFound)
{
    const int n = 20 * CompiledFormula::kBlockRows;
    std::vector<std::array<int, 3>> numbers(n);
    for (int r = 0; r < n; ++r)
        numbers[r] = {r % 6 + 1, r % 6 + 1, (r * 5) % 6 + 1};
    // Block 1 is never sampled (blocks 0, 2, 5, ... are); there 十位 differs from 百位 on one draw.
    std::vector<bool> sampled(20, false);
    for (const auto& r : FormulaEquivalence::keyRows(n))
        sampled[r.first / CompiledFormula::kBlockRows] = true;
    ASSERT_FALSE(sampled[1]);
    numbers[CompiledFormula::kBlockRows + 7][1] = numbers[CompiledFormula::kBlockRows + 7][0] % 6 + 1;
    const HistoryColumns h(drawsWithNumbers(numbers));
    const std::vector<CompiledFormula> formulas = compileAll({"L1A", "L2A", "L1A+6", "L2A+12"});
    EXPECT_EQ(FormulaEquivalence::key(h, formulas[0]), FormulaEquivalence::key(h, formulas[1]));
    EXPECT_EQ(FormulaEquivalence::firstEquivalents(h, formulas, 2), (std::vector<int>{-1, -1, 0, 1}));
    EXPECT_TRUE(
        FormulaEquivalence::samePredictions(h, formulas[2], PredictionTokens::ofFormula(h, formulas[0])));
    EXPECT_FALSE(
        FormulaEquivalence::samePredictions(h, formulas[1], PredictionTokens::ofFormula(h, formulas[0])));
}

// Random formulas built to repeat each other often, against the brute-force comparison.
TEST(FormulaEquivalence, MatchesPairwiseComparison)
{
    std::mt19937 rng(12);
    const HistoryColumns h(syntheticDraws(3000, 8));
    QStringList codes;
    const QStringList terms = {"L1A", "L2A", "L3A", "LH", "LT", "L1B"};
    for (int i = 0; i < 300; ++i) {
        QString c = terms[rng() % terms.size()] + '+' + terms[rng() % terms.size()];
        const int constant = int(rng() % 25) - 12;
        codes << c + (constant < 0 ? QString::number(constant) : '+' + QString::number(constant));
    }
    const std::vector<CompiledFormula> formulas = compileAll(codes);
    const std::vector<int> expected = pairwise(h, formulas);
    EXPECT_GT(std::count_if(expected.begin(), expected.end(), [](int f) { return f >= 0; }), 100);
    for (int threads : {1, 2})
        EXPECT_EQ(FormulaEquivalence::firstEquivalents(h, formulas, threads), expected) << threads;
    // Empty lists and histories.
    EXPECT_TRUE(FormulaEquivalence::firstEquivalents(h, {}).empty());
    // Without draws nothing can be told apart: no formula is called equivalent.
    EXPECT_EQ(FormulaEquivalence::firstEquivalents(HistoryColumns(), compileAll({"L1A", "L2A"})),
              (std::vector<int>{-1, -1}));
}

TEST(FormulaEquivalence, CancelAndProgress)
{
    const HistoryColumns h(syntheticDraws(500, 2));
    const std::vector<CompiledFormula> formulas(300, CompiledFormula::compile("L1A+LT+3"));
    std::atomic<bool> cancel{true};
    EXPECT_TRUE(FormulaEquivalence::firstEquivalents(h, formulas, 2, {}, &cancel).empty());
    int last = 0;
    const std::vector<int> first =
        FormulaEquivalence::firstEquivalents(h, formulas, 2, [&](int done, int total) {
            EXPECT_EQ(total, 300);
            EXPECT_GE(done, last);
            last = done;
        });
    EXPECT_EQ(last, 300);
    EXPECT_EQ(std::count(first.begin(), first.end(), 0), 299);
}
