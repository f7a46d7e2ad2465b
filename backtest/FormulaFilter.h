#pragma once

#include "backtest/FormulaOrdering.h"

#include <QString>
#include <array>
#include <vector>

// The texts of the ten boxes of the filter window "公式过滤设置窗口": per statistic, in the
// order of FormulaFigure, a lower and an upper bound.
struct FormulaFilterBounds
{
    std::array<QString, kFormulaFigureCount> lower;
    std::array<QString, kFormulaFigureCount> upper;

    bool operator==(const FormulaFilterBounds&) const = default;
};

// Narrows the selection of a formula list to the formulas whose statistics lie in ranges.
class FormulaFilter
{
public:
    // A bound may be missed by this much, so the rate's text form, which rounds, still admits
    // the formula it was taken from. The p value, often far below 0.0001, may miss its bounds by
    // this share of them instead.
    static constexpr double kTolerance = 0.0001;
    static constexpr double kPValueRelativeTolerance = 1e-6;

    // The boxes on activation: the least and greatest value of each statistic over the selected
    // formulas; with none selected the rate reads 100 to 0, the runs 32767 to 0, the p value 1 to
    // 0 and the excess 100 to -100. The p value is filtered "at most" by its upper box, the excess
    // "at least" by its lower box.
    static FormulaFilterBounds prefill(const std::vector<FormulaFigures>& formulas,
                                       const std::vector<bool>& selected);

    // Clears the flag of every formula with a statistic outside its range; never sets a flag.
    // The rate is compared in single precision, the runs as integers, the p value and the excess
    // in double precision. Returns how many formulas stay selected.
    static int apply(const std::vector<FormulaFigures>& formulas, const FormulaFilterBounds& bounds,
                     std::vector<bool>* selected);

    // The text a box shows for a value: the rate, the p value and the excess in general form (up
    // to seven significant digits), runs as integers.
    static QString boxText(FormulaFigure figure, double value);
};
