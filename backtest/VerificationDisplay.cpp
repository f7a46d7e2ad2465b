#include "backtest/VerificationDisplay.h"

#include "backtest/BacktestEngine.h"
#include "backtest/FormulaTrace.h"
#include "history/HistoryColumns.h"

void VerificationDisplay::fillColumn(const FormulaTrace& trace, VerificationMode mode,
                                     std::int8_t* predictions, std::uint8_t* colours)
{
    const int n = trace.drawCount();
    auto verdict = [&trace](int row) {
        return trace.gscs[row] ? VerificationBlock::Hit : VerificationBlock::Miss;
    };
    for (int r = 0; r < n; ++r) {
        std::optional<int> p;
        VerificationBlock::Colour colour;
        if (mode == VerificationMode::PreCanshu) {
            p = trace.preCanshuPrediction(r);
            colour = verdict(r);
            if (r == 0) {
                // The oldest draw has no previous one to predict it.
                p.reset();
                colour = VerificationBlock::White;
            }
        } else {
            p = trace.canshuPrediction(r);
            // The next draw judges this row's prediction; the newest row waits for the coming draw.
            colour = r + 1 < n ? verdict(r + 1) : (n == 1 ? verdict(0) : VerificationBlock::NoColour);
        }
        predictions[r] = p ? static_cast<std::int8_t>(*p) : VerificationBlock::kNoPrediction;
        colours[r] = colour;
    }
}

VerificationBlock VerificationDisplay::compute(const HistoryColumns& history,
                                               const std::vector<CompiledFormula>& subset,
                                               const FormulaKind& kind, bool kill, VerificationMode mode,
                                               int scrollValue)
{
    VerificationBlock block;
    block.firstNumber = VerificationBlock::blockFirst(scrollValue);
    block.formulaCount = VerificationBlock::blockSize(scrollValue, static_cast<int>(subset.size()));
    block.drawCount = history.drawCount();
    block.mode = mode;
    const std::size_t cells = static_cast<std::size_t>(block.formulaCount) * block.drawCount;
    block.predictions.assign(cells, VerificationBlock::kNoPrediction);
    block.colours.assign(cells, VerificationBlock::NoColour);
    for (int i = 0; i < block.formulaCount; ++i) {
        const CompiledFormula& f = subset[block.firstNumber - 1 + i];
        if (!f.isValid())
            continue;
        const std::size_t offset = static_cast<std::size_t>(i) * block.drawCount;
        fillColumn(BacktestEngine::trace(history, f, kind, kill), mode, block.predictions.data() + offset,
                   block.colours.data() + offset);
    }
    return block;
}
