#pragma once

#include <QString>
#include <vector>

struct ReplayResult;

// What the chart "计算回测" is given, read from a replay of the calculation over past draws:
// where the drawn numbers stood in each draw's ranking (levels 1..6 通选, 1..10 单选) beside the
// even spread pure chance gives, and the share of the 滤杀 numbers that were right (not drawn)
// in each block of 10 replayed draws beside the share chance gives the same 滤杀 numbers.
struct ReplayTrend
{
    static constexpr int kBlockDraws = 10;

    // One block of replayed draws, oldest first; the last one may be shorter.
    struct Block
    {
        QString firstIssue;
        QString lastIssue;
        int draws = 0;
        int compared = 0;       // 滤杀 numbers in 1..6
        int right = 0;          // of which not drawn
        double share = 0;       // per cent of compared
        double chanceShare = 0; // per cent expected by chance for the same 滤杀 numbers
    };

    QString title;                     // the calculation replayed and its draws
    int drawCount = 0;                 // replayed draws
    std::vector<int> levelCounts;      // drawn numbers per level
    std::vector<double> levelExpected; // by chance
    std::vector<Block> blocks;         // only blocks with 滤杀 numbers to compare
    double share = 0;                  // over the whole replay (per cent)
    double chanceShare = 0;
    QString requirement; // why nothing can be drawn (Chinese); empty when it can

    int levelCount() const { return static_cast<int>(levelCounts.size()); }
    int blockCount() const { return static_cast<int>(blocks.size()); }
    bool isDrawable() const { return requirement.isEmpty(); }

    // The series of a replay; no replay yet (an empty result) or one cancelled before its first
    // draw gives a requirement.
    static ReplayTrend of(const ReplayResult& result);
    // Before any replay: how to run one.
    static ReplayTrend notReplayed();
    // How a replay is named: "十位通选杀码 最优公式法 回测 100 期".
    static QString titleOf(const ReplayResult& result);

    // What hovering shows: a level's count beside chance, a block's share beside chance.
    QString levelText(int level) const; // level 1..levelCount()
    QString blockText(int index) const;
};
