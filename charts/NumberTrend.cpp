#include "charts/NumberTrend.h"

#include "history/DrawFairness.h"
#include "history/ParameterTable.h"

#include <algorithm>

int NumberTrend::clampedDraws(int drawCount, int lastDraws)
{
    const int floor = std::min(kMinimumDraws, drawCount);
    return std::clamp(lastDraws, floor, drawCount);
}

QString NumberTrend::positionCaption(int position)
{
    static const char* const captions[] = {"百位", "十位", "个位"};
    return QString::fromUtf8(captions[std::clamp(position, 0, 2)]);
}

NumberTrend NumberTrend::of(const std::vector<DrawRecord>& draws, int lastDraws, const DrawModel& model)
{
    NumberTrend t;
    const int total = static_cast<int>(draws.size());
    if (total < 2) {
        t.requirement = QStringLiteral("至少需要两期开奖号码才能画号码走势：请先更新或录入开奖历史。");
        return t;
    }
    const int n = clampedDraws(total, lastDraws);
    const int sumColumn = ParameterTable::column("LH");
    for (auto& v : t.numbers)
        v.reserve(n);
    t.sums.reserve(n);
    for (int i = total - n; i < total; ++i) {
        const DrawRecord& d = draws[i];
        t.issues << d.issue;
        for (int p = 0; p < 3; ++p) {
            const int number = d.number(p + 1);
            t.numbers[p].push_back(number);
            if (number >= 1 && number <= 6)
                ++t.counts[p][number - 1];
        }
        t.sums.push_back(d.value(sumColumn));
    }
    t.expectedCount = n / 6.0;
    for (int p = 0; p < 3; ++p) {
        t.uniformExpectation = t.uniformExpectation && model.isUniform(1 << p);
        for (int v = 1; v <= 6; ++v)
            t.expected[p][v - 1] = n * model.positionChance(p, v);
    }
    t.fairnessText = DrawFairness::of(draws, model, n).text();
    return t;
}

QString NumberTrend::drawText(int index) const
{
    if (index < 0 || index >= drawCount())
        return QString();
    return QStringLiteral("第 %1 期：百位 %2，十位 %3，个位 %4，和数 %5")
        .arg(issues[index])
        .arg(numbers[0][index])
        .arg(numbers[1][index])
        .arg(numbers[2][index])
        .arg(sums[index]);
}

QString NumberTrend::countText(int number) const
{
    if (number < 1 || number > 6 || !isDrawable())
        return QString();
    if (!uniformExpectation)
        return QStringLiteral("号码 %1 最近 %2 期出现：百位 %3 次，十位 %4 次，个位 %5 次（纯属运气时约为 "
                              "%6、%7、%8 次）")
            .arg(number)
            .arg(drawCount())
            .arg(counts[0][number - 1])
            .arg(counts[1][number - 1])
            .arg(counts[2][number - 1])
            .arg(expected[0][number - 1], 0, 'f', 1)
            .arg(expected[1][number - 1], 0, 'f', 1)
            .arg(expected[2][number - 1], 0, 'f', 1);
    return QStringLiteral(
               "号码 %1 最近 %2 期出现：百位 %3 次，十位 %4 次，个位 %5 次（纯属运气时各约 %6 次）")
        .arg(number)
        .arg(drawCount())
        .arg(counts[0][number - 1])
        .arg(counts[1][number - 1])
        .arg(counts[2][number - 1])
        .arg(expectedCount, 0, 'f', 1);
}
