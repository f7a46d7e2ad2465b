#pragma once

#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

// Chinese-to-code translation of formula texts and the character check of the code form.
class FormulaTranslation
{
public:
    // Replaces every occurrence of searchFor, and again any occurrence a replacement forms, until
    // none is left. *searchLine receives the result too. replaceWith must not contain searchFor.
    static QString asReplace(QString* searchLine, const QString& searchFor, const QString& replaceWith);
    // The 57 ordered (Chinese text, code text) pairs: a longer name always comes before any name it
    // contains, and every code text is ASCII letters and digits.
    static const std::vector<std::pair<QString, QString>>& translationTable();
    // Applies the table in order to a Chinese, mixed or already coded text, then trims ASCII blanks.
    static QString translateGongshiCN(const QString& text);
    // True when every character may appear in a code form: ASCII letters, digits, ( ) * + - / and
    // the space. Says nothing about codes or grammar. An empty text passes.
    static bool checkGongshiChars(const QString& text);
    // Position of the first character checkGongshiChars refuses, or -1.
    static qsizetype firstRefusedChar(const QString& text);
};
