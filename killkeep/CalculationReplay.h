#pragma once

#include "history/DrawModel.h"
#include "killkeep/CalculationRun.h"

#include <QString>
#include <array>
#include <atomic>
#include <functional>
#include <optional>
#include <vector>

// One ranking of a replayed draw beside the real draw. 通选: one ranking of the numbers 1..6
// against the kind's drawn numbers; 单选: one ranking of the digits 0..9 per position from 个位 up,
// each against its own position's number.
struct ReplayRanking
{
    int position = 0;        // 0: 通选; 1..3 (个位, 十位, 百位): a 单选 ranking
    std::vector<int> killed; // the numbers (digits) marked 滤杀, ascending
    std::vector<int> drawn;  // the drawn numbers it is compared with, 百位 side first
    std::vector<int> levels; // per drawn number, its 排序序号 in the ranking (1 = first row)
    int killedDrawn = 0;     // 滤杀 numbers that were drawn
    int killedOutside = 0;   // 滤杀 digits outside 1..6: never drawn, left out of the comparison
    // By chance: how many of the 滤杀 numbers in 1..6 stay undrawn, its variance, and per level
    // how many drawn numbers fall on it.
    double expectedAbsent = 0;
    double absentVariance = 0;
    std::vector<double> expectedLevels;
};

// One replayed draw: the ranking "计算公式(&C)" would have shown from the draws before it.
struct ReplayDraw
{
    QString issue;
    std::array<int, 3> numbers{}; // 百位, 十位, 个位
    std::vector<ReplayRanking> rankings;
    // Over the rankings:
    int killedCompared = 0; // 滤杀 numbers in 1..6
    int killedDrawn = 0;    // of which drawn
    int killedOutside = 0;
    std::vector<int> levels; // every ranking's levels in turn

    int killedAbsent() const { return killedCompared - killedDrawn; }
    // "335"
    QString drawnText() const;
    // 滤杀 numbers and levels, rankings apart: the window's "1 4 6" or "个位 1 4 6；十位 2 5", the
    // command line's "1,4,6" or "1,4,6/2,5" ("-" for none).
    QString killedText(bool forWindow) const;
    QString levelsText(bool forWindow) const;
};

// The replay as a whole against pure chance.
struct ReplaySummary
{
    int draws = 0;
    int killedCompared = 0;
    int killedAbsent = 0;
    int killedOutside = 0;
    double absentShare = 0; // per cent of killedCompared
    double chanceShare = 0; // per cent expected by chance
    std::optional<double> z;
    std::optional<double> p; // P(so many absent or more) by chance; none without variance
    // Levels 1..levelCount() (6 通选, 10 单选): drawn numbers per level, and by chance.
    std::vector<int> levelCounts;
    std::vector<double> levelExpected;

    int levelCount() const { return int(levelCounts.size()); }
    // The summary in plain words, one line each: the 滤杀 share, the levels.
    QString absentText() const;
    QString levelsText() const;
};

// What a replay produced: one row per replayed draw, oldest first, and the summary. A plain
// structure, so other windows (charts of the levels and of the share right per block of draws)
// can read it.
struct ReplayResult
{
    FormulaKind kind;
    bool kill = true;
    bool bestMethod = false;
    std::vector<ReplayDraw> draws;
    ReplaySummary summary;
    bool cancelled = false; // stopped early: draws and summary cover what was done
};

// The replay of "计算公式(&C)" over past draws (计算回测): for each of the newest K draws, the
// ranking the calculation gives from the draws before it — exactly "验证历史结果" of that draw,
// through the same calculation — compared with what was drawn.
class CalculationReplay
{
public:
    static constexpr int kDefaultDraws = 100;
    // Called on the calling thread after each replayed draw.
    using Progress = std::function<void(int done, int total)>;

    // The most draws a replay takes: every draw has the look-back window before it (the history
    // minus W; W = 0: all but the oldest). 0 when none.
    static int maxDraws(int drawCount, int lookBackDraws);
    // Checks K against the history; false with a Chinese message.
    static bool checkDraws(int count, int drawCount, int lookBackDraws, QString* error);

    // Replays the newest `count` draws with the loaded tables. `draws` and `history` hold the same
    // stored draws. Stops between draws when `cancel` is set (result.cancelled).
    static ReplayResult run(const std::vector<CalculationTable>& tables, const std::vector<DrawRecord>& draws,
                            const HistoryColumns& history, int count, const CalculationRequest& request,
                            const Progress& progress = {}, const std::atomic<bool>* cancel = nullptr);

    // One draw beside the rankings the calculation gave for it; chance from `model`.
    static ReplayDraw compare(const DrawRecord& draw, const CalculationOutcome& outcome,
                              const CalculationRequest& request,
                              const DrawModel& model = DrawModel::of(DrawOrder::AsDrawn));
    static ReplaySummary summarize(const std::vector<ReplayDraw>& draws, const CalculationRequest& request);
};
