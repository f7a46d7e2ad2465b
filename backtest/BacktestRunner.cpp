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
    run->firstEquivalent = FormulaEquivalence::firstEquivalents(history, run->compiled, 0, {}, cancel);
    return run->firstEquivalent.size() == run->compiled.size();
}

bool BacktestRunner::arrGs(FormulaTableStore& store, SubsetBacktest* run, QString* error)
{
    if (run->result.cancelled || run->result.outcomes.size() != run->formulas.size()) {
        *error = QStringLiteral("公式验算没有完成，统计结果没有保存。");
        return false;
    }
    std::vector<std::pair<qint64, FormulaStats>> stats;
    stats.reserve(run->formulas.size());
    for (std::size_t i = 0; i < run->formulas.size(); ++i)
        stats.emplace_back(run->formulas[i].rowId, run->result.outcomes[i].stats);
    if (!store.writeStatistics(run->kind, stats, error))
        return false;
    // Renumbering keeps the order, so the reloaded subset lines up with the run row by row.
    std::vector<FormulaRecord> reloaded;
    if (!store.loadSubset(run->kind, run->kill, &reloaded, error))
        return false;
    if (reloaded.size() == run->formulas.size())
        for (std::size_t i = 0; i < reloaded.size(); ++i)
            run->formulas[i] = std::move(reloaded[i]);
    return true;
}

bool BacktestRunner::yansuan(FormulaTableStore& store, const HistoryColumns& history, const FormulaKind& kind,
                             bool kill, const BacktestOptions& options, SubsetBacktest* run, QString* error,
                             const BacktestEngine::Progress& progress, const std::atomic<bool>* cancel)
{
    if (!load(store, kind, kill, run, error))
        return false;
    evaluate(history, options, run, progress, cancel);
    return arrGs(store, run, error);
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
