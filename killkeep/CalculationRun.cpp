#include "killkeep/CalculationRun.h"

#include "backtest/BacktestEngine.h"
#include "backtest/BacktestRunner.h"
#include "backtest/FormulaOrdering.h"
#include "formula/FormulaTableStore.h"

#include <algorithm>

bool CalculationRun::targetRow(const std::vector<DrawRecord>& draws,
                               const std::optional<QString>& verifyIssue, int* row, QString* error)
{
    if (draws.empty()) {
        *error = QStringLiteral("没有历史号码，无法计算公式。");
        return false;
    }
    *row = int(draws.size()) - 1;
    if (!verifyIssue)
        return true;
    std::vector<QString> issues;
    issues.reserve(draws.size());
    for (const DrawRecord& d : draws)
        issues.push_back(d.issue);
    return NextDrawCalculation::rowBeforeIssue(issues, *verifyIssue, row, error);
}

std::vector<FormulaKind> CalculationRun::votingKinds(const FormulaKind& kind)
{
    if (!kind.single)
        return {kind};
    std::vector<FormulaKind> kinds;
    for (int p = 1; p <= kind.position; ++p)
        kinds.push_back({p, true});
    return kinds;
}

bool CalculationRun::loadTables(const FormulaTableStore& store, const CalculationRequest& request,
                                std::vector<CalculationTable>* tables, QString* error)
{
    tables->clear();
    const bool general = !request.kind.single;
    for (const FormulaKind& kind : votingKinds(request.kind)) {
        CalculationTable table;
        table.kind = kind;
        table.position = general ? VoteTally::kGeneralPosition : kind.position;
        if (!store.loadSubset(kind, request.kill, &table.formulas, error))
            return false;
        table.compiled = BacktestRunner::compileAll(table.formulas);
        table.selected.assign(table.formulas.size(), true);
        if (kind == request.kind)
            for (std::size_t i = 0; i < table.formulas.size(); ++i)
                table.selected[i] = request.selected.value(table.formulas[i].rowId, true);
        tables->push_back(std::move(table));
    }
    return true;
}

void CalculationRun::calculate(const std::vector<CalculationTable>& tables, const HistoryColumns& history,
                               int targetRow, const CalculationRequest& request, CalculationOutcome* outcome,
                               const std::vector<std::vector<FormulaFigures>>* pastFigures)
{
    *outcome = CalculationOutcome{};
    NextDrawCalculation::Options options;
    options.general = !request.kind.single;
    options.kill = request.kill;
    options.bestMethod = request.bestMethod;
    options.keys = request.keys;
    options.limit = request.limit;
    const bool pastDraw = targetRow < history.drawCount() - 1;
    BacktestOptions pastOptions = request.backtest;
    pastOptions.holdOut = 0;
    for (std::size_t t = 0; t < tables.size(); ++t) {
        const CalculationTable& table = tables[t];
        std::vector<FormulaFigures> figures;
        if (request.bestMethod && pastDraw && pastFigures && t < pastFigures->size()) {
            figures = (*pastFigures)[t];
        } else if (request.bestMethod && pastDraw) {
            const BacktestResult r =
                BacktestEngine::run(history.firstDraws(targetRow + 1), table.compiled, table.kind,
                                    request.kill, pastOptions, {}, nullptr, table.predictions.get());
            figures = NextDrawCalculation::figuresOf(table, r);
        } else if (request.bestMethod && FormulaOrdering::usesChance(request.keys)) {
            figures = NextDrawCalculation::figuresWithChance(history, table, table.kind, request.kill,
                                                             request.backtest);
        }
        outcome->formulaCount += int(table.formulas.size());
        const auto walk = NextDrawCalculation::run(
            history, targetRow, table, options,
            [outcome](int position, int value) { outcome->tally.vote(position, value); }, figures);
        outcome->walk.insert(outcome->walk.end(), walk.begin(), walk.end());
        if (!request.kill)
            outcome->tally.moveKillToKeep(table.position);
    }
}

bool CalculationRun::run(const FormulaTableStore& store, const HistoryColumns& history, int targetRow,
                         const CalculationRequest& request, CalculationOutcome* outcome, QString* error)
{
    std::vector<CalculationTable> tables;
    if (!loadTables(store, request, &tables, error))
        return false;
    calculate(tables, history, targetRow, request, outcome);
    return true;
}

std::vector<std::pair<int, RankingBuilder>> CalculationRun::rankings(const CalculationOutcome& outcome,
                                                                     const CalculationRequest& request)
{
    std::vector<std::pair<int, RankingBuilder>> out;
    if (!request.kind.single) {
        out.emplace_back(VoteTally::kGeneralPosition,
                         RankingBuilder(RankingBuilder::entriesOf(outcome.tally, VoteTally::kGeneralPosition),
                                        request.kill));
        return out;
    }
    for (int p = 1; p <= request.kind.position; ++p)
        out.emplace_back(p, RankingBuilder(RankingBuilder::entriesOf(outcome.tally, p), request.kill));
    return out;
}
