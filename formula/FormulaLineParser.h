#pragma once

#include <QString>
#include <optional>

// One formula line of a text file or of the input box, taken apart: the formula text and the
// kind and sense its decoration names ("[十位通选杀]…" or "…=下期杀十位通选").
struct ParsedFormulaLine
{
    QString formulaText;
    std::optional<int> position; // 1 个位, 2 十位, 3 百位; set together with `single`
    std::optional<bool> single;  // true 单选, false 通选
    std::optional<bool> kill;    // true 杀, false 生
    bool tooShort = false;       // "下期" at the very start: no formula text before it

    bool namesKind() const { return position.has_value(); }
};

class FormulaLineParser
{
public:
    // Trims ASCII spaces and ideographic spaces (U+3000) at both ends.
    static QString trimBlanks(const QString& text);
    // Drops the statistics tail from the first "连准" on and trims the rest.
    static QString withoutStatistics(const QString& line);
    // `noBracketOffset`: characters dropped from a line with no closing bracket at character 6, 7
    // or 8 (0 for files and typed text, 5 for the online formula file).
    static ParsedFormulaLine parse(const QString& line, int noBracketOffset);
};
