#pragma once

#include "backtest/ChanceFigures.h"
#include "backtest/LookBackWindow.h"
#include "formula/FormulaKind.h"
#include "formula/FormulaStats.h"
#include "history/DrawModel.h"
#include "history/DrawRecord.h"
#include "search/SearchCandidate.h"

#include <cstdint>
#include <vector>

// How the search judges a candidate: its kind and sense, the look-back length W (0 = all draws)
// and whether newer draws weigh more (row k of the window weighs k * k).
struct SearchRules
{
    FormulaKind kind;
    bool kill = true;
    int lookBackDraws = 300;
    bool weighted = true;
    // Hold-out: the newest H draws (at most half the history) are left out of the window, which
    // ends before them; qualified candidates are scored on them apart.
    int holdOut = 0;
    // How the history's numbers are published, for the figures against chance.
    PublicationOrder publicationOrder = PublicationOrder::Detect;
};

// The search's own back-test of a candidate. For every draw of the window the candidate's value x
// on the draw before it gives the predicted number p = ((x − 1) MOD 6) + 1 (MOD keeps the sign of
// its left operand, so values of 0 or below predict 0 down to -4); a kill candidate is right when
// p equals none of the kind's drawn numbers, a keep candidate when it equals one of them.
//
// The window is the newest W + 1 draws (all but the oldest when W is 0 or the history is shorter):
// unlike the main back-test, the search ignores the setting that leaves out the current draw. Its
// figures depend only on the window's draws and the draw before each, so those rows are copied
// once, column by column, and a candidate costs a few integer additions per row. Immutable after
// construction: one evaluator serves every worker thread.
class CandidateEvaluator
{
public:
    CandidateEvaluator(const std::vector<DrawRecord>& draws, const SearchRules& rules);

    static LookBackWindow window(int drawCount, int lookBackDraws);

    const SearchRules& rules() const { return m_rules; }
    const LookBackWindow& window() const { return m_window; }
    std::int64_t totalWeight() const { return m_totalWeight; }
    // The publication order the chance figures assume (detected from the whole history).
    DrawOrder order() const { return m_order; }

    // The five figures (and the weighted hits and total weight); an empty window gives rate 0 and
    // runs 0.
    FormulaStats evaluate(const SearchCandidate& candidate) const;
    // The candidate's figures against pure chance over the same window and weights (as the
    // back-test's ChanceFigures). Taken only for the candidates that qualify, so the search's inner
    // loop stays as fast as before.
    ChanceFigures chance(const SearchCandidate& candidate) const;
    // The draws held out (0: none) and a candidate's figures on them: each held-out draw predicted
    // from the draw before, unweighted, against pure chance. Empty (tested 0) without a hold-out.
    int heldOut() const { return m_heldOut.rows; }
    ChanceFigures holdOut(const SearchCandidate& candidate) const;

private:
    // Rows scored together: for each, the values of the draw before it (column by column) and the
    // bits of the predictions that are right on it.
    struct Rows
    {
        int rows = 0;
        std::vector<std::int16_t> values; // values[c * rows + i]: column c of the draw before row i
        std::vector<std::uint16_t> hitBits;
        void fill(const std::vector<DrawRecord>& draws, int first, int count, const SearchRules& rules);
    };
    // A candidate's figures against chance over `rows` rows laid out as in Rows, with the given
    // weights (null: all 1); `weighted` chooses the p rule.
    ChanceFigures figures(const SearchCandidate& candidate, int rows, const std::int16_t* values,
                          const std::uint16_t* hitBits, const std::int64_t* weights, std::int64_t totalWeight,
                          bool weighted) const;

    Rows m_heldOut;
    SearchRules m_rules;
    DrawOrder m_order = DrawOrder::AsDrawn;
    int m_mask = 0; // the kind's positions
    LookBackWindow m_window;
    int m_rows = 0;
    // Column c of the draws before the window's rows: m_values[c * m_rows + i] is the value on
    // draw window.first − 1 + i. 16 bits, as the draw record holds them: the columns of all draws
    // then fit the processor's second-level cache.
    std::vector<std::int16_t> m_values;
    // Bit p + 4 of row i is set when the prediction p is right on the window's row i.
    std::vector<std::uint16_t> m_hitBits;
    std::vector<std::int64_t> m_weights;
    std::int64_t m_totalWeight = 0;
};
