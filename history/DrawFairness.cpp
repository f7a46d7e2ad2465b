#include "history/DrawFairness.h"

#include "history/DrawRecord.h"
#include "history/HistoryColumns.h"
#include "history/Probability.h"

#include <algorithm>
#include <map>

namespace {

// `number(position, row)`: the published number of position 0 (百位) .. 2 (个位) on a row.
template <typename Number>
DrawFairness fairnessOf(int n, const Number& number, const DrawModel& model, int lastDraws)
{
    using Cell = DrawFairness::Cell;
    DrawFairness f;
    f.order = model.order();
    const int first = lastDraws > 0 ? std::max(0, n - lastDraws) : 0;
    f.draws = n - first;
    static const char* const positionNames[] = {"百位", "十位", "个位"};
    if (model.order() == DrawOrder::AsDrawn) {
        for (int position = 0; position < 3; ++position)
            for (int v = 1; v <= 6; ++v)
                f.cells.push_back({QString::fromUtf8(positionNames[position]) + QString::number(v), 0,
                                   f.draws * model.positionChance(position, v)});
        for (int row = first; row < n; ++row)
            for (int position = 0; position < 3; ++position) {
                const int v = number(position, row);
                if (v >= 1 && v <= 6)
                    ++f.cells[std::size_t(position * 6 + v - 1)].observed;
            }
        f.degrees = 15;
    } else {
        std::map<std::array<int, 3>, std::size_t> cellOf;
        for (const DrawModel::Outcome& o : model.outcomes()) {
            cellOf[o.numbers] = f.cells.size();
            f.cells.push_back({QString::number(o.numbers[0] * 100 + o.numbers[1] * 10 + o.numbers[2]), 0,
                               f.draws * double(o.throws) / DrawModel::kThrows});
        }
        for (int row = first; row < n; ++row) {
            const auto at = cellOf.find({number(0, row), number(1, row), number(2, row)});
            if (at == cellOf.end())
                ++f.unmatched;
            else
                ++f.cells[at->second].observed;
        }
        f.degrees = int(f.cells.size()) - 1;
    }
    if (f.draws == 0)
        return f;
    for (const Cell& c : f.cells)
        f.chiSquare += (c.observed - c.expected) * (c.observed - c.expected) / c.expected;
    f.p = f.unmatched > 0 ? 0.0 : Probability::chiSquareUpperTail(f.chiSquare, f.degrees);
    return f;
}

} // namespace

DrawFairness DrawFairness::of(const HistoryColumns& history, const DrawModel& model, int lastDraws)
{
    return fairnessOf(
        history.drawCount(), [&history](int position, int row) { return int(history.value(position, row)); },
        model, lastDraws);
}

DrawFairness DrawFairness::of(const std::vector<DrawRecord>& draws, const DrawModel& model, int lastDraws)
{
    return fairnessOf(
        int(draws.size()),
        [&draws](int position, int row) { return draws[std::size_t(row)].number(position + 1); }, model,
        lastDraws);
}

QString DrawFairness::text() const
{
    if (draws == 0)
        return QStringLiteral("还没有开奖号码，无法检验骰子是否公平");
    const QString pText = p < 0.001 ? QStringLiteral("p<0.001") : QStringLiteral("p=%1").arg(p, 0, 'f', 3);
    if (unmatched > 0)
        return QStringLiteral("近 %1 期与公平骰子不符：有 %2 期不是从小到大排列，却按从小到大计算机会")
            .arg(draws)
            .arg(unmatched);
    if (fits())
        return QStringLiteral("近 %1 期与公平骰子相符：χ²=%2, %3")
            .arg(draws)
            .arg(chiSquare, 0, 'f', 1)
            .arg(pText);
    return QStringLiteral("近 %1 期与公平骰子不符（p<0.001）：χ²=%2，自由度 %3")
        .arg(draws)
        .arg(chiSquare, 0, 'f', 1)
        .arg(degrees);
}
