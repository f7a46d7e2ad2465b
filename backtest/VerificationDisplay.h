#pragma once

#include "formula/CompiledFormula.h"
#include "formula/FormulaKind.h"
#include "history/VerificationBlock.h"

#include <cstdint>
#include <vector>

struct FormulaTrace;
class HistoryColumns;

// The per-draw verification display of the history grid ("历史列表显示公式各期验算结果"): computes
// the block of formula columns a scroll value shows (VerificationBlock pages the formulas).
//
// Cells: the predicted number ((x − 1) MOD 6) + 1; blue when the prediction came true, green when it
// did not. "PreCanshu": row i shows the prediction judged by draw i; the oldest row is empty and
// white. "Canshu": row i shows the prediction made from draw i, coloured by draw i + 1's verdict;
// the newest row, the prediction for the coming draw, is not coloured (with a single draw it is
// green). An invalid formula's column is empty.
class VerificationDisplay
{
public:
    static VerificationMode modeOf(bool resultsOnCurrentDraw)
    {
        return resultsOnCurrentDraw ? VerificationMode::Canshu : VerificationMode::PreCanshu;
    }

    // Evaluates the block that scrollValue shows over every draw. `subset` is the whole current subset
    // in list order (formula n is subset[n − 1]); only the block's formulas are evaluated.
    static VerificationBlock compute(const HistoryColumns& history,
                                     const std::vector<CompiledFormula>& subset, const FormulaKind& kind,
                                     bool kill, VerificationMode mode, int scrollValue);
    // One formula's column from its trace, into predictions/colours (drawCount entries each).
    static void fillColumn(const FormulaTrace& trace, VerificationMode mode, std::int8_t* predictions,
                           std::uint8_t* colours);
};
