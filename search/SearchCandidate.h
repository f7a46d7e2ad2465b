#pragma once

#include "formula/FormulaKind.h"

#include <QString>
#include <array>
#include <cstdint>

// How the Chinese form of a searched formula is spelled: "[Xxx类]A+B" puts the kind in brackets
// before the sum, "A+B=下期杀xx" names the prediction after it.
enum class ChineseFormStyle
{
    Bracket,
    NextDraw
};

// A random formula of the search: a plain sum of parameters of the draw record followed by one
// integer constant (the tail), for example LH+LT+3. The parameters are kept as column indexes so
// the formula can be evaluated without parsing; the texts are spelled on demand, since most
// candidates are thrown away unseen.
struct SearchCandidate
{
    static constexpr int kMinOperands = 2;
    static constexpr int kMaxOperands = 24;

    std::array<std::uint8_t, kMaxOperands> operands{}; // ParameterTable column indexes
    int operandCount = 0;
    int tail = 0; // a 16-bit integer

    // The code form, stored as gongshi: "LH+LT+3"; a negative tail gives "LH+LT+-2".
    QString codeForm() const;
    // The Chinese form, stored as gongshiCN: "[个位单选杀]和数+跨度+3" or "和数+跨度+3=下期杀个位单选".
    QString chineseForm(const FormulaKind& kind, bool kill, ChineseFormStyle style) const;

    static QString senseWord(bool kill) { return kill ? QStringLiteral("杀") : QStringLiteral("生"); }
};
