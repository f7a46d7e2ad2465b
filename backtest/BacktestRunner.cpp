#include "backtest/BacktestRunner.h"

#include "backtest/FormulaEquivalence.h"
#include "formula/FormulaTableStore.h"

bool BacktestRunner::load(const FormulaTableStore& store, const FormulaKind& kind, bool kill,
                          SubsetBacktest* run, QString* error)
{
    run->kind = kind;
    run->kill = kill;
    run->result = BacktestResult{};
    if (!store.loadSubset(kind, kill, &run->formulas, error))
        return false;
    run->compiled = compileAll(run->formulas);
    return true;
}

std::vector<CompiledFormula> BacktestRunner::compileAll(const std::vector<FormulaRecord>& formulas)
{
    std::vector<CompiledFormula> compiled;
    compiled.reserve(formulas.size());
    for (const FormulaRecord& f : formulas)
        compiled.push_back(CompiledFormula::compile(f.gongshi));
    return compiled;
}

void BacktestRunner::evaluate(const HistoryColumns& history, const BacktestOptions& options,
                              SubsetBacktest* run, const BacktestEngine::Progress& progress,
                              const std::atomic<bool>* cancel)
{
    run->result =
        BacktestEngine::run(history, run->compiled, run->kind, run->kill, options, progress, cancel);
}

bool BacktestRunner::findEquivalents(const HistoryColumns& history, SubsetBacktest* run,
                                     const std::atomic<bool>* cancel)
{
    // 单选 formulas also vote with their value MOD 10: equivalent only when the votes agree too.
    run->firstEquivalent = FormulaEquivalence::firstEquivalents(
        history, run->compiled, PredictionTokens::forKind(run->kind.single), 0, {}, cancel);
    return run->firstEquivalent.size() == run->compiled.size();
}

bool BacktestRunner::arrGs(FormulaTableStore& store, SubsetBacktest* run, QString* error)
{
    run->statisticsStored = false;
    if (run->result.cancelled || run->result.outcomes.size() != run->formulas.size()) {
        *error = QStringLiteral("公式验算没有完成，统计结果没有保存。");
        return false;
    }
    // A read-only database is still back-tested: the figures are shown, not stored.
    if (store.isReadOnly())
        return true;
    std::vector<FormulaStats> stats;
    stats.reserve(run->formulas.size());
    for (const FormulaOutcome& o : run->result.outcomes)
        stats.push_back(o.stats);
    if (!store.writeStatistics(run->kind, run->formulas, stats, error))
        return false;
    run->statisticsStored = true;
    // Renumbering keeps the order, so the reloaded subset lines up with the run row by row.
    std::vector<FormulaRecord> reloaded;
    if (!store.loadSubset(run->kind, run->kill, &reloaded, error))
        return false;
    if (reloaded.size() == run->formulas.size())
        for (std::size_t i = 0; i < reloaded.size(); ++i)
            run->formulas[i] = std::move(reloaded[i]);
    return true;
}

QString BacktestRunner::notStoredNote()
{
    return QStringLiteral("数据库是只读的：验算得到的统计结果只显示，没有写回数据库（计算公式的最优公式法使用"
                          "数据库里原有的统计结果）。");
}

bool BacktestRunner::yansuan(FormulaTableStore& store, const HistoryColumns& history, const FormulaKind& kind,
                             bool kill, const BacktestOptions& options, SubsetBacktest* run, QString* error,
                             const BacktestEngine::Progress& progress, const std::atomic<bool>* cancel)
{
    // Another program that changes the table between the load and the write-back makes the
    // figures belong to a list that is gone: the table is read and back-tested again.
    constexpr int kAttempts = 3;
    for (int attempt = 1;; ++attempt) {
        if (!load(store, kind, kill, run, error))
            return false;
        evaluate(history, options, run, progress, cancel);
        if (arrGs(store, run, error))
            return true;
        if (!store.changedElsewhere() || attempt == kAttempts)
            return false;
    }
}

bool BacktestRunner::yansuanCalcu(const FormulaTableStore& store, const HistoryColumns& history,
                                  const FormulaKind& kind, bool kill, BacktestOptions options,
                                  SubsetBacktest* run, QString* error)
{
    if (!load(store, kind, kill, run, error))
        return false;
    options.weighted = false;
    evaluate(history, options, run);
    return true;
}
