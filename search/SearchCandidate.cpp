#include "search/SearchCandidate.h"

#include "history/ParameterTable.h"

QString SearchCandidate::codeForm() const
{
    QString text;
    text.reserve(operandCount * 5 + 6);
    for (int i = 0; i < operandCount; ++i)
        text += ParameterTable::code(operands[i]) + QLatin1Char('+');
    return text + QString::number(tail);
}

QString SearchCandidate::chineseForm(const FormulaKind& kind, bool kill, ChineseFormStyle style) const
{
    const QString position = FormulaKind::positionCaption(kind.position);
    const QString selection = FormulaKind::selectionCaption(kind.single);
    QString text;
    if (style == ChineseFormStyle::Bracket)
        text = QLatin1Char('[') + position + selection + senseWord(kill) + QLatin1Char(']');
    for (int i = 0; i < operandCount; ++i)
        text += ParameterTable::chineseName(operands[i]) + QLatin1Char('+');
    text += QString::number(tail);
    if (style == ChineseFormStyle::NextDraw)
        text += QStringLiteral("=下期") + senseWord(kill) + position + selection;
    return text;
}
