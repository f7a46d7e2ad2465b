#include "formula/FormulaLineParser.h"

#include <algorithm>

namespace {

const QChar kIdeographicSpace(0x3000);

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == kIdeographicSpace;
}

// Characters from 1-based position `from`, at most `count`, like the classic Mid function.
QString mid1(const QString& text, int from, int count)
{
    if (from < 1 || from > text.size())
        return {};
    return text.mid(from - 1, count);
}

void nameKind(const QString& positionText, const QString& selectionText, ParsedFormulaLine* out)
{
    int position = 0;
    if (positionText == QStringLiteral("个位"))
        position = 1;
    else if (positionText == QStringLiteral("十位"))
        position = 2;
    else if (positionText == QStringLiteral("百位"))
        position = 3;
    const bool single = selectionText == QStringLiteral("单选");
    const bool general = selectionText == QStringLiteral("通选");
    if (position == 0 || (!single && !general))
        return;
    out->position = position;
    out->single = single;
}

} // namespace

QString FormulaLineParser::trimBlanks(const QString& text)
{
    int begin = 0;
    int end = int(text.size());
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

QString FormulaLineParser::withoutStatistics(const QString& line)
{
    const int tail = int(line.indexOf(QStringLiteral("连准")));
    return trimBlanks(tail >= 0 ? line.left(tail) : line);
}

ParsedFormulaLine FormulaLineParser::parse(const QString& line, int noBracketOffset)
{
    ParsedFormulaLine out;
    const int at = int(line.indexOf(QStringLiteral("下期")));
    if (at >= 0) {
        const int p = at + 1; // 1-based
        // Only "下期" at the very start leaves no room for "=" before it; at the second character
        // the formula text is empty and the line only sets the kind and sense.
        if (p < 2) {
            out.tooShort = true;
            return out;
        }
        out.kill = mid1(line, p + 2, 1) == QStringLiteral("杀");
        const QString marker = mid1(line, p + 3, 1);
        const bool numbered = QStringLiteral("一二三四五").contains(marker) && !marker.isEmpty();
        const QString positionText = trimBlanks(mid1(line, numbered ? p + 3 : p + 4, 2));
        const QString selectionText = trimBlanks(mid1(line, numbered ? p + 5 : p + 6, 2));
        out.formulaText = trimBlanks(line.left(std::max(0, p - 2)));
        nameKind(positionText, selectionText, &out);
        return out;
    }
    int k = noBracketOffset;
    for (int candidate : {6, 7, 8}) {
        if (mid1(line, candidate, 1) == QStringLiteral("]")) {
            k = candidate;
            break;
        }
    }
    out.formulaText = line.mid(k);
    const QString decoration = mid1(line, 2, 5);
    nameKind(decoration.left(2), decoration.mid(2, 2), &out);
    return out;
}
