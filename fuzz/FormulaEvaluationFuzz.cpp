// Formula text -> compile -> evaluate over a small fixed history and back-test it. Besides crashes
// and undefined behaviour it checks that the row-by-row and the block evaluation agree and that
// the back-test's figures stay within their bounds.
#include "FuzzSupport.h"

#include "backtest/BacktestEngine.h"
#include "formula/CompiledFormula.h"
#include "formula/FormulaArithmetic.h"
#include "history/HistoryColumns.h"

#include <cmath>
#include <vector>

namespace {

bool sameValue(double a, double b)
{
    return (std::isnan(a) && std::isnan(b)) || a == b;
}

void checkStats(const FormulaStats& s, int windowRows)
{
    if (s.rate < 0 || s.rate > 100.0001f || std::isnan(s.rate))
        FuzzSupport::fail("rate out of 0..100", QString::number(s.rate));
    if (s.maxMissRun < 0 || s.maxHitRun < 0 || s.finalMissRun < 0 || s.finalHitRun < 0)
        FuzzSupport::fail("negative run");
    if (s.maxMissRun > windowRows || s.maxHitRun > windowRows || s.finalMissRun > s.maxMissRun ||
        s.finalHitRun > s.maxHitRun)
        FuzzSupport::fail("run longer than the window or the longest run");
    if (s.weightedHits < 0 || s.weightedHits > s.totalWeight)
        FuzzSupport::fail("weighted hits out of range");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzSupport::initialise();
    const QString text = FuzzSupport::utf8(data, size);
    const CompiledFormula formula = CompiledFormula::compile(text);
    if (!formula.isValid()) {
        if (formula.error().isEmpty() || !formula.program().empty())
            FuzzSupport::fail("invalid formula without a reason or with a program");
        return 0;
    }
    static const HistoryColumns history(FuzzSupport::fixedHistory());
    const int rows = history.drawCount();

    std::vector<double> byRow(rows);
    for (int r = 0; r < rows; ++r) {
        byRow[r] = formula.evaluateRow(history, r);
        (void)FormulaArithmetic::predictedNumber(byRow[r]);
        (void)FormulaArithmetic::predictedDigit(byRow[r]);
    }
    std::vector<double> block(CompiledFormula::kBlockRows);
    std::vector<double> scratch(formula.scratchSize());
    // Uneven blocks, so the tiles inside a block see partial lengths too.
    for (int first = 0; first < rows;) {
        const int count = std::min({rows - first, CompiledFormula::kBlockRows, 1 + first % 7 * 5});
        formula.evaluateBlock(history, first, count, block.data(), scratch.data());
        for (int i = 0; i < count; ++i)
            if (!sameValue(block[i], byRow[first + i]))
                FuzzSupport::fail("block and row evaluation differ", text);
        first += count;
    }

    const std::vector<CompiledFormula> formulas{formula};
    for (const FormulaKind& kind : FormulaKind::all()) {
        for (bool kill : {true, false}) {
            BacktestOptions options;
            options.lookBackDraws = kill ? 0 : 12;
            options.excludeCurrent = kill;
            options.weighted = !kill;
            options.threads = 1;
            const BacktestResult result = BacktestEngine::run(history, formulas, kind, kill, options);
            if (result.outcomes.size() != 1 || !result.outcomes[0].valid)
                FuzzSupport::fail("back-test lost the formula");
            checkStats(result.outcomes[0].stats, rows);
            const FormulaTrace trace = BacktestEngine::trace(history, formula, kind, kill);
            if (trace.drawCount() != rows)
                FuzzSupport::fail("trace length");
            for (int r = 0; r < rows; ++r) {
                if (!sameValue(trace.canshu[r], byRow[r]))
                    FuzzSupport::fail("trace value differs from evaluation", text);
                (void)trace.canshuPrediction(r);
                (void)trace.preCanshuPrediction(r);
            }
        }
    }
    return 0;
}
