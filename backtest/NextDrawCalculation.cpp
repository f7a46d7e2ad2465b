#include "backtest/NextDrawCalculation.h"

#include "backtest/BacktestEngine.h"
#include "formula/FormulaArithmetic.h"

#include <algorithm>
#include <cmath>
#include <set>

bool NextDrawCalculation::rowBeforeIssue(const std::vector<QString>& issues, const QString& issue, int* row,
                                         QString* error)
{
    const auto it = std::find(issues.begin(), issues.end(), issue.trimmed());
    if (it == issues.end()) {
        *error = QStringLiteral("期号“%1”不在历史号码中，无法验证。").arg(issue.trimmed());
        return false;
    }
    if (it == issues.begin()) {
        *error = QStringLiteral("期号“%1”是最早的一期，没有上一期号码，无法验证。").arg(issue.trimmed());
        return false;
    }
    *row = int(it - issues.begin()) - 1;
    return true;
}

std::optional<double> NextDrawCalculation::valueAt(const HistoryColumns& history, const CompiledFormula& f,
                                                   int row)
{
    if (!f.isValid())
        return std::nullopt;
    for (int r = std::min(row, history.drawCount() - 1); r >= 0; --r) {
        const double v = f.evaluateRow(history, r);
        if (!std::isnan(v))
            return v;
    }
    return std::nullopt;
}

std::optional<int> NextDrawCalculation::votedValue(double value, bool general)
{
    const std::optional<int> v =
        general ? FormulaArithmetic::predictedNumber(value) : FormulaArithmetic::predictedDigit(value);
    if (!v || *v < (general ? 1 : 0))
        return std::nullopt;
    return v;
}

std::vector<FormulaFigures> NextDrawCalculation::storedFigures(const std::vector<FormulaRecord>& formulas)
{
    std::vector<FormulaFigures> figures;
    figures.reserve(formulas.size());
    for (const FormulaRecord& r : formulas)
        figures.push_back({r.idx, r.sglGsRate.value_or(0), r.intGsErrCon.value_or(0),
                           r.intGsTrueCon.value_or(0), r.intGsErrLst.value_or(0),
                           r.intGsTrueLst.value_or(0)});
    return figures;
}

std::vector<FormulaFigures> NextDrawCalculation::figuresWithChance(const HistoryColumns& history,
                                                                   const CalculationTable& table,
                                                                   const FormulaKind& kind, bool kill,
                                                                   const BacktestOptions& options)
{
    std::vector<FormulaFigures> figures = storedFigures(table.formulas);
    const BacktestResult r = BacktestEngine::run(history, table.compiled, kind, kill, options);
    for (std::size_t i = 0; i < figures.size() && i < r.outcomes.size(); ++i) {
        const ChanceFigures& c = r.outcomes[i].chance;
        figures[i].pValue = c.p.value_or(1.0);
        figures[i].excess = c.excess;
    }
    return figures;
}

std::vector<NextDrawCalculation::WalkStep> NextDrawCalculation::run(const HistoryColumns& history,
                                                                    int targetRow,
                                                                    const CalculationTable& table,
                                                                    const Options& options, const Vote& vote)
{
    std::vector<WalkStep> walk;
    const int count = int(table.formulas.size());
    auto predicted = [&](int i) -> std::optional<int> {
        const std::optional<double> v = valueAt(history, table.compiled[i], targetRow);
        return v ? votedValue(*v, options.general) : std::nullopt;
    };
    if (!options.bestMethod) {
        for (int i = 0; i < count; ++i) {
            walk.push_back({table.position, table.formulas[i].idx, {}, table.formulas[i].gongshi});
            if (!table.selected[i])
                continue;
            if (const auto p = predicted(i))
                vote(table.position, *p);
        }
        return walk;
    }
    const int cells = options.general ? 6 : 10;
    const int target = options.kill ? cells - options.limit : options.limit;
    std::set<int> covered;
    const std::vector<FormulaFigures> figures =
        table.figures.size() == table.formulas.size() ? table.figures : storedFigures(table.formulas);
    for (int i : FormulaOrdering::walkOrder(figures, options.keys)) {
        if (int(covered.size()) >= target)
            break;
        WalkStep step{table.position, table.formulas[i].idx, {}, table.formulas[i].gongshi};
        if (table.selected[i]) {
            if (const auto p = predicted(i)) {
                covered.insert(*p);
                step.nextText = QString::number(*p);
                vote(table.position, *p);
            }
        }
        walk.push_back(step);
    }
    return walk;
}
