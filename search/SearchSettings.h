#pragma once

#include "search/QualificationRanges.h"

#include <QString>
#include <QStringList>

class Settings;

// The search window's stored values, beside the main window's in the settings of application
// "Pelq", every value the decimal text of a number:
//   ranges v(k, j, m) of kind number k (0, 1, 2, 4, 5 = slot − 1) under section "k", key j + 10·m
//     (j = 0..9 the range boxes, m = 0 kill, 1 keep); missing values take the default table;
//   the operand count of slot s (1..6) under section "s", key "text2", default 8;
//   the all-kinds search's target of slot i under section "SSSZ", key i + 10·m, default 60;
//   "跳过等价公式" under section "GSGL", key "TGDJ", True or False, default False.
class SearchSettings
{
public:
    static constexpr int kDefaultOperandCount = 8;
    static constexpr int kMinOperandCount = 2;
    static constexpr int kMaxOperandCount = 24;
    static constexpr int kDefaultSchemeTarget = 60;

    explicit SearchSettings(Settings* settings);

    static float defaultBound(int kindNumber, int box, bool kill);
    static QualificationRanges defaultRanges(int kindNumber, bool kill);

    // Stored ranges of a kind and sense; a stored text that is not a number reads as 0.
    QualificationRanges ranges(int kindNumber, bool kill) const;
    // Stores the leading number of each of the ten box texts.
    void saveRanges(int kindNumber, bool kill, const QStringList& boxTexts);

    // A count of 2..24: a stored number is clamped into that range, anything else gives 8.
    int operandCount(int slot) const;
    void saveOperandCount(int slot, int count);

    // The stored text of a target box, "60" when none is stored.
    QString schemeTargetText(int slot, bool kill) const;
    // Stores the box's leading number.
    void saveSchemeTarget(int slot, bool kill, const QString& boxText);

    // "跳过等价公式": off unless True is stored.
    bool skipEquivalents() const;
    void saveSkipEquivalents(bool on);

private:
    static QString numberText(double v);

    Settings* m_settings;
};
