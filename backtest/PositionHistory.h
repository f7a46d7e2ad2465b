#pragma once

#include "backtest/PastRanking.h"

#include <QString>
#include <optional>
#include <utility>
#include <vector>

// One data row of "历史开奖列表": the ranking made on one draw set against the following draw.
struct PositionHistoryRow
{
    QString issue;                     // 期号: the following draw's issue
    QString drawn;                     // 开奖结果
    QString ranks;                     // 排位名次
    std::optional<int> err;            // Err值 of the (last) matching entry
    int totalLevels = 0;               // 总位次
    int level = 0;                     // 位次 (0: no entry holds the compared number)
    int levelSize = 0;                 // 位码数
    std::vector<RankedNumber> entries; // 排列/Err值 1..10
    std::vector<bool> marked;          // per entry: its number was drawn (blue)
    // The numbers of each count met in this row: count -> "03 05 ".
    std::vector<std::pair<int, QString>> byCount;
};

// The grid of the window "历史开奖列表": for every draw but the newest, where the numbers of the
// following draw stood in the ranking made on it. Columns 0..26 are fixed (期号, 开奖结果, 排位名次,
// Err值, 总位次, 位次, 位码数, 排列1..10, Err值1..10); then one column per count value from the
// smallest to the largest met in any row, headed count + "次", listing the numbers of that count.
//
// Levels: the first entry has level 1, each later one the level before it, plus 1 when its count
// differs. 位次 is the level of the entry holding the number drawn at the compared position, 位码数
// how many entries share that level, 总位次 the highest level.
class PositionHistory
{
public:
    static constexpr int kRankSlots = 10;
    static constexpr int kFixedColumns = 7 + 2 * kRankSlots; // 27
    static constexpr int kCountColumnWidthTwips = 1600;

    enum Column
    {
        IssueColumn,
        DrawnColumn,
        RanksColumn,
        ErrColumn,
        TotalLevelsColumn,
        LevelColumn,
        LevelSizeColumn,
        FirstNumberColumn,
        FirstCountColumn = FirstNumberColumn + kRankSlots
    };

    PositionHistory() = default;

    // comparedPosition as in a formula kind: 1 个位, 2 十位, 3 百位. With single false (通选) the
    // drawn numbers are those of the compared position and every later one up to 个位.
    static PositionHistory build(const std::vector<PastRankingDraw>& ranking, int comparedPosition,
                                 bool single);

    int comparedPosition() const { return m_comparedPosition; }
    bool single() const { return m_single; }
    int rowCount() const { return static_cast<int>(m_rows.size()); }
    int columnCount() const { return kFixedColumns + countColumnCount(); }
    // The count columns; none while there are no rows.
    int countColumnCount() const { return m_rows.empty() ? 0 : m_largest - m_smallest + 1; }
    int smallestCount() const { return m_smallest; }
    int largestCount() const { return m_largest; }
    const PositionHistoryRow& row(int r) const { return m_rows[r]; }

    QString header(int column) const;
    QString text(int row, int column) const;
    // The cell is painted blue: the number or count cell of an entry whose number was drawn.
    bool isMarked(int row, int column) const;

    // The rows as tab-separated text with the header row first, lines ending in "\n".
    QString toTsv() const;

private:
    int m_comparedPosition = 1;
    bool m_single = true;
    int m_smallest = 32767;
    int m_largest = 0;
    std::vector<PositionHistoryRow> m_rows;
};
