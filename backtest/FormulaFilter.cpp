#include "backtest/FormulaFilter.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr FormulaFigure kFigures[kFormulaFigureCount] = {
    FormulaFigure::Rate,     FormulaFigure::MaxMiss, FormulaFigure::MaxHit, FormulaFigure::FinalMiss,
    FormulaFigure::FinalHit, FormulaFigure::PValue,  FormulaFigure::Excess};

// What the boxes show with no formula selected: an empty range, lower above upper.
double emptyLower(FormulaFigure figure)
{
    switch (figure) {
    case FormulaFigure::Rate:
    case FormulaFigure::Excess:
        return 100;
    case FormulaFigure::PValue:
        return 1;
    default:
        return 32767;
    }
}

double emptyUpper(FormulaFigure figure)
{
    return figure == FormulaFigure::Excess ? -100 : 0;
}

bool withinBounds(FormulaFigure figure, double v, double lower, double upper)
{
    constexpr double t = FormulaFilter::kTolerance;
    switch (figure) {
    case FormulaFigure::Rate: {
        const float rate = float(v);
        return !(rate < float(lower - t) || rate > float(upper + t));
    }
    case FormulaFigure::PValue: {
        constexpr double r = FormulaFilter::kPValueRelativeTolerance;
        return !(v < lower - std::abs(lower) * r || v > upper + std::abs(upper) * r);
    }
    default:
        return !(v < lower - t || v > upper + t);
    }
}

} // namespace

QString FormulaFilter::boxText(FormulaFigure figure, double value)
{
    switch (figure) {
    case FormulaFigure::Rate:
        return QString::number(float(value), 'g', 7);
    case FormulaFigure::PValue:
    case FormulaFigure::Excess:
        return QString::number(value, 'g', 7);
    default:
        return QString::number(qint64(value));
    }
}

FormulaFilterBounds FormulaFilter::prefill(const std::vector<FormulaFigures>& formulas,
                                           const std::vector<bool>& selected)
{
    FormulaFilterBounds b;
    for (int k = 0; k < kFormulaFigureCount; ++k) {
        const FormulaFigure figure = kFigures[k];
        double low = emptyLower(figure);
        double high = emptyUpper(figure);
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
            inside = withinBounds(figure, FormulaOrdering::value(formulas[i], figure), lower, upper);
        }
        if (inside)
            ++kept;
        else
            (*selected)[i] = false;
    }
    return kept;
}
