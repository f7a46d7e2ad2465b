#pragma once

#include "backtest/BacktestEngine.h"
#include "formula/CompiledFormula.h"
#include "formula/FormulaKind.h"
#include "formula/FormulaStats.h"

#include <cstdint>
#include <vector>

class HistoryColumns;

// The back-test figures of a history's consecutive prefixes, carried forward draw by draw instead
// of taken afresh: the replay of past calculations back-tests the first t draws for t = a, a + 1, …,
// and two such windows differ by the draw that enters and, over a fixed look-back, the one that
// leaves. Each formula's verdicts are worked out once; then per draw its sums of h, j·h and j²·h
// (h the verdict, j the position in the window) follow by their closed forms, since removing the
// oldest draw moves every position down by one, and its runs by the run at each end of the window.
// The figures equal BacktestEngine::run on the same prefix (rate, runs, weighted hits); the figures
// against chance are not carried.
class RollingFigures
{
public:
    // Prepares the prefixes of `firstDrawCount` draws and more of `history`. Holds references to
    // the history and formulas.
    RollingFigures(const HistoryColumns& history, const std::vector<CompiledFormula>& formulas,
                   const FormulaKind& kind, bool kill, const BacktestOptions& options, int firstDrawCount);

    // Moves to the prefix of `drawCount` draws: the first call takes firstDrawCount, every later one
    // the previous count + 1.
    void advanceTo(int drawCount);
    int drawCount() const { return m_drawCount; }
    // Formula i's figures on the current prefix (all 0 for an invalid formula).
    FormulaStats stats(int formula) const;

private:
    struct State
    {
        std::int64_t s0 = 0, s1 = 0, s2 = 0; // Σ h, Σ j·h, Σ j²·h over the window
        int hitRun = 0, missRun = 0, maxHitRun = 0, maxMissRun = 0;
        int frontRun = 0; // length of the run the window's oldest draw starts
    };

    void prepare(int formula, const std::vector<std::uint16_t>& hits);
    bool verdict(int formula, int row) const
    {
        const std::size_t bit = std::size_t(formula) * m_storedRows + std::size_t(row - m_storedFirst);
        return (m_verdicts[bit >> 6] >> (bit & 63)) & 1u;
    }
    static void add(State* s, bool hit, std::int64_t j);
    // Takes the window's oldest draw out; true when its run was a longest one (count again).
    bool removeFront(int formula, State* s, int first, int last) const;
    void rescan(int formula, State* s, int first, int last) const;

    const HistoryColumns& m_history;
    const std::vector<CompiledFormula>& m_formulas;
    FormulaKind m_kind;
    bool m_kill = true;
    BacktestOptions m_options;
    int m_drawCount = 0;
    LookBackWindow m_window;
    std::vector<State> m_states;
    // Verdicts of rows m_storedFirst.. of the history, formula by formula (bits): the rows that
    // enter a window after the first and, over a fixed look-back, those that can leave it.
    int m_storedFirst = 0;
    std::size_t m_storedRows = 0;
    std::vector<std::uint64_t> m_verdicts;
};
