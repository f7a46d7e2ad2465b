#include "search/QualificationRanges.h"

#include "search/NumericText.h"

namespace {

bool within(double value, float low, float high)
{
    return value >= double(low) - QualificationRanges::kTolerance &&
           value <= double(high) + QualificationRanges::kTolerance;
}

} // namespace

QualificationRanges QualificationRanges::formDefaults()
{
    return {{99, 100, 0, 1, 256, 32768, 0, 32768, 64, 32768}};
}

QualificationRanges QualificationRanges::fromTexts(const QStringList& texts)
{
    QualificationRanges r;
    for (int j = 0; j < kBoxes && j < texts.size(); ++j)
        r.bounds[j] = static_cast<float>(NumericText::leadingValue(texts[j]));
    return r;
}

QString QualificationRanges::boundText(float bound)
{
    // Seven significant digits are what a single-precision number holds: 94.6 stays "94.6".
    return QString::number(double(bound), 'g', 7);
}

QStringList QualificationRanges::texts() const
{
    QStringList out;
    for (float b : bounds)
        out << boundText(b);
    return out;
}

unsigned QualificationRanges::rangesMet(const FormulaStats& s) const
{
    const double figures[kRanges] = {s.rate, double(s.maxMissRun), double(s.maxHitRun),
                                     double(s.finalMissRun), double(s.finalHitRun)};
    unsigned met = 0;
    for (int r = 0; r < kRanges; ++r)
        if (within(figures[r], bounds[std::size_t(2 * r)], bounds[std::size_t(2 * r + 1)]))
            met |= 1u << r;
    return met;
}

QString QualificationRanges::rangeName(int range)
{
    static const char* const names[kRanges] = {"正确率", "最大连错", "最大连对", "最后连错", "最后连对"};
    return range >= 0 && range < kRanges ? QString::fromUtf8(names[range]) : QString();
}

QString QualificationRanges::rangeText(int range) const
{
    return QStringLiteral("%1 %2–%3")
        .arg(rangeName(range), boundText(bounds[std::size_t(2 * range)]),
             boundText(bounds[std::size_t(2 * range + 1)]));
}

bool QualificationRanges::admits(const FormulaStats& s) const
{
    return within(s.rate, bounds[0], bounds[1]) && within(s.maxMissRun, bounds[2], bounds[3]) &&
           within(s.maxHitRun, bounds[4], bounds[5]) && within(s.finalMissRun, bounds[6], bounds[7]) &&
           within(s.finalHitRun, bounds[8], bounds[9]);
}
