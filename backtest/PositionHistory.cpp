#include "backtest/PositionHistory.h"

#include <algorithm>

namespace {

QString twoDigits(int number)
{
    return QStringLiteral("%1 ").arg(number, 2, 10, QLatin1Char('0'));
}

} // namespace

PositionHistory PositionHistory::build(const std::vector<PastRankingDraw>& ranking, int comparedPosition,
                                       bool single)
{
    PositionHistory h;
    h.m_comparedPosition = std::clamp(comparedPosition, 1, 3);
    h.m_single = single;
    // Index into the draw's numbers (百位, 十位, 个位) of the compared position: 个位 -> 2, 百位 -> 0.
    const int firstIndex = 3 - h.m_comparedPosition;
    const int lastIndex = single ? firstIndex : 2;
    for (std::size_t r = 0; r + 1 < ranking.size(); ++r) {
        const PastRankingDraw& made = ranking[r];
        const PastRankingDraw& next = ranking[r + 1];
        PositionHistoryRow row;
        row.issue = next.issue;
        std::vector<int> shown;
        for (int i = firstIndex; i <= lastIndex; ++i) {
            shown.push_back(next.numbers[i]);
            row.drawn += single ? QString::number(next.numbers[i]) : QString::number(next.numbers[i]) + u' ';
        }
        const int compared = next.numbers[firstIndex];

        const int entries = std::min<int>(kRankSlots, static_cast<int>(made.ranking.size()));
        std::vector<int> levels(entries);
        for (int i = 0; i < entries; ++i) {
            const RankedNumber& e = made.ranking[i];
            row.entries.push_back(e);
            const bool matches = std::find(shown.begin(), shown.end(), e.number) != shown.end();
            row.marked.push_back(matches);
            if (matches) {
                row.ranks += single ? QString::number(i + 1) : QString::number(i + 1) + u' ';
                row.err = e.count;
            }
            levels[i] = i == 0 ? 1 : levels[i - 1] + (e.count != made.ranking[i - 1].count ? 1 : 0);
            h.m_largest = std::max(h.m_largest, e.count);
            h.m_smallest = std::min(h.m_smallest, e.count);
            auto slot = std::find_if(row.byCount.begin(), row.byCount.end(),
                                     [&e](const auto& c) { return c.first == e.count; });
            if (slot == row.byCount.end())
                row.byCount.emplace_back(e.count, twoDigits(e.number));
            else
                slot->second += twoDigits(e.number);
        }
        row.totalLevels = entries > 0 ? levels.back() : 0;
        for (int i = 0; i < entries; ++i) {
            if (made.ranking[i].number == compared) {
                row.level = levels[i];
                row.levelSize = static_cast<int>(std::count(levels.begin(), levels.end(), levels[i]));
            }
        }
        h.m_rows.push_back(std::move(row));
    }
    return h;
}

QString PositionHistory::header(int column) const
{
    static const char* const fixed[] = {"期号", "开奖结果", "排位名次", "Err值", "总位次", "位次", "位码数"};
    if (column < 0 || column >= columnCount())
        return QString();
    if (column < FirstNumberColumn)
        return QString::fromUtf8(fixed[column]);
    if (column < FirstCountColumn)
        return QStringLiteral("排列%1").arg(column - FirstNumberColumn + 1);
    if (column < kFixedColumns)
        return QStringLiteral("Err值%1").arg(column - FirstCountColumn + 1);
    return QStringLiteral("%1次").arg(m_smallest + column - kFixedColumns);
}

QString PositionHistory::text(int row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return QString();
    const PositionHistoryRow& r = m_rows[row];
    switch (column) {
    case IssueColumn:
        return r.issue;
    case DrawnColumn:
        return r.drawn;
    case RanksColumn:
        return r.ranks;
    case ErrColumn:
        return r.err ? QString::number(*r.err) : QString();
    case TotalLevelsColumn:
        return QString::number(r.totalLevels);
    case LevelColumn:
        return QString::number(r.level);
    case LevelSizeColumn:
        return QString::number(r.levelSize);
    default:
        break;
    }
    if (column < FirstCountColumn) {
        const int i = column - FirstNumberColumn;
        return i < static_cast<int>(r.entries.size()) ? QString::number(r.entries[i].number) : QString();
    }
    if (column < kFixedColumns) {
        const int i = column - FirstCountColumn;
        return i < static_cast<int>(r.entries.size()) ? QString::number(r.entries[i].count) : QString();
    }
    const int count = m_smallest + column - kFixedColumns;
    for (const auto& [c, numbers] : r.byCount)
        if (c == count)
            return numbers;
    return QString();
}

bool PositionHistory::isMarked(int row, int column) const
{
    if (row < 0 || row >= rowCount() || column < FirstNumberColumn || column >= kFixedColumns)
        return false;
    const int i = (column - FirstNumberColumn) % kRankSlots;
    const PositionHistoryRow& r = m_rows[row];
    return i < static_cast<int>(r.marked.size()) && r.marked[i];
}

QString PositionHistory::toTsv() const
{
    QString out;
    const int columns = columnCount();
    for (int c = 0; c < columns; ++c)
        out += (c ? QStringLiteral("\t") : QString()) + header(c);
    out += u'\n';
    for (int r = 0; r < rowCount(); ++r) {
        for (int c = 0; c < columns; ++c)
            out += (c ? QStringLiteral("\t") : QString()) + text(r, c);
        out += u'\n';
    }
    return out;
}
