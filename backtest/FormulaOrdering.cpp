#include "backtest/FormulaOrdering.h"

#include <algorithm>
#include <cmath>
#include <numeric>

FormulaOrderKey FormulaOrderKey::preferred(FormulaFigure figure)
{
    const bool fewerIsBetter = figure == FormulaFigure::MaxMiss || figure == FormulaFigure::FinalMiss ||
                               figure == FormulaFigure::PValue;
    return {figure, !fewerIsBetter};
}

double FormulaOrdering::value(const FormulaFigures& f, FormulaFigure figure)
{
    switch (figure) {
    case FormulaFigure::Rate:
        return f.rate;
    case FormulaFigure::MaxMiss:
        return f.maxMissRun;
    case FormulaFigure::MaxHit:
        return f.maxHitRun;
    case FormulaFigure::FinalMiss:
        return f.finalMissRun;
    case FormulaFigure::FinalHit:
        return f.finalHitRun;
    case FormulaFigure::PValue:
        return f.pValue;
    case FormulaFigure::Excess:
        return f.excess;
    }
    return 0;
}

std::vector<int> FormulaOrdering::walkOrder(const std::vector<FormulaFigures>& formulas,
                                            const std::vector<FormulaOrderKey>& keys)
{
    std::vector<int> order(formulas.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        for (const FormulaOrderKey& k : keys) {
            const double fa = value(formulas[a], k.figure), fb = value(formulas[b], k.figure);
            if (fa != fb)
                return k.descending ? fa > fb : fa < fb;
        }
        if (formulas[a].idx != formulas[b].idx)
            return formulas[a].idx < formulas[b].idx;
        return a < b;
    });
    return order;
}

QString FormulaOrdering::columnName(FormulaFigure figure)
{
    switch (figure) {
    case FormulaFigure::Rate:
        return QStringLiteral("sglGsRate");
    case FormulaFigure::MaxMiss:
        return QStringLiteral("intGsErrCon");
    case FormulaFigure::MaxHit:
        return QStringLiteral("intGsTrueCon");
    case FormulaFigure::FinalMiss:
        return QStringLiteral("intGsErrLst");
    case FormulaFigure::FinalHit:
        return QStringLiteral("intGsTrueLst");
    case FormulaFigure::PValue:
    case FormulaFigure::Excess:
        return {};
    }
    return {};
}

QString FormulaOrdering::caption(FormulaFigure figure)
{
    switch (figure) {
    case FormulaFigure::Rate:
        return QStringLiteral("正确率");
    case FormulaFigure::MaxMiss:
        return QStringLiteral("最大连错");
    case FormulaFigure::MaxHit:
        return QStringLiteral("最大连对");
    case FormulaFigure::FinalMiss:
        return QStringLiteral("最后连错");
    case FormulaFigure::FinalHit:
        return QStringLiteral("最后连对");
    case FormulaFigure::PValue:
        return QStringLiteral("p值");
    case FormulaFigure::Excess:
        return QStringLiteral("超出");
    }
    return {};
}

bool FormulaOrdering::usesChance(const std::vector<FormulaOrderKey>& keys)
{
    return std::any_of(keys.begin(), keys.end(), [](const FormulaOrderKey& k) {
        return k.figure == FormulaFigure::PValue || k.figure == FormulaFigure::Excess;
    });
}

double FormulaOrdering::boxNumber(const QString& text)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(v) ? v : 0;
}

int FormulaOrdering::limitFromText(const QString& text)
{
    // nearbyint rounds halves to even in the default rounding mode.
    return int(std::clamp(std::nearbyint(boxNumber(text)), -32768.0, 32767.0));
}
