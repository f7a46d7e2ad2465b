#pragma once

#include "backtest/BacktestEngine.h"
#include "backtest/NextDrawCalculation.h"
#include "formula/FormulaKind.h"
#include "history/DrawRecord.h"
#include "killkeep/RankingBuilder.h"
#include "killkeep/VoteTally.h"

#include <QHash>
#include <QString>
#include <atomic>
#include <optional>
#include <vector>

class FormulaTableStore;
class HistoryColumns;

// One press of "计算公式(&C)" without its windows: which tables vote, the votes and the rankings.
// The main window and the command line both calculate through it, so they agree by construction.
struct CalculationRequest
{
    FormulaKind kind; // the current kind: 通选 votes with its own table, 单选 with 个位 up to its position
    bool kill = true;
    bool bestMethod = false;
    std::vector<FormulaOrderKey> keys; // best method: the sort window's keys
    int limit = 3;                     // best method: L
    // The back-test behind the best method's order where the stored figures will not do: the p
    // value and the excess (not stored), and every figure when verifying a past draw ("验证历史结果"
    // back-tests the draws before it, so no later draw has a say).
    BacktestOptions backtest;
    // The current kind's selection flags by row id (the formula grid's). Formulas not named here,
    // and every formula of the other tables, vote as selected.
    QHash<qint64, bool> selected;
};

struct CalculationOutcome
{
    VoteTally tally;
    std::vector<NextDrawCalculation::WalkStep> walk; // table after table, in walk order
    int formulaCount = 0;                            // formulas of the sense in the tables taking part
};

class CalculationRun
{
public:
    // The row whose values the calculation reads: the newest draw, or with `verifyIssue` the draw
    // before that issue ("验证历史结果"). False with a message when there is no history, or the
    // issue is not stored or is the oldest.
    static bool targetRow(const std::vector<DrawRecord>& draws, const std::optional<QString>& verifyIssue,
                          int* row, QString* error);
    // The tables taking part, in voting order.
    static std::vector<FormulaKind> votingKinds(const FormulaKind& kind);
    // The tables taking part, loaded and compiled once, with the request's selection applied.
    static bool loadTables(const FormulaTableStore& store, const CalculationRequest& request,
                           std::vector<CalculationTable>* tables, QString* error);
    // Lets the loaded tables' formulas vote for the draw after `targetRow`.
    //
    // The best method walks the stored figures (with the p value and excess of a back-test over
    // the whole history when it sorts by them) for the next draw. For an earlier draw it walks the
    // figures of a back-test of only the draws up to `targetRow` (without hold-out): what the
    // calculation would have shown then. So the replay of past draws and "验证历史结果" agree.
    // `pastFigures`, when given, holds per table the figures that back-test would give (carried
    // forward by the replay), which are then walked instead.
    static void calculate(const std::vector<CalculationTable>& tables, const HistoryColumns& history,
                          int targetRow, const CalculationRequest& request, CalculationOutcome* outcome,
                          const std::vector<std::vector<FormulaFigures>>* pastFigures = nullptr);
    // loadTables() and calculate().
    static bool run(const FormulaTableStore& store, const HistoryColumns& history, int targetRow,
                    const CalculationRequest& request, CalculationOutcome* outcome, QString* error);
    // The rankings the result window shows, with the tally position each belongs to: 通选 one
    // ranking (position 0), 单选 one per position from 个位 up to the kind's.
    static std::vector<std::pair<int, RankingBuilder>> rankings(const CalculationOutcome& outcome,
                                                                const CalculationRequest& request);
};
