#include "history/LotteryTable.h"

#include <array>

const Lottery& LotteryTable::at(int index)
{
    static const std::array<Lottery, kCount> table = {{
        {QStringLiteral("福建快3"), "fj", 78},
        {QStringLiteral("广西快3"), "gx", 78},
        {QStringLiteral("上海快3"), "sh", 82},
        {QStringLiteral("江苏快3"), "js", 82},
        {QStringLiteral("安徽快3"), "ah", 80},
        {QStringLiteral("江西快3"), "jx", 84},
        {QStringLiteral("湖北快3"), "hb", 78},
        {QStringLiteral("贵州快3"), "gz", 78},
        {QStringLiteral("吉林快3"), "jl", 87},
        {QStringLiteral("北京快3"), "bj", 78},
        {QStringLiteral("河北快3"), "heb", 81},
        {QStringLiteral("河南快3"), "hen", 84},
        {QStringLiteral("甘肃快3"), "gs", 78},
        {QStringLiteral("青海快3"), "qh", 78},
        {QStringLiteral("内蒙快3"), "nmg", 73},
    }};
    return table[index];
}
