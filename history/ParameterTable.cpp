#include "history/ParameterTable.h"

#include <QHash>

namespace {

std::array<ParameterEntry, kParameterCount> buildEntries()
{
    const QString positions[3] = {QStringLiteral("百位"), QStringLiteral("十位"), QStringLiteral("个位")};
    std::array<ParameterEntry, kParameterCount> e;
    int n = 0;
    auto add = [&](const QString& code, const QString& name) { e[n++] = {code, name}; };
    auto perPosition = [&](QChar letter, const QString& suffix) {
        for (int p = 1; p <= 3; ++p)
            add(QStringLiteral("L%1%2").arg(p).arg(letter), positions[p - 1] + suffix);
    };
    perPosition('A', QStringLiteral("码"));
    perPosition('B', QStringLiteral("大小"));
    perPosition('C', QStringLiteral("单双"));
    perPosition('D', QStringLiteral("5余"));
    perPosition('E', QStringLiteral("3余"));
    perPosition('F', QStringLiteral("3段"));
    perPosition('G', QStringLiteral("平方"));
    add("L1H", QStringLiteral("除5余1"));
    add("L2H", QStringLiteral("除5余2"));
    add("L3H", QStringLiteral("除5余3"));
    add("L4H", QStringLiteral("除5余4"));
    add("L5H", QStringLiteral("除5余0"));
    perPosition('I', QStringLiteral("互补数"));
    perPosition('J', QStringLiteral("2指数方"));
    perPosition('K', QStringLiteral("立方"));
    add("L1L", QStringLiteral("除3余1"));
    add("L2L", QStringLiteral("除3余2"));
    add("L3L", QStringLiteral("除3余0"));
    perPosition('P', QStringLiteral("邻号和"));
    perPosition('Q', QStringLiteral("邻号差"));
    add("L1M", QStringLiteral("最大振幅"));
    add("L2M", QStringLiteral("合数个"));
    add("L3M", QStringLiteral("合数和"));
    add("L4M", QStringLiteral("质数个"));
    add("L5M", QStringLiteral("质数和"));
    add("LH", QStringLiteral("和数"));
    add("LI", QStringLiteral("和个位"));
    add("LJ", QStringLiteral("大数个"));
    add("LK", QStringLiteral("大数和"));
    add("LL", QStringLiteral("小数个"));
    add("LM", QStringLiteral("小数和"));
    add("LN", QStringLiteral("奇数个"));
    add("LO", QStringLiteral("奇数和"));
    add("LP", QStringLiteral("偶数个"));
    add("LQ", QStringLiteral("偶数和"));
    add("LR", QStringLiteral("数字个数"));
    add("LS", QStringLiteral("同号个数"));
    add("LT", QStringLiteral("跨度"));
    add("LU", QStringLiteral("连同号"));
    add("LV", QStringLiteral("连顺号"));
    add("LW", QStringLiteral("逆顺号"));
    add("LX", QStringLiteral("重上期号"));
    add("LY", QStringLiteral("同上期数"));
    add("QH", QStringLiteral("本期号"));
    add("QHW", QStringLiteral("本期号合"));
    add("SQH", QStringLiteral("上期号"));
    add("SQHW", QStringLiteral("上期号合"));
    add("RQ", QStringLiteral("日期"));
    add("RQW", QStringLiteral("日期合"));
    add("YF", QStringLiteral("月份"));
    add("YFW", QStringLiteral("月份合"));
    add("NF", QStringLiteral("年份"));
    add("NFW", QStringLiteral("年份合"));
    Q_ASSERT(n == kParameterCount);
    return e;
}

} // namespace

const std::array<ParameterEntry, kParameterCount>& ParameterTable::entries()
{
    static const auto table = buildEntries();
    return table;
}

int ParameterTable::indexOf(QStringView code)
{
    static const QHash<QString, int> byCode = [] {
        QHash<QString, int> h;
        for (int i = 0; i < kParameterCount; ++i)
            h.insert(entries()[i].code, i);
        return h;
    }();
    return byCode.value(code.toString().toUpper(), -1);
}

int ParameterTable::column(const char* code)
{
    return indexOf(QString::fromLatin1(code));
}

QStringList ParameterTable::codes()
{
    QStringList out;
    for (const ParameterEntry& e : entries())
        out << e.code;
    return out;
}
