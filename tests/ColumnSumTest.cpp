#include "formula/ColumnSum.h"
#include "SyntheticHistory.h"
#include "backtest/BacktestEngine.h"
#include "backtest/PastRanking.h"
#include "formula/CompiledFormula.h"
#include "formula/FormulaArithmetic.h"
#include "formula/SumKernels.h"
#include "history/HistoryColumns.h"
#include "history/ParameterTable.h"

#include <gtest/gtest.h>

#include <random>

namespace {

// A random formula text: mostly sums of columns and constants (with minus signs, brackets, small
// factors), now and then a product of columns, a division or a MOD, which the interpreter keeps.
QString randomFormula(std::mt19937& rng, bool sumsOnly)
{
    auto code = [&] { return ParameterTable::code(int(rng() % kParameterCount)); };
    QString text;
    const int terms = 1 + int(rng() % 9);
    for (int t = 0; t < terms; ++t) {
        if (t > 0)
            text += rng() % 4 == 0 ? QStringLiteral("-") : QStringLiteral("+");
        switch (rng() % 8) {
        case 0:
            text += QString::number(rng() % 20);
            break;
        case 1:
            text += QStringLiteral("(%1-%2)").arg(code(), code());
            break;
        case 2:
            text += QStringLiteral("%1*%2").arg(rng() % 4).arg(code());
            break;
        case 3:
            text += QStringLiteral("-%1").arg(code());
            break;
        case 4:
            if (!sumsOnly) {
                const char* ops[] = {"*", "/", " MOD "};
                text += code() + QString::fromLatin1(ops[rng() % 3]) + code();
                break;
            }
            [[fallthrough]];
        default:
            text += code();
            break;
        }
    }
    return text;
}

std::vector<CompiledFormula> randomFormulas(int count, unsigned seed, bool sumsOnly)
{
    std::mt19937 rng(seed);
    std::vector<CompiledFormula> formulas;
    for (int i = 0; i < count; ++i)
        formulas.push_back(CompiledFormula::compile(randomFormula(rng, sumsOnly)));
    return formulas;
}

std::vector<CompiledFormula> interpreted(const std::vector<CompiledFormula>& formulas)
{
    std::vector<CompiledFormula> out;
    for (const CompiledFormula& f : formulas)
        out.push_back(f.interpreted());
    return out;
}

void expectSameResults(const BacktestResult& fast, const BacktestResult& slow)
{
    ASSERT_EQ(fast.outcomes.size(), slow.outcomes.size());
    EXPECT_EQ(fast.totalWeight, slow.totalWeight);
    for (std::size_t i = 0; i < fast.outcomes.size(); ++i) {
        const FormulaOutcome& a = fast.outcomes[i];
        const FormulaOutcome& b = slow.outcomes[i];
        EXPECT_EQ(a.valid, b.valid) << i;
        EXPECT_EQ(a.stats, b.stats) << i;
        EXPECT_EQ(a.chance, b.chance) << i;
        EXPECT_EQ(a.holdOut, b.holdOut) << i;
        EXPECT_EQ(a.q, b.q) << i;
        EXPECT_EQ(a.nextValue, b.nextValue) << i;
    }
}

} // namespace

TEST(ColumnSum, TakesSumsOfColumnsAndIntegersOnly)
{
    EXPECT_TRUE(ColumnSum::of(CompiledFormula::compile(QStringLiteral("L1A+LT+L3D+7"))));
    EXPECT_TRUE(ColumnSum::of(CompiledFormula::compile(QStringLiteral("-(L1A-L2A)+3*LT-2"))));
    EXPECT_TRUE(ColumnSum::of(CompiledFormula::compile(QStringLiteral("5"))));
    EXPECT_FALSE(ColumnSum::of(CompiledFormula::compile(QStringLiteral("L1A*L2A"))));
    EXPECT_FALSE(ColumnSum::of(CompiledFormula::compile(QStringLiteral("L1A/2+1"))));
    EXPECT_FALSE(ColumnSum::of(CompiledFormula::compile(QStringLiteral("L1A MOD 4"))));
    // Sums that could leave the 32-bit range stay with the interpreter.
    EXPECT_FALSE(ColumnSum::of(CompiledFormula::compile(QStringLiteral("100000*L1A"))));
    EXPECT_FALSE(ColumnSum::of(CompiledFormula::compile(QStringLiteral("L1A+3000000000"))));

    const auto sum = ColumnSum::of(CompiledFormula::compile(QStringLiteral("LT-(L1A-2*L3A)+4")));
    ASSERT_TRUE(sum);
    EXPECT_EQ(sum->constant(), 4);
    EXPECT_EQ(sum->added().size(), 3u); // LT, L3A twice
    EXPECT_EQ(sum->subtracted(), std::vector<int>{ParameterTable::column("L1A")});
    EXPECT_FALSE(CompiledFormula::compile(QStringLiteral("L1A+1")).interpreted().columnSum());
}

// Every instruction set the processor offers gives the interpreter's prediction on every row, for
// every length of a block.
TEST(ColumnSum, EveryVectorPathGivesTheInterpretersPredictions)
{
    const HistoryColumns history(syntheticDraws(700, 3));
    const std::vector<CompiledFormula> formulas = randomFormulas(300, 11, true);
    int sums = 0;
    for (const CompiledFormula& f : formulas) {
        const ColumnSum* sum = f.columnSum();
        if (!sum)
            continue;
        ++sums;
        std::vector<const std::int16_t*> added, subtracted;
        for (int c : sum->added())
            added.push_back(history.column16(c) + 300);
        for (int c : sum->subtracted())
            subtracted.push_back(history.column16(c) + 300);
        for (SumKernels::Path path : SumKernels::availablePaths()) {
            for (int n : {1, 7, 33, 256}) {
                std::vector<std::int8_t> codes(std::size_t(n), -1);
                SumKernels::predictionCodes(path, added.data(), int(added.size()), subtracted.data(),
                                            int(subtracted.size()), sum->constant(), n, codes.data());
                for (int r = 0; r < n; ++r) {
                    int v = 0;
                    ASSERT_TRUE(FormulaArithmetic::toInt32(f.evaluateRow(history, 300 + r), &v));
                    ASSERT_EQ(codes[std::size_t(r)], FormulaArithmetic::predictedNumber(v) + 4)
                        << SumKernels::name(path) << " row " << r;
                }
            }
        }
    }
    EXPECT_GT(sums, 250);
}

// The back-test over random formulas gives the interpreter's figures to the last digit, whatever the
// history (as drawn or sorted, short or long), the weighting, the current draw's setting, the
// window and the hold-out; and so does the prediction cache the replay reads.
TEST(ColumnSum, BacktestMatchesTheInterpreterEverywhere)
{
    const std::vector<CompiledFormula> formulas = randomFormulas(120, 5, false);
    const std::vector<CompiledFormula> slow = interpreted(formulas);
    int sums = 0;
    for (const CompiledFormula& f : formulas)
        sums += f.columnSum() != nullptr;
    ASSERT_GT(sums, 40);
    ASSERT_LT(sums, 120);
    for (bool sorted : {false, true}) {
        for (int draws : {12, 2500}) {
            const HistoryColumns history(syntheticDraws(draws, 7, sorted));
            for (int lookBack : {0, 300}) {
                for (bool weighted : {false, true}) {
                    for (bool excludeCurrent : {false, true}) {
                        for (int holdOut : {0, 5}) {
                            BacktestOptions o;
                            o.lookBackDraws = lookBack;
                            o.weighted = weighted;
                            o.excludeCurrent = excludeCurrent;
                            o.holdOut = holdOut;
                            o.threads = 1;
                            const FormulaKind kind{1 + (draws + lookBack) % 3, !weighted};
                            SCOPED_TRACE(testing::Message() << sorted << ' ' << draws << ' ' << lookBack
                                                            << ' ' << weighted << excludeCurrent << holdOut);
                            expectSameResults(BacktestEngine::run(history, formulas, kind, holdOut == 0, o),
                                              BacktestEngine::run(history, slow, kind, holdOut == 0, o));
                        }
                    }
                }
            }
            const auto cache = PredictionCache::build(history, formulas, draws / 2);
            const auto slowCache = PredictionCache::build(history, slow, draws / 2);
            ASSERT_TRUE(cache && slowCache);
            for (std::size_t i = 0; i < formulas.size(); ++i)
                for (int r = draws / 2; r < draws; ++r)
                    ASSERT_EQ(cache->codes(int(i), r)[0], slowCache->codes(int(i), r)[0]) << i << ' ' << r;
            BacktestOptions o;
            o.threads = 2;
            expectSameResults(
                BacktestEngine::run(history.firstDraws(draws - 1), formulas, FormulaKind{3, false}, true, o,
                                    {}, nullptr, cache.get()),
                BacktestEngine::run(history.firstDraws(draws - 1), slow, FormulaKind{3, false}, true, o));
        }
    }
}

TEST(ColumnSum, PastRankingMatchesTheInterpreter)
{
    const std::vector<DrawRecord> draws = syntheticDraws(600, 9, true);
    const HistoryColumns history(draws);
    const std::vector<CompiledFormula> formulas = randomFormulas(80, 6, false);
    const std::vector<bool> selected(formulas.size(), true);
    for (bool kill : {true, false}) {
        std::vector<PastRankingDraw> fast, slow;
        QString error;
        ASSERT_TRUE(PastRanking::build(draws, history, formulas, selected, kill, &fast, &error));
        ASSERT_TRUE(PastRanking::build(draws, history, interpreted(formulas), selected, kill, &slow, &error));
        ASSERT_EQ(fast.size(), slow.size());
        for (std::size_t r = 0; r < fast.size(); ++r)
            ASSERT_EQ(fast[r].ranking, slow[r].ranking) << r;
    }
}
