#include "backtest/RollingFigures.h"
#include "SyntheticHistory.h"
#include "backtest/BacktestEngine.h"
#include "backtest/BacktestRunner.h"
#include "history/HistoryColumns.h"
#include "history/ParameterTable.h"
#include "killkeep/CalculationReplay.h"

#include <gtest/gtest.h>

#include <random>

namespace {

// Sums of parameters as the search makes them, a few the interpreter runs (products, divisions
// that leave draws without a value, MOD) and one that does not compile.
std::vector<FormulaRecord> mixedFormulas(int count, unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<FormulaRecord> out;
    for (int i = 0; i < count; ++i) {
        FormulaRecord f;
        const int terms = 1 + int(rng() % 6);
        for (int k = 0; k < terms; ++k)
            f.gongshi += ParameterTable::code(int(rng() % kParameterCount)) + '+';
        switch (i % 6) {
        case 0:
            f.gongshi += QStringLiteral("L1A*L2A");
            break;
        case 1:
            f.gongshi += QStringLiteral("7/(L1A-L2A)");
            break;
        case 2:
            f.gongshi += QStringLiteral("LT MOD 4");
            break;
        default:
            f.gongshi += QString::number(rng() % 10);
            break;
        }
        if (i == 5)
            f.gongshi = QStringLiteral("L1A+");
        f.idx = i + 1;
        f.rowId = i + 1;
        f.bolKill = true;
        out.push_back(f);
    }
    return out;
}

} // namespace

// Carried draw by draw, the figures equal a fresh back-test of the same draws at every step: over
// all draws and over windows that slide, weighted or not, with the current draw left out or not,
// on histories as drawn and sorted, for kill and keep.
TEST(RollingFigures, EqualTheFullBacktestAtEveryDraw)
{
    const std::vector<CompiledFormula> formulas = BacktestRunner::compileAll(mixedFormulas(60, 4));
    for (bool sorted : {false, true}) {
        const HistoryColumns history(syntheticDraws(420, 8, sorted));
        for (int lookBack : {0, 1, 40, 300}) {
            for (bool weighted : {true, false}) {
                for (bool excludeCurrent : {true, false}) {
                    BacktestOptions o;
                    o.lookBackDraws = lookBack;
                    o.weighted = weighted;
                    o.excludeCurrent = excludeCurrent;
                    o.threads = 2;
                    const bool kill = lookBack % 2 == 0;
                    const FormulaKind kind{1 + lookBack % 3, weighted};
                    const int first = lookBack == 300 ? 1 : 150;
                    RollingFigures rolling(history, formulas, kind, kill, o, first);
                    for (int n = first; n <= history.drawCount(); n += 1) {
                        rolling.advanceTo(n);
                        ASSERT_EQ(rolling.drawCount(), n);
                        if (n % 7 != 0 && n > first + 20 && n < history.drawCount() - 3)
                            continue; // a fresh back-test at every draw would be slow: most, not all
                        const BacktestResult r =
                            BacktestEngine::run(history.firstDraws(n), formulas, kind, kill, o);
                        for (std::size_t i = 0; i < formulas.size(); ++i)
                            ASSERT_EQ(rolling.stats(int(i)), r.outcomes[i].stats)
                                << sorted << ' ' << lookBack << weighted << excludeCurrent << " n=" << n
                                << " formula " << i;
                    }
                }
            }
        }
    }
}

// The replay by the best method gives, draw by draw, what a fresh calculation of each draw gives.
TEST(RollingFigures, ReplayEqualsFreshCalculations)
{
    const std::vector<DrawRecord> draws = syntheticDraws(500, 12, true);
    const HistoryColumns history(draws);
    for (int lookBack : {0, 100}) {
        CalculationTable t;
        t.kind = FormulaKind{3, false};
        t.position = VoteTally::kGeneralPosition;
        t.formulas = mixedFormulas(90, 21);
        t.compiled = BacktestRunner::compileAll(t.formulas);
        t.selected.assign(t.formulas.size(), true);
        CalculationRequest request;
        request.kind = t.kind;
        request.bestMethod = true;
        request.keys = {FormulaOrderKey::preferred(FormulaFigure::Rate),
                        FormulaOrderKey::preferred(FormulaFigure::MaxMiss)};
        request.limit = 5;
        request.backtest.lookBackDraws = lookBack;
        const std::vector<CalculationTable> tables{t};
        const ReplayResult replay = CalculationReplay::run(tables, draws, history, 60, request);
        ASSERT_EQ(replay.draws.size(), 60u);
        for (int k = 0; k < 60; ++k) {
            const int drawn = int(draws.size()) - 60 + k;
            CalculationOutcome fresh;
            CalculationRun::calculate(tables, history, drawn - 1, request, &fresh);
            const ReplayDraw expected =
                CalculationReplay::compare(draws[std::size_t(drawn)], fresh, request,
                                           DrawModel::forHistory(history, PublicationOrder::Detect));
            EXPECT_EQ(replay.draws[std::size_t(k)].killedText(false), expected.killedText(false)) << k;
            EXPECT_EQ(replay.draws[std::size_t(k)].levelsText(false), expected.levelsText(false)) << k;
        }
    }
}
