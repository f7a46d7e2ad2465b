#include "backtest/CalculationSteps.h"

#include "formula/CompiledFormula.h"
#include "history/DrawRecord.h"
#include "history/HistoryColumns.h"
#include "history/ParameterTable.h"

#include <cmath>

namespace {

// The formula text cut into pieces that are copied as written and parameter codes to replace.
struct Piece
{
    QString text;
    int column = -1; // parameter column, or -1 for literal text
};

bool isAsciiLetter(QChar c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// Splits the text the way the formula compiler reads it: a letter starts a word of letters and
// digits (a code, or MOD), so the digits inside codes such as L1A are not taken for numbers.
std::vector<Piece> split(const QString& code)
{
    std::vector<Piece> pieces;
    auto literal = [&pieces](QStringView text) {
        if (pieces.empty() || pieces.back().column >= 0)
            pieces.push_back({});
        pieces.back().text += text;
    };
    qsizetype i = 0;
    while (i < code.size()) {
        if (!isAsciiLetter(code[i])) {
            literal(QStringView(code).mid(i, 1));
            ++i;
            continue;
        }
        const qsizetype start = i;
        while (i < code.size() && (isAsciiLetter(code[i]) || isAsciiDigit(code[i])))
            ++i;
        const QStringView word = QStringView(code).mid(start, i - start);
        const int column = ParameterTable::indexOf(word);
        if (column >= 0)
            pieces.push_back({QString(), column});
        else
            literal(word); // MOD, or a word that is no code (shown as written)
    }
    return pieces;
}

QString parameterText(double value)
{
    const QString text = CalculationSteps::valueText(value);
    return value < 0 ? QStringLiteral("(%1)").arg(text) : text;
}

QString compose(const std::vector<Piece>& pieces, const HistoryColumns& history, int row)
{
    QString out;
    for (const Piece& p : pieces)
        out += p.column >= 0 ? parameterText(history.value(p.column, row)) : p.text;
    return out;
}

} // namespace

QString CalculationSteps::valueText(double value)
{
    if (std::isnan(value) || std::isinf(value))
        return QStringLiteral("无法计算");
    if (value == std::trunc(value) && std::fabs(value) < 1e15)
        return QString::number(static_cast<qint64>(value));
    return QString::number(value, 'g', 10);
}

QString CalculationSteps::stepText(const QString& code, const HistoryColumns& history, int row)
{
    return compose(split(code), history, row);
}

std::vector<CalculationStepRow> CalculationSteps::build(const std::vector<DrawRecord>& draws,
                                                        const HistoryColumns& history, const QString& code)
{
    std::vector<CalculationStepRow> rows;
    const int n = std::min(static_cast<int>(draws.size()), history.drawCount());
    rows.reserve(n);
    const std::vector<Piece> pieces = split(code);
    const CompiledFormula formula = CompiledFormula::compile(code);
    for (int r = 0; r < n; ++r) {
        const DrawRecord& d = draws[r];
        CalculationStepRow row;
        row.issue = d.issue;
        row.numbers =
            QString::number(d.number(1)) + QString::number(d.number(2)) + QString::number(d.number(3));
        row.steps = compose(pieces, history, r);
        row.value = valueText(formula.evaluateRow(history, r));
        rows.push_back(std::move(row));
    }
    return rows;
}
