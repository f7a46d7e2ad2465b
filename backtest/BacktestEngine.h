#pragma once

#include "backtest/ChanceFigures.h"
#include "backtest/FormulaTrace.h"
#include "backtest/LookBackWindow.h"
#include "formula/CompiledFormula.h"
#include "formula/FormulaKind.h"
#include "formula/FormulaStats.h"

#include <QString>
#include <atomic>
#include <functional>
#include <optional>
#include <vector>

class HistoryColumns;
class Settings;

// How the statistics are taken: the look-back length W (0 = all draws), whether the current draw is
// left out of the count ("SyBq") and whether newer draws weigh more ("ZqlJq": row j of the window
// weighs j * j).
struct BacktestOptions
{
    int lookBackDraws = 300;
    bool excludeCurrent = true;
    bool weighted = true;
    int threads = 0; // worker threads; 0 chooses by the machine and the amount of work

    // W from the look-back entry "JSQS", and the two switches, as stored.
    static BacktestOptions fromSettings(const Settings& settings);
};

// What one formula of a run yields.
struct FormulaOutcome
{
    bool valid = false;
    QString error;        // why an invalid formula cannot be evaluated (Chinese)
    FormulaStats stats;   // all 0 for an invalid formula
    ChanceFigures chance; // the same window against pure chance; all 0 and empty for an invalid formula
    // ((x − 1) MOD 6) + 1 of the formula's value x on the newest draw; none when the history is
    // empty, the value cannot be computed, or the formula is invalid.
    std::optional<int> nextValue;

    QString nextText() const { return nextValue ? QString::number(*nextValue) : QString(); }
};

struct BacktestResult
{
    FormulaKind kind;
    bool kill = true;
    BacktestOptions options;
    int drawCount = 0;
    LookBackWindow window;
    std::int64_t totalWeight = 0;
    std::vector<FormulaOutcome> outcomes; // one per formula, in the order given
    bool cancelled = false;               // outcomes are incomplete and must not be written back
};

// The back-test: evaluates every formula on the draws of the look-back window (and on the draws
// before it as far as needed to find a previous value), decides per draw whether the prediction made
// on the previous draw came true for the kind and sense, and takes the statistics. Pure: it reads
// only its arguments, so it may run on a worker thread; results do not depend on the thread count.
//
// Per draw r of the window, the prediction is p = ((v − 1) MOD 6) + 1, v being the rounded value
// (halves to even) of the newest draw before r that has a value; a draw with no such earlier value
// counts as a miss. A kill formula is right when p equals none of the kind's drawn numbers, a keep
// formula when it equals one of them.
class BacktestEngine
{
public:
    // Called on the calling thread with the number of formulas finished so far.
    using Progress = std::function<void(int done, int total)>;

    static BacktestResult run(const HistoryColumns& history, const std::vector<CompiledFormula>& formulas,
                              const FormulaKind& kind, bool kill, const BacktestOptions& options,
                              const Progress& progress = {}, const std::atomic<bool>* cancel = nullptr);

    // One formula over every draw (values, previous values and verdicts), for the per-draw display.
    static FormulaTrace trace(const HistoryColumns& history, const CompiledFormula& formula,
                              const FormulaKind& kind, bool kill);
};
