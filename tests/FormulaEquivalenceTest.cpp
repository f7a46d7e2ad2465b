#include "backtest/FormulaEquivalence.h"
#include "SyntheticHistory.h"
#include "backtest/NextDrawCalculation.h"
#include "formula/FormulaArithmetic.h"
#include "history/HistoryColumns.h"
#include "history/ParameterTable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <random>
#include <set>

namespace {

constexpr PredictionTokens::Reduction kNumber = PredictionTokens::Reduction::Number;
constexpr PredictionTokens::Reduction kDigit = PredictionTokens::Reduction::NumberAndDigit;

std::vector<CompiledFormula> compileAll(const QStringList& codes)
{
    std::vector<CompiledFormula> out;
    for (const QString& c : codes)
        out.push_back(CompiledFormula::compile(c));
    return out;
}

// Equivalence by brute force: the first formula with the same tokens on every draw.
std::vector<int> pairwise(const HistoryColumns& h, const std::vector<CompiledFormula>& formulas,
                          PredictionTokens::Reduction reduction = kNumber)
{
    std::vector<std::vector<std::uint8_t>> tokens;
    for (const CompiledFormula& f : formulas)
        tokens.push_back(PredictionTokens::ofFormula(h, f, reduction));
    std::vector<int> first(formulas.size(), -1);
    for (std::size_t i = 0; i < formulas.size(); ++i)
        for (std::size_t j = 0; j < i && formulas[i].isValid(); ++j)
            if (formulas[j].isValid() && tokens[j] == tokens[i]) {
                first[i] = int(j);
                break;
            }
    return first;
}

// Halves, the ends of the 32-bit range, huge values, infinities, NaN and random values of every size.
std::vector<double> awkwardValues()
{
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
        values.push_back(double(std::int64_t(rng() % 140000000) - 70000000) * 30);   // whole multiples of 30
        values.push_back(double(std::int64_t(rng() % 140000000) - 70000000) * 30 + 1); // next to them
    }
    return values;
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

    const std::vector<double> values = awkwardValues();
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

// A 单选 token stands for the pair (back-test number, vote digit) of the value as the back-test and
// the next-draw calculation round it: equal tokens exactly when both agree, and the block form
// agrees with the plain one.
TEST(PredictionTokens, DigitTokensCarryTheNumberAndTheVote)
{
    std::map<std::pair<int, int>, std::uint8_t> tokenOfPair;
    std::set<std::uint8_t> tokens;
    for (long long v = -400; v <= 400; ++v) {
        const int number = FormulaArithmetic::predictedNumber(int(v));
        const int digit = *FormulaArithmetic::predictedDigit(double(v));
        const std::uint8_t t = PredictionTokens::ofInteger(v, kDigit);
        ASSERT_GE(t, 1);
        ASSERT_LT(t, PredictionTokens::kNoDigitValue);
        const auto [it, inserted] = tokenOfPair.emplace(std::pair{number, digit}, t);
        ASSERT_EQ(it->second, t) << v; // one pair, one token
        if (inserted) {
            ASSERT_TRUE(tokens.insert(t).second) << v; // one token, one pair
        }
    }
    EXPECT_EQ(tokens.size(), 60u);
    // 3 and 9 are one number for the back-test but two votes; 3 and 33 are neither.
    EXPECT_EQ(PredictionTokens::ofInteger(3), PredictionTokens::ofInteger(9));
    EXPECT_NE(PredictionTokens::ofInteger(3, kDigit), PredictionTokens::ofInteger(9, kDigit));
    EXPECT_EQ(PredictionTokens::ofInteger(3, kDigit), PredictionTokens::ofInteger(33, kDigit));
    // 1 and -29 share the remainder 0 by 30 but predict 1 against 1 and vote 1 against -9.
    EXPECT_NE(PredictionTokens::ofInteger(1, kDigit), PredictionTokens::ofInteger(-29, kDigit));
    EXPECT_EQ(PredictionTokens::ofValue(2.5, kDigit),
              PredictionTokens::ofInteger(2, kDigit)); // halves to even
    EXPECT_EQ(PredictionTokens::ofValue(std::nan(""), kDigit), PredictionTokens::kNoDigitValue);
    EXPECT_EQ(PredictionTokens::ofValue(3e9, kDigit), PredictionTokens::kNoDigitValue);

    const std::vector<double> values = awkwardValues();
    std::vector<std::uint8_t> fast(values.size());
    PredictionTokens::ofValues(values.data(), int(values.size()), fast.data(), kDigit);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double x = values[i];
        int v = 0;
        const std::uint8_t expected = FormulaArithmetic::toInt32(x, &v)
                                          ? tokenOfPair.at({FormulaArithmetic::predictedNumber(v),
                                                            *FormulaArithmetic::predictedDigit(x)})
                                          : PredictionTokens::kNoDigitValue;
        ASSERT_EQ(PredictionTokens::ofValue(x, kDigit), expected) << x;
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
        const std::vector<int> first = FormulaEquivalence::firstEquivalents(h, formulas, kNumber, threads);
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
    EXPECT_EQ(FormulaEquivalence::key(h, formulas[0], kNumber),
              FormulaEquivalence::key(h, formulas[1], kNumber));
    EXPECT_EQ(FormulaEquivalence::firstEquivalents(h, formulas, kNumber, 2),
              (std::vector<int>{-1, -1, 0, 1}));
    EXPECT_TRUE(FormulaEquivalence::samePredictions(h, formulas[2],
                                                    PredictionTokens::ofFormula(h, formulas[0]), kNumber));
    EXPECT_FALSE(FormulaEquivalence::samePredictions(h, formulas[1],
                                                     PredictionTokens::ofFormula(h, formulas[0]), kNumber));
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
        EXPECT_EQ(FormulaEquivalence::firstEquivalents(h, formulas, kNumber, threads), expected) << threads;
    // Empty lists and histories.
    EXPECT_TRUE(FormulaEquivalence::firstEquivalents(h, {}, kNumber).empty());
    // Without draws nothing can be told apart: no formula is called equivalent.
    EXPECT_EQ(FormulaEquivalence::firstEquivalents(HistoryColumns(), compileAll({"L1A", "L2A"}), kDigit),
              (std::vector<int>{-1, -1}));
}

// For 单选 kinds the check carries the vote MOD 10 as well: formulas 6 apart are equivalent for
// 通选 only, 30 apart for both. Against the brute-force comparison and against the next-draw
// calculation's own vote on every draw.
TEST(FormulaEquivalence, SingleSelectionFormulasMustAlsoVoteAlike)
{
    const HistoryColumns h(syntheticDraws(3000, 8));
    const std::vector<CompiledFormula> fixed = compileAll({"L1A+LT+3", "LT+L1A+9", "L1A+LT+33", "L1A+LT+63"});
    EXPECT_EQ(FormulaEquivalence::firstEquivalents(h, fixed, kNumber, 1), (std::vector<int>{-1, 0, 0, 0}));
    EXPECT_EQ(FormulaEquivalence::firstEquivalents(h, fixed, kDigit, 1), (std::vector<int>{-1, -1, 0, 0}));
    EXPECT_NE(FormulaEquivalence::key(h, fixed[0], kDigit), FormulaEquivalence::key(h, fixed[1], kDigit));
    EXPECT_FALSE(FormulaEquivalence::samePredictions(
        h, fixed[1], PredictionTokens::ofFormula(h, fixed[0], kDigit), kDigit));

    std::mt19937 rng(5);
    QStringList codes;
    const QStringList terms = {"L1A", "L2A", "L3A", "LH", "LT", "L1A/2"};
    for (int i = 0; i < 400; ++i) {
        const int constant = int(rng() % 81) - 40;
        codes << terms[rng() % terms.size()] + '+' + terms[rng() % terms.size()] +
                     (constant < 0 ? QString::number(constant) : '+' + QString::number(constant));
    }
    const std::vector<CompiledFormula> formulas = compileAll(codes);
    const std::vector<int> expected = pairwise(h, formulas, kDigit);
    for (int threads : {1, 2})
        ASSERT_EQ(FormulaEquivalence::firstEquivalents(h, formulas, kDigit, threads), expected) << threads;
    const std::vector<int> byNumber = FormulaEquivalence::firstEquivalents(h, formulas, kNumber, 2);
    int digitEquivalents = 0, numberOnly = 0;
    for (std::size_t i = 0; i < formulas.size(); ++i) {
        digitEquivalents += expected[i] >= 0;
        numberOnly += byNumber[i] >= 0 && expected[i] < 0;
        if (expected[i] < 0)
            continue;
        const CompiledFormula& a = formulas[i];
        const CompiledFormula& b = formulas[std::size_t(expected[i])];
        for (int r = 0; r < h.drawCount(); ++r) {
            const double x = a.evaluateRow(h, r), y = b.evaluateRow(h, r);
            int u = 0, v = 0;
            ASSERT_EQ(FormulaArithmetic::toInt32(x, &u), FormulaArithmetic::toInt32(y, &v));
            ASSERT_EQ(FormulaArithmetic::predictedNumber(u), FormulaArithmetic::predictedNumber(v)) << i;
            ASSERT_EQ(NextDrawCalculation::votedValue(x, false), NextDrawCalculation::votedValue(y, false))
                << codes[int(i)].toStdString() << " " << r;
        }
    }
    EXPECT_GT(digitEquivalents, 20);
    EXPECT_GT(numberOnly, 20); // predicting alike is not enough for them
}

TEST(FormulaEquivalence, CancelAndProgress)
{
    const HistoryColumns h(syntheticDraws(500, 2));
    const std::vector<CompiledFormula> formulas(300, CompiledFormula::compile("L1A+LT+3"));
    std::atomic<bool> cancel{true};
    EXPECT_TRUE(FormulaEquivalence::firstEquivalents(h, formulas, kNumber, 2, {}, &cancel).empty());
    int last = 0;
    const std::vector<int> first =
        FormulaEquivalence::firstEquivalents(h, formulas, kDigit, 2, [&](int done, int total) {
            EXPECT_EQ(total, 300);
            EXPECT_GE(done, last);
            last = done;
        });
    EXPECT_EQ(last, 300);
    EXPECT_EQ(std::count(first.begin(), first.end(), 0), 299);
}
