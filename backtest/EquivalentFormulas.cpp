#include "backtest/EquivalentFormulas.h"

#include "backtest/BacktestRunner.h"
#include "backtest/FormulaEquivalence.h"
#include "formula/FormulaDeletion.h"
#include "formula/FormulaTableStore.h"

#include <map>

std::vector<EquivalentGroup> EquivalentFormulas::groups(const std::vector<FormulaRecord>& formulas,
                                                        const std::vector<int>& firstEquivalent)
{
    std::map<int, EquivalentGroup> byFirst; // keyed by the kept formula's position: idx order
    for (std::size_t i = 0; i < formulas.size() && i < firstEquivalent.size(); ++i) {
        const int first = firstEquivalent[i];
        if (first < 0 || first >= int(formulas.size()))
            continue;
        EquivalentGroup& g = byFirst[first];
        g.kept = formulas[std::size_t(first)];
        g.equivalents.push_back(formulas[i]);
    }
    std::vector<EquivalentGroup> out;
    out.reserve(byFirst.size());
    for (auto& [first, group] : byFirst)
        out.push_back(std::move(group));
    return out;
}

bool EquivalentFormulas::find(const FormulaTableStore& store, const HistoryColumns& history,
                              const FormulaKind& kind, bool kill, std::vector<EquivalentGroup>* groups,
                              QString* error, const std::atomic<bool>* cancel)
{
    groups->clear();
    SubsetBacktest run;
    if (!BacktestRunner::load(store, kind, kill, &run, error))
        return false;
    if (!BacktestRunner::findEquivalents(history, &run, cancel))
        return false;
    *groups = EquivalentFormulas::groups(run.formulas, run.firstEquivalent);
    return true;
}

int EquivalentFormulas::equivalentCount(const std::vector<EquivalentGroup>& groups)
{
    int count = 0;
    for (const EquivalentGroup& g : groups)
        count += int(g.equivalents.size());
    return count;
}

QString EquivalentFormulas::title()
{
    return QStringLiteral("删除等价公式");
}

QString EquivalentFormulas::question(int count)
{
    return QStringLiteral("将删除 %1 条等价公式（每组保留序号最小的一条），是否继续？").arg(count);
}

int EquivalentFormulas::deleteEquivalents(Database* db, const FormulaKind& kind,
                                          const std::vector<EquivalentGroup>& groups, QString* error)
{
    std::vector<FormulaRecord> rows;
    for (const EquivalentGroup& g : groups)
        rows.insert(rows.end(), g.equivalents.begin(), g.equivalents.end());
    if (rows.empty())
        return 0;
    return FormulaDeletion::deleteRows(db, kind, rows, error);
}
