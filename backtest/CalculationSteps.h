#pragma once

#include <QString>
#include <vector>

class HistoryColumns;
struct DrawRecord;

// One row of the window "公式计算步骤".
struct CalculationStepRow
{
    QString issue;   // 期号
    QString numbers; // 当期号码: the three numbers written together, e.g. "335"
    QString steps;   // the formula with every parameter code replaced by its value on the draw
    QString value;   // 计算值(算下期): the formula's value on the draw
};

// How one formula's value comes about on every stored draw. The step text keeps the formula's own
// shape (operators, MOD, parentheses, blanks and constants as written) and puts each parameter's
// value in place of its code, so L1A+LT+(L3D MOD 3)+7 reads 3+5+(2 MOD 3)+7; a negative value is
// bracketed, (-2). The value is the formula's value as the back-test computes it.
class CalculationSteps
{
public:
    // One row per draw, oldest first. `history` is the column copy of `draws`.
    static std::vector<CalculationStepRow> build(const std::vector<DrawRecord>& draws,
                                                 const HistoryColumns& history, const QString& code);
    static QString stepText(const QString& code, const HistoryColumns& history, int row);
    // Whole values without a fraction, others with up to ten significant digits; "无法计算" for a
    // draw without a value (division by zero, MOD 0, an invalid formula).
    static QString valueText(double value);
};
