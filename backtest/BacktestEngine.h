#pragma once

#include "backtest/ChanceFigures.h"
#include "backtest/FormulaTrace.h"
#include "backtest/LookBackWindow.h"
#include "formula/CompiledFormula.h"
#include "formula/FormulaKind.h"
#include "formula/FormulaStats.h"
#include "history/DrawModel.h"

#include <QString>
#include <atomic>
#include <functional>
#include <memory>
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
    // Hold-out ("HoldOut"): the newest H draws are unseen by the figures above and scored apart.
    // At most half the history takes part (see heldOutDraws).
    int holdOut = 0;
    // How the history's numbers are published, for the figures against chance ("HMSX").
    PublicationOrder publicationOrder = PublicationOrder::Detect;

    // W from the look-back entry "JSQS", the two switches, the hold-out and the publication order,
    // as stored.
    static BacktestOptions fromSettings(const Settings& settings);
    // The draws a run holds out of `drawCount`: H, but never more than half the history (the
    // setting is checked against the history when typed; the history may shrink since).
    static int heldOutDraws(int drawCount, int holdOut);
    // A hold-out a person may ask for: 0 to half the history. The message says what is allowed.
    static bool isAllowedHoldOut(int holdOut, int drawCount)
    {
        return holdOut >= 0 && holdOut <= drawCount / 2;
    }
    static QString holdOutRefusal(int drawCount);
};

// What one formula of a run yields.
struct FormulaOutcome
{
    bool valid = false;
    QString error;        // why an invalid formula cannot be evaluated (Chinese)
    FormulaStats stats;   // all 0 for an invalid formula
    ChanceFigures chance; // the same window against pure chance; all 0 and empty for an invalid formula
    // With a hold-out: the held-out draws, each predicted from the draw before, unweighted, against
    // pure chance (hits, tested, chance rate, p; plainRate() the rate). Empty (tested 0) without.
    ChanceFigures holdOut;
    // The Benjamini–Yekutieli adjusted p over the formulas of the run that have a p ("q值"): the
    // share of false finds stays below it whatever the dependence between the formulas.
    std::optional<double> q;
    // ((x − 1) MOD 6) + 1 of the formula's value x on the newest draw the back-test sees (before a
    // hold-out) or, when that draw gives it no value (a division by zero), on the newest earlier
    // draw that does: the value the prediction for the next draw uses, as in the back-test and the
    // calculation. None when the history is empty, no draw gives a value, or the formula is invalid.
    std::optional<int> nextValue;
    bool nextFromEarlierDraw = false; // the newest draw gave no value

    QString nextText() const { return nextValue ? QString::number(*nextValue) : QString(); }
};

struct BacktestResult
{
    FormulaKind kind;
    bool kill = true;
    BacktestOptions options;
    int drawCount = 0; // stored draws
    int heldOut = 0;   // of which the newest ones held out (the window ends before them)
    LookBackWindow window;
    DrawOrder order = DrawOrder::AsDrawn; // the publication order the chance figures assume
    std::int64_t totalWeight = 0;
    std::vector<FormulaOutcome> outcomes; // one per formula, in the order given
    bool cancelled = false;               // outcomes are incomplete and must not be written back
};

// The number each formula predicts from its own value on each draw of a stretch of a history,
// worked out once for many back-tests of that history's prefixes (the replay of past draws runs one
// per replayed draw over nearly the same rows). Immutable once built; shared by threads.
class PredictionCache
{
public:
    // The draws from `firstRow` on of `history`; null when the table would be too large to keep.
    static std::shared_ptr<const PredictionCache>
    build(const HistoryColumns& history, const std::vector<CompiledFormula>& formulas, int firstRow);
    int firstRow() const { return m_firstRow; }
    int endRow() const { return m_firstRow + m_rows; } // one past the last row kept
    bool covers(int row, int count) const { return row >= m_firstRow && row + count <= endRow(); }
    // The prediction codes of formula f from `row` on (the engine's own coding; -1: no value).
    const std::int8_t* codes(int formula, int row) const
    {
        return m_codes.data() + std::size_t(formula) * std::size_t(m_rows) + std::size_t(row - m_firstRow);
    }

private:
    int m_firstRow = 0;
    int m_rows = 0;
    std::vector<std::int8_t> m_codes; // formula by formula
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
//
// With a hold-out of H draws the window, weights, figures and next value are those of the history
// without its newest H draws; then each held-out draw is scored the same way (predicted from the
// draw before it, unweighted) into the outcome's hold-out figures. No held-out draw touches the
// other figures.
class BacktestEngine
{
public:
    // Called on the calling thread with the number of formulas finished so far.
    using Progress = std::function<void(int done, int total)>;

    // `predictions`, when given, holds the formulas' predictions on some rows of this history (or of
    // the history it is the beginning of), which are then read instead of evaluated; the result is
    // the same.
    static BacktestResult run(const HistoryColumns& history, const std::vector<CompiledFormula>& formulas,
                              const FormulaKind& kind, bool kill, const BacktestOptions& options,
                              const Progress& progress = {}, const std::atomic<bool>* cancel = nullptr,
                              const PredictionCache* predictions = nullptr);

    // Sets each outcome's q from the p values of all outcomes that have one.
    static void adjustForMultipleComparisons(std::vector<FormulaOutcome>* outcomes);

    // One formula over every draw (values, previous values and verdicts), for the per-draw display.
    static FormulaTrace trace(const HistoryColumns& history, const CompiledFormula& formula,
                              const FormulaKind& kind, bool kill);
};
