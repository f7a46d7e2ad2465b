#include "formula/FormulaTranslation.h"

namespace {

std::vector<std::pair<QString, QString>> buildTable()
{
    std::vector<std::pair<QString, QString>> t;
    auto add = [&t](const char* chinese, const char* code) {
        t.emplace_back(QString::fromUtf8(chinese), QString::fromLatin1(code));
    };
    add("最大振幅", "L1M");
    add("合数个", "L2M");
    add("合数和", "L3M");
    add("质数个", "L4M");
    add("质数和", "L5M");
    add("和数", "LH");
    add("和个位", "LI");
    add("大数个", "LJ");
    add("大数和", "LK");
    add("小数个", "LL");
    add("小数和", "LM");
    add("奇数个", "LN");
    add("奇数和", "LO");
    add("偶数个", "LP");
    add("偶数和", "LQ");
    add("数字个数", "LR");
    add("同号个数", "LS");
    add("跨度", "LT");
    add("连同号", "LU");
    add("连顺号", "LV");
    add("逆顺号", "LW");
    add("重上期号", "LX");
    add("同上期数", "LY");
    add("本期号合", "QHW");
    add("本期号", "QH");
    add("上期号合", "SQHW");
    add("上期号", "SQH");
    add("日期合", "RQW");
    add("日期", "RQ");
    add("月份合", "YFW");
    add("月份", "YF");
    add("年份合", "NFW");
    add("年份", "NF");
    add("合", "W");
    add("个位", "L3");
    add("十位", "L2");
    add("百位", "L1");
    // 除5余1..除5余4, 除5余0 -> L1H..L5H; 除3余1, 除3余2, 除3余0 -> L1L..L3L.
    for (int i = 1; i <= 5; ++i)
        t.emplace_back(QStringLiteral("除5余%1").arg(i % 5), QStringLiteral("L%1H").arg(i));
    for (int i = 1; i <= 3; ++i)
        t.emplace_back(QStringLiteral("除3余%1").arg(i % 3), QStringLiteral("L%1L").arg(i));
    add("码", "A");
    add("大小", "B");
    add("单双", "C");
    add("5余", "D");
    add("3余", "E");
    add("3段", "F");
    add("平方", "G");
    add("立方", "K");
    add("互补数", "I");
    add("2指数方", "J");
    add("邻号和", "P");
    add("邻号差", "Q");
    return t;
}

bool isAdmitted(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '(' ||
           u == ')' || u == '*' || u == '+' || u == '-' || u == '/' || u == ' ';
}

QString trimSpaces(const QString& s)
{
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && s[b] == QLatin1Char(' '))
        ++b;
    while (e > b && s[e - 1] == QLatin1Char(' '))
        --e;
    return s.mid(b, e - b);
}

} // namespace

QString FormulaTranslation::asReplace(QString* searchLine, const QString& searchFor,
                                      const QString& replaceWith)
{
    if (searchFor.isEmpty())
        return *searchLine;
    // Every occurrence in one pass, then again while a pass formed new ones: the same result as
    // replacing the first occurrence until none is left, in time linear in the text unless the
    // replacements keep forming new occurrences (which no pair of the translation table does).
    while (searchLine->contains(searchFor, Qt::CaseSensitive))
        searchLine->replace(searchFor, replaceWith, Qt::CaseSensitive);
    return *searchLine;
}

const std::vector<std::pair<QString, QString>>& FormulaTranslation::translationTable()
{
    static const auto table = buildTable();
    return table;
}

QString FormulaTranslation::translateGongshiCN(const QString& text)
{
    QString line = text;
    for (const auto& [chinese, code] : translationTable())
        asReplace(&line, chinese, code);
    return trimSpaces(line);
}

bool FormulaTranslation::checkGongshiChars(const QString& text)
{
    return firstRefusedChar(text) < 0;
}

qsizetype FormulaTranslation::firstRefusedChar(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i)
        if (!isAdmitted(text[i]))
            return i;
    return -1;
}
