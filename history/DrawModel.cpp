#include "history/DrawModel.h"

#include "history/DrawRecord.h"
#include "history/HistoryColumns.h"

#include <algorithm>
#include <cstdint>
#include <map>

DrawModel::DrawModel(DrawOrder order) : m_order(order)
{
    std::array<std::array<int, 6>, 8> inCount{};
    std::array<std::array<std::array<int, 6>, 6>, 8> bothOutCount{};
    std::map<std::array<int, 3>, int> published;
    for (int a = 1; a <= 6; ++a)
        for (int b = 1; b <= 6; ++b)
            for (int c = 1; c <= 6; ++c) {
                std::array<int, 3> shown{a, b, c};
                if (order == DrawOrder::Ascending)
                    std::sort(shown.begin(), shown.end());
                ++published[shown];
                for (int mask = 1; mask < 8; ++mask) {
                    std::array<bool, 6> present{};
                    for (int position = 0; position < 3; ++position)
                        if (mask & (1 << position))
                            present[std::size_t(shown[std::size_t(position)] - 1)] = true;
                    for (int u = 0; u < 6; ++u) {
                        inCount[mask][u] += present[u];
                        for (int v = 0; v < 6; ++v)
                            bothOutCount[mask][u][v] += !present[u] && !present[v];
                    }
                }
            }
    // Each chance as its own count over 216, so that a chance and its complement are both the
    // nearest doubles to their fractions.
    for (int mask = 0; mask < 8; ++mask) {
        for (int u = 0; u < 6; ++u) {
            const int in = mask == 0 ? 0 : inCount[mask][u];
            m_in[mask][u] = double(in) / kThrows;
            m_out[mask][u] = double(kThrows - in) / kThrows;
            for (int v = 0; v < 6; ++v)
                m_bothOut[mask][u][v] = mask == 0 ? 1.0 : double(bothOutCount[mask][u][v]) / kThrows;
        }
        m_uniform[mask] = std::all_of(inCount[mask].begin(), inCount[mask].end(),
                                      [&](int n) { return n == inCount[mask][0]; });
    }
    for (const auto& [numbers, throws] : published)
        m_outcomes.push_back({numbers, throws});
}

const DrawModel& DrawModel::of(DrawOrder order)
{
    static const DrawModel asDrawn(DrawOrder::AsDrawn);
    static const DrawModel ascending(DrawOrder::Ascending);
    return order == DrawOrder::Ascending ? ascending : asDrawn;
}

DrawOrder DrawModel::detect(int draws, int ascendingDraws)
{
    // Integer comparison: ascending · 100 ≥ 95 · draws, with no rounding at the boundary.
    return draws >= kMinimumDrawsToDetect && std::int64_t(ascendingDraws) * 100 >= std::int64_t(draws) * 95
               ? DrawOrder::Ascending
               : DrawOrder::AsDrawn;
}

namespace {

DrawOrderReading readingOf(PublicationOrder setting, int draws, int ascendingDraws)
{
    DrawOrderReading r;
    r.setting = setting;
    r.draws = draws;
    r.ascendingDraws = ascendingDraws;
    switch (setting) {
    case PublicationOrder::Ascending:
        r.order = DrawOrder::Ascending;
        break;
    case PublicationOrder::AsDrawn:
        r.order = DrawOrder::AsDrawn;
        break;
    case PublicationOrder::Detect:
        r.order = DrawModel::detect(draws, ascendingDraws);
        break;
    }
    return r;
}

} // namespace

DrawOrderReading DrawModel::read(const HistoryColumns& history, PublicationOrder setting)
{
    return readingOf(setting, history.orderDraws(), history.orderAscendingDraws());
}

DrawOrderReading DrawModel::read(const std::vector<DrawRecord>& draws, PublicationOrder setting)
{
    const auto ascending = std::count_if(draws.begin(), draws.end(), [](const DrawRecord& d) {
        return d.number(1) <= d.number(2) && d.number(2) <= d.number(3);
    });
    return readingOf(setting, int(draws.size()), int(ascending));
}

int DrawModel::maskOf(const std::vector<int>& numberColumns)
{
    int mask = 0;
    for (int c : numberColumns)
        if (c >= 0 && c < 3)
            mask |= 1 << c;
    return mask;
}

QString DrawModel::settingCaption(PublicationOrder setting)
{
    switch (setting) {
    case PublicationOrder::Ascending:
        return QStringLiteral("从小到大");
    case PublicationOrder::AsDrawn:
        return QStringLiteral("按开出顺序");
    case PublicationOrder::Detect:
        break;
    }
    return QStringLiteral("自动识别");
}

bool DrawModel::parseOrderWord(const QString& word, PublicationOrder* setting)
{
    const QString w = word.trimmed().toLower();
    if (w == QLatin1String("auto"))
        *setting = PublicationOrder::Detect;
    else if (w == QLatin1String("ascending"))
        *setting = PublicationOrder::Ascending;
    else if (w == QLatin1String("drawn"))
        *setting = PublicationOrder::AsDrawn;
    else
        return false;
    return true;
}

QString DrawOrderReading::text() const
{
    QString found;
    if (draws == 0) {
        found = QStringLiteral("还没有开奖号码");
    } else {
        // Whole per cents rounded down, so that 94.9 % never reads as the 95 % of the rule.
        const int share = int(std::int64_t(ascendingDraws) * 100 / draws);
        found = QStringLiteral("已存 %1 期中 %2% 从小到大排列").arg(draws).arg(share);
    }
    const QString rule = order == DrawOrder::Ascending ? QStringLiteral("按从小到大计算机会")
                                                       : QStringLiteral("按开出顺序计算机会");
    return found + QStringLiteral("，") + rule +
           (setting == PublicationOrder::Detect ? QString() : QStringLiteral("（设置中指定）"));
}

QString DrawOrderReading::chanceLine() const
{
    return order == DrawOrder::Ascending ? QStringLiteral("机会按从小到大排列的开奖号码计算")
                                         : QStringLiteral("机会按开出顺序的开奖号码计算");
}
