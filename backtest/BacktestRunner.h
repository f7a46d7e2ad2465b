#pragma once

#include "backtest/BacktestEngine.h"
#include "formula/FormulaRecord.h"

#include <QString>
#include <vector>

class FormulaTableStore;
class HistoryColumns;

// One back-test of the current subset (a kind's formulas of one sense): the formulas in idx order
// (the rows of the formula grid), their compiled forms and the engine's result, all in that order.
struct SubsetBacktest
{
    FormulaKind kind;
    bool kill = true;
    std::vector<FormulaRecord> formulas;
    std::vector<CompiledFormula> compiled;
    BacktestResult result;
    // Per formula, the position of the first equivalent formula of the subset, or -1 (filled by
    // findEquivalents; empty until then).
    std::vector<int> firstEquivalent;
    // Set by arrGs: the figures were written back (not so for a read-only database).
    bool statisticsStored = false;
};

// The back-test as the window and the command line run it. The database steps (load, write-back)
// belong on the thread that owns the database; evaluate() may run on a worker thread in between.
class BacktestRunner
{
public:
    // Loads and compiles the subset.
    static bool load(const FormulaTableStore& store, const FormulaKind& kind, bool kill, SubsetBacktest* run,
                     QString* error);
    static std::vector<CompiledFormula> compileAll(const std::vector<FormulaRecord>& formulas);
    // Runs the engine over the loaded subset into run->result.
    static void evaluate(const HistoryColumns& history, const BacktestOptions& options, SubsetBacktest* run,
                         const BacktestEngine::Progress& progress = {},
                         const std::atomic<bool>* cancel = nullptr);
    // Finds the equivalent formulas of the loaded subset over every draw into run->firstEquivalent.
    // False (left empty) when cancelled.
    static bool findEquivalents(const HistoryColumns& history, SubsetBacktest* run,
                                const std::atomic<bool>* cancel = nullptr);
    // ArrGs: writes the run's statistics back (invalid formulas get 0), renumbers the table 1..n and
    // gives run->formulas their new idx. A read-only database is left as it is (true, with
    // run->statisticsStored false); a table another program changed since the load is refused
    // (store.changedElsewhere()).
    static bool arrGs(FormulaTableStore& store, SubsetBacktest* run, QString* error);
    // What the window and the command line say, once, when the figures were not written back.
    static QString notStoredNote();
    // Yansuan: load, evaluate, write back; when another program changed the table meanwhile, again
    // from the load. Fails, writing nothing, when cancelled.
    static bool yansuan(FormulaTableStore& store, const HistoryColumns& history, const FormulaKind& kind,
                        bool kill, const BacktestOptions& options, SubsetBacktest* run, QString* error,
                        const BacktestEngine::Progress& progress = {},
                        const std::atomic<bool>* cancel = nullptr);
    // YansuanCalcu: load and evaluate unweighted (for the final hit runs and next-draw values of the
    // exports); nothing is written.
    static bool yansuanCalcu(const FormulaTableStore& store, const HistoryColumns& history,
                             const FormulaKind& kind, bool kill, BacktestOptions options, SubsetBacktest* run,
                             QString* error);
};
