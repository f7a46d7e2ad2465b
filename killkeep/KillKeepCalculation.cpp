#include "killkeep/KillKeepCalculation.h"

#include "backtest/BacktestRunner.h"
#include "backtest/DetailListWindow.h"
#include "backtest/FormulaGridModel.h"
#include "backtest/FormulaSortWindow.h"
#include "backtest/NextDrawCalculation.h"
#include "formula/FormulaTableStore.h"
#include "history/Workspace.h"
#include "killkeep/AllPositionsRankingWindow.h"
#include "killkeep/RankingWindow.h"
#include "killkeep/VoteTally.h"
#include "ui/BusyCursor.h"
#include "ui/MessageBoxes.h"

#include <algorithm>
#include <numeric>

KillKeepCalculation::KillKeepCalculation(Workspace* workspace, const FormulaGridModel* formulas,
                                         QWidget* window)
    : QObject(window), m_workspace(workspace), m_formulas(formulas), m_window(window)
{
}

int KillKeepCalculation::run(const HistoryColumns& history, const Request& request)
{
    const auto& draws = m_workspace->history().draws();
    if (draws.empty()) {
        MessageBoxes::error(m_window, QStringLiteral("没有历史号码，无法计算公式。"));
        return 0;
    }
    int targetRow = int(draws.size()) - 1;
    QString error;
    if (request.verify) {
        std::vector<QString> issues;
        issues.reserve(draws.size());
        for (const DrawRecord& d : draws)
            issues.push_back(d.issue);
        if (!NextDrawCalculation::rowBeforeIssue(issues, request.verifiedIssue, &targetRow, &error)) {
            MessageBoxes::error(m_window, error);
            return 0;
        }
    }
    NextDrawCalculation::Options options;
    options.general = !request.kind.single;
    options.kill = request.kill;
    options.bestMethod = request.bestMethod;
    if (options.bestMethod) {
        if (!m_sortWindow)
            m_sortWindow = new FormulaSortWindow(m_window);
        const FormulaSortChoice choice = m_sortWindow->ask();
        if (!choice.hasFirstKey())
            return 0;
        options.keys = choice.keys;
        options.limit = choice.limit;
    }
    BusyCursor busy;
    // 通选: the current table; 单选: the single-selection tables from 个位 up to the current position,
    // each voting for its own position. The current table's formulas are the list's, with its
    // flags; the other tables are loaded afresh, which selects all their formulas.
    std::vector<FormulaKind> kinds;
    if (options.general)
        kinds.push_back(request.kind);
    else
        for (int p = 1; p <= request.kind.position; ++p)
            kinds.push_back({p, true});
    const FormulaTableStore store(&m_workspace->database());
    VoteTally tally;
    int walkedInList = 0;
    for (const FormulaKind& kind : kinds) {
        CalculationTable table;
        table.position = options.general ? VoteTally::kGeneralPosition : kind.position;
        if (kind == request.kind && m_formulas->kind() == kind) {
            listedFormulas(&table);
        } else {
            if (!store.loadSubset(kind, request.kill, &table.formulas, &error)) {
                MessageBoxes::error(m_window, error);
                return 0;
            }
            table.selected.assign(table.formulas.size(), true);
        }
        table.compiled = BacktestRunner::compileAll(table.formulas);
        const auto walk = NextDrawCalculation::run(history, targetRow, table, options,
                                                   [&tally](int position, int value) { tally.vote(position, value); });
        if (options.bestMethod && kind == request.kind)
            walkedInList = int(walk.size());
        if (!request.kill)
            tally.moveKillToKeep(table.position);
    }
    KillKeepWindow* window = rankingWindowFor(options.general);
    if (options.general)
        m_rankingWindow->activate(tally, request.kill, request.kind.position, !options.bestMethod);
    else
        m_allPositionsWindow->activate(tally, request.kill, request.kind.position, !options.bestMethod);
    window->show();
    window->raise();
    return walkedInList;
}

void KillKeepCalculation::listedFormulas(CalculationTable* table) const
{
    std::vector<int> rows(size_t(m_formulas->rowCount()));
    std::iota(rows.begin(), rows.end(), 0);
    std::sort(rows.begin(), rows.end(), [this](int a, int b) { return m_formulas->idxAt(a) < m_formulas->idxAt(b); });
    for (int r : rows) {
        table->formulas.push_back(m_formulas->formulaAt(r));
        table->selected.push_back(m_formulas->isSelected(r));
    }
}

KillKeepWindow* KillKeepCalculation::rankingWindowFor(bool general)
{
    if (general && !m_rankingWindow) {
        m_rankingWindow = new RankingWindow(m_workspace->dataFolder(), m_window);
        connect(m_rankingWindow, &KillKeepWindow::detailListRequested, this,
                &KillKeepCalculation::showDetailList);
    }
    if (!general && !m_allPositionsWindow) {
        m_allPositionsWindow = new AllPositionsRankingWindow(m_workspace->dataFolder(), m_window);
        connect(m_allPositionsWindow, &KillKeepWindow::detailListRequested, this,
                &KillKeepCalculation::showDetailList);
    }
    return general ? static_cast<KillKeepWindow*>(m_rankingWindow) : m_allPositionsWindow;
}

void KillKeepCalculation::showDetailList()
{
    std::vector<DetailListRow> rows;
    auto text = [this](int row, int column) {
        return m_formulas->data(m_formulas->index(row, column), Qt::DisplayRole).toString();
    };
    for (int r = 0; r < m_formulas->rowCount(); ++r) {
        if (!m_formulas->isSelected(r))
            continue;
        rows.push_back({text(r, FormulaGridModel::FormulaColumn), text(r, FormulaGridModel::KindColumn),
                        text(r, FormulaGridModel::SenseColumn), text(r, FormulaGridModel::NextValueColumn),
                        text(r, FormulaGridModel::RateColumn)});
    }
    DetailListWindow list(rows, m_workspace->dataFolder(), m_window);
    list.exec();
}
