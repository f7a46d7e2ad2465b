#include "formula/FormulaKind.h"

#include "history/ParameterTable.h"

const std::array<FormulaKind, 5>& FormulaKind::all()
{
    static const std::array<FormulaKind, 5> kinds = {
        {{1, true}, {2, true}, {3, true}, {2, false}, {3, false}}};
    return kinds;
}

std::optional<FormulaKind> FormulaKind::fromCode(const QString& code)
{
    for (const FormulaKind& k : all())
        if (code.compare(k.code(), Qt::CaseInsensitive) == 0)
            return k;
    return std::nullopt;
}

std::optional<FormulaKind> FormulaKind::fromTableName(const QString& table)
{
    for (const FormulaKind& k : all())
        if (table.compare(k.tableName(), Qt::CaseInsensitive) == 0)
            return k;
    return std::nullopt;
}

QString FormulaKind::positionCaption(int position)
{
    switch (position) {
    case 1:
        return QStringLiteral("个位");
    case 2:
        return QStringLiteral("十位");
    case 3:
        return QStringLiteral("百位");
    default:
        return QString();
    }
}

QString FormulaKind::code() const
{
    return QString::number(position) + (single ? QLatin1Char('D') : QLatin1Char('G'));
}

QString FormulaKind::tableName() const
{
    return QStringLiteral("Gongshi") + code();
}

QString FormulaKind::kindText() const
{
    return positionCaption(position) + selectionCaption(single);
}

QString FormulaKind::selectionLabel() const
{
    return selectionCaption(single) + positionCaption(position);
}

std::vector<int> FormulaKind::checkedColumns() const
{
    // Kind positions count from the units (1) up; draw positions count from the hundreds (L1A).
    const int drawPosition = 4 - position;
    if (single)
        return {ParameterTable::numberColumn(drawPosition)};
    std::vector<int> columns;
    for (int p = drawPosition; p <= 3; ++p)
        columns.push_back(ParameterTable::numberColumn(p));
    return columns;
}
