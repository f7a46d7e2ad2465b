#pragma once

#include "formula/CompiledFormula.h"

#include <QString>
#include <array>
#include <atomic>
#include <functional>
#include <vector>

class HistoryColumns;
struct DrawRecord;

// One number of a draw's ranking with the votes it got.
struct RankedNumber
{
    int number = 0;
    int count = 0;

    bool operator==(const RankedNumber&) const = default;
};

// One stored draw with the ranking of the six numbers by the votes the selected formulas cast when
// evaluated on that draw itself.
struct PastRankingDraw
{
    QString issue;
    std::array<int, 3> numbers{}; // 百位, 十位, 个位 (L1A, L2A, L3A)
    // Ascending vote count (rank 1 = fewest votes); equal counts in ascending number order.
    std::array<RankedNumber, 6> ranking{};
};

// "公式往期位置值结果列表": for every stored draw, how the votes of the selected formulas of the
// current subset fall on the numbers 1..6. Each formula is evaluated once over all draws; its vote
// on a draw is p = ((x − 1) MOD 6) + 1 of its value x there. A draw on which a formula has no value
// (or an invalid formula) gets no vote from it.
//
// Kill formulas add 1 to the count of p. Keep formulas follow the "covered" rule, in formula order:
// a keep formula adds 1 to every number and marks all six covered, except that when p was not
// covered before it takes its 1 back from p and leaves p uncovered. Since one run holds either kill
// or keep formulas, the counts are either kill votes or keep votes.
class PastRanking
{
public:
    // Called on the calling thread with the number of draws finished so far.
    using Progress = std::function<void(int done, int total)>;

    // The warning asked before a build.
    static QString confirmTitle() { return QStringLiteral("查询等待确认"); }
    static QString confirmText()
    {
        return QStringLiteral(
            "往期结果对照需要计算每一期的运算结果还要与开奖结果比较，所以运算比较复杂过程比较长，"
            "可能花费数十分钟，继续查询吗？");
    }

    // Builds the rankings of all draws (oldest first). `history` must be the column copy of `draws`;
    // `selected` holds one flag per formula (an unselected formula casts no vote). Fails when the
    // inputs disagree or when `cancel` is raised; *out is then left empty.
    static bool build(const std::vector<DrawRecord>& draws, const HistoryColumns& history,
                      const std::vector<CompiledFormula>& formulas, const std::vector<bool>& selected,
                      bool kill, std::vector<PastRankingDraw>* out, QString* error,
                      const Progress& progress = {}, const std::atomic<bool>* cancel = nullptr);

    // The counts of one draw in ascending order, equal counts by ascending number.
    static std::array<RankedNumber, 6> rank(const std::array<int, 6>& counts);
};
