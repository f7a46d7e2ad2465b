#pragma once

#include "backtest/FormulaOrdering.h"
#include "formula/CompiledFormula.h"
#include "formula/FormulaKind.h"
#include "formula/FormulaRecord.h"
#include "history/HistoryColumns.h"

#include <QString>
#include <array>
#include <functional>
#include <optional>
#include <vector>

// The formulas of one table taking part in a calculation, in idx order.
struct CalculationTable
{
    int position = 1; // the position its votes go to (single selection); 0 for general selection
    std::vector<FormulaRecord> formulas;
    std::vector<CompiledFormula> compiled;
    std::vector<bool> selected;
    // The figures the best method orders by, one per formula; empty: the stored figures.
    std::vector<FormulaFigures> figures;
};

struct BacktestOptions;

// The next-draw calculation ("计算公式(&C)"): lets the best or the selected formulas vote for the
// draw after `targetRow` — the newest draw, or the draw before a typed issue.
class NextDrawCalculation
{
public:
    struct Options
    {
        bool general = true; // 通选: numbers 1..6; 单选: digits 0..9 per position
        bool kill = true;
        bool bestMethod = false;
        std::vector<FormulaOrderKey> keys; // best method: up to three keys, first the strongest
        int limit = 3;                     // best method: L
    };
    struct WalkStep
    {
        int position = 0;
        int idx = 0;
        QString nextText; // best method, when the formula voted: its predicted value
        QString gongshi;  // the formula's code form
    };
    // Called once per vote: position (0 general, else 1..3) and the number or digit voted for.
    using Vote = std::function<void(int position, int value)>;

    // The row whose value a typed issue's prediction comes from: the row before the issue's.
    // False with a message when the issue is not stored or is the oldest stored issue.
    static bool rowBeforeIssue(const std::vector<QString>& issues, const QString& issue, int* row,
                               QString* error);

    // The formula's value for the target: its value on `row`, or the last value read before it
    // when the row has none.
    static std::optional<double> valueAt(const HistoryColumns& history, const CompiledFormula& f, int row);
    // The number a value votes for: ((v − 1) MOD 6) + 1 (general) or v MOD 10 (single); none when
    // it has no cell.
    static std::optional<int> votedValue(double value, bool general);

    // The stored figures of formulas (0 where none were written yet), for the best method's order.
    static std::vector<FormulaFigures> storedFigures(const std::vector<FormulaRecord>& formulas);
    // The stored figures with the p values and excesses of a back-test of the table's formulas
    // (they are not stored), for a best method ordered by them.
    static std::vector<FormulaFigures> figuresWithChance(const HistoryColumns& history,
                                                         const CalculationTable& table,
                                                         const FormulaKind& kind, bool kill,
                                                         const BacktestOptions& options);

    // Runs one table; returns the walk record.
    static std::vector<WalkStep> run(const HistoryColumns& history, int targetRow,
                                     const CalculationTable& table, const Options& options, const Vote& vote);
};
