#include "search/SearchSettings.h"

#include "search/NumericText.h"
#include "store/Settings.h"

#include <QLocale>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

const QString kSchemeSection = QStringLiteral("SSSZ");
const QString kWindowSection = QStringLiteral("GSGL");
const QString kSkipEquivalentsKey = QStringLiteral("TGDJ");
const QString kOperandKey = QStringLiteral("text2");
// Read back for a key that holds nothing; no stored number can spell it.
const QString kNothingStored = QStringLiteral("\u0001");

using BoundRow = std::array<float, QualificationRanges::kBoxes>;

// Defaults per kind number (3 is never used and holds 0) for kill and keep formulas.
const BoundRow& defaultRow(int kindNumber, bool kill)
{
    static const BoundRow killSingle = {94.6f, 100, 0, 2, 48, 32768, 0, 0, 32, 32768};
    static const BoundRow killTensGeneral = {86, 100, 0, 2, 32, 32768, 0, 0, 6, 32768};
    static const BoundRow killHundredsGeneral = {80, 100, 0, 3, 16, 32768, 0, 0, 8, 32768};
    static const BoundRow keepSingle = {12, 100, 0, 28, 2, 32768, 0, 0, 2, 32768};
    static const BoundRow keepTensGeneral = {26, 100, 0, 16, 3, 32768, 0, 0, 2, 32768};
    static const BoundRow keepHundredsGeneral = {34, 100, 0, 12, 4, 32768, 0, 0, 2, 32768};
    static const BoundRow none{};
    switch (kindNumber) {
    case 0:
    case 1:
    case 2:
        return kill ? killSingle : keepSingle;
    case 4:
        return kill ? killTensGeneral : keepTensGeneral;
    case 5:
        return kill ? killHundredsGeneral : keepHundredsGeneral;
    default:
        return none;
    }
}

QString rangeKey(int box, bool kill)
{
    return QString::number(box + (kill ? 0 : 10));
}

QString schemeKey(int slot, bool kill)
{
    return QString::number(slot + (kill ? 0 : 10));
}

} // namespace

SearchSettings::SearchSettings(Settings* settings) : m_settings(settings) {}

QString SearchSettings::numberText(double v)
{
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

float SearchSettings::defaultBound(int kindNumber, int box, bool kill)
{
    return defaultRow(kindNumber, kill)[box];
}

QualificationRanges SearchSettings::defaultRanges(int kindNumber, bool kill)
{
    return {defaultRow(kindNumber, kill)};
}

QualificationRanges SearchSettings::ranges(int kindNumber, bool kill) const
{
    QualificationRanges r;
    for (int j = 0; j < QualificationRanges::kBoxes; ++j) {
        const QString stored =
            m_settings->readString(QString::number(kindNumber), rangeKey(j, kill), kNothingStored);
        if (stored == kNothingStored)
            r.bounds[j] = defaultBound(kindNumber, j, kill);
        else
            r.bounds[j] = static_cast<float>(NumericText::value(stored).value_or(0));
    }
    return r;
}

void SearchSettings::saveRanges(int kindNumber, bool kill, const QStringList& boxTexts)
{
    for (int j = 0; j < QualificationRanges::kBoxes; ++j)
        m_settings->writeString(QString::number(kindNumber), rangeKey(j, kill),
                                numberText(NumericText::leadingValue(boxTexts.value(j))));
}

int SearchSettings::operandCount(int slot) const
{
    const QString stored = m_settings->readString(QString::number(slot), kOperandKey, kNothingStored);
    const std::optional<double> v = NumericText::value(stored);
    if (!v)
        return kDefaultOperandCount;
    return static_cast<int>(
        std::clamp(std::nearbyint(*v), double(kMinOperandCount), double(kMaxOperandCount)));
}

void SearchSettings::saveOperandCount(int slot, int count)
{
    m_settings->writeString(QString::number(slot), kOperandKey, QString::number(count));
}

QString SearchSettings::schemeTargetText(int slot, bool kill) const
{
    return m_settings->readString(kSchemeSection, schemeKey(slot, kill),
                                  QString::number(kDefaultSchemeTarget));
}

void SearchSettings::saveSchemeTarget(int slot, bool kill, const QString& boxText)
{
    m_settings->writeString(kSchemeSection, schemeKey(slot, kill),
                            numberText(NumericText::leadingValue(boxText)));
}

bool SearchSettings::skipEquivalents() const
{
    return m_settings->readString(kWindowSection, kSkipEquivalentsKey, Settings::boolText(false))
               .trimmed()
               .compare(Settings::boolText(true), Qt::CaseInsensitive) == 0;
}

void SearchSettings::saveSkipEquivalents(bool on)
{
    m_settings->writeString(kWindowSection, kSkipEquivalentsKey, Settings::boolText(on));
}
