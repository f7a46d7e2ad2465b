#pragma once

#include "formula/FormulaArithmetic.h"

#include <cstdint>
#include <optional>
#include <vector>

// One formula followed draw by draw over the whole history (row 0 the oldest), for the per-draw
// verification display and the calculation steps: computed on demand for a single formula.
struct FormulaTrace
{
    // The formula's value on each draw (canshu); NaN where it cannot be computed.
    std::vector<double> canshu;
    // The last value read before each draw, rounded (PreCanshu); none on row 0 and while no earlier
    // draw had a value.
    std::vector<std::optional<int>> preCanshu;
    // 1 when the prediction made before the draw came true on it (GSCS); row 0 is never scored and
    // holds 0, as does a draw without a previous value.
    std::vector<std::uint8_t> gscs;

    int drawCount() const { return static_cast<int>(canshu.size()); }
    // The predicted number shown in "Canshu" mode: ((canshu − 1) MOD 6) + 1 of the draw itself.
    std::optional<int> canshuPrediction(int row) const
    {
        return FormulaArithmetic::predictedNumber(canshu[row]);
    }
    // The predicted number shown in "PreCanshu" mode: the prediction the draw was judged by.
    std::optional<int> preCanshuPrediction(int row) const
    {
        if (!preCanshu[row])
            return std::nullopt;
        return FormulaArithmetic::predictedNumber(*preCanshu[row]);
    }
};
