#include "backtest/FormulaFilter.h"

#include <algorithm>

namespace {

constexpr FormulaFigure kFigures[kFormulaFigureCount] = {FormulaFigure::Rate, FormulaFigure::MaxMiss,
                                                         FormulaFigure::MaxHit, FormulaFigure::FinalMiss,
                                                         FormulaFigure::FinalHit};

} // namespace

QString FormulaFilter::boxText(FormulaFigure figure, double value)
{
    if (figure == FormulaFigure::Rate)
        return QString::number(float(value), 'g', 7);
    return QString::number(qint64(value));
}

FormulaFilterBounds FormulaFilter::prefill(const std::vector<FormulaFigures>& formulas,
                                           const std::vector<bool>& selected)
{
    FormulaFilterBounds b;
    for (int k = 0; k < kFormulaFigureCount; ++k) {
        const FormulaFigure figure = kFigures[k];
        double low = figure == FormulaFigure::Rate ? 100 : 32767;
        double high = 0;
        bool any = false;
        for (std::size_t i = 0; i < formulas.size() && i < selected.size(); ++i) {
            if (!selected[i])
                continue;
            const double v = FormulaOrdering::value(formulas[i], figure);
            low = any ? std::min(low, v) : v;
            high = any ? std::max(high, v) : v;
            any = true;
        }
        b.lower[k] = boxText(figure, low);
        b.upper[k] = boxText(figure, high);
    }
    return b;
}

int FormulaFilter::apply(const std::vector<FormulaFigures>& formulas, const FormulaFilterBounds& bounds,
                         std::vector<bool>* selected)
{
    int kept = 0;
    for (std::size_t i = 0; i < formulas.size() && i < selected->size(); ++i) {
        if (!(*selected)[i])
            continue;
        bool inside = true;
        for (int k = 0; k < kFormulaFigureCount && inside; ++k) {
            const FormulaFigure figure = kFigures[k];
            const double lower = FormulaOrdering::boxNumber(bounds.lower[k]);
            const double upper = FormulaOrdering::boxNumber(bounds.upper[k]);
            const double v = FormulaOrdering::value(formulas[i], figure);
            if (figure == FormulaFigure::Rate) {
                const float rate = float(v);
                inside = !(rate < float(lower - kTolerance) || rate > float(upper + kTolerance));
            } else {
                inside = !(v < lower - kTolerance || v > upper + kTolerance);
            }
        }
        if (inside)
            ++kept;
        else
            (*selected)[i] = false;
    }
    return kept;
}
