#include "killkeep/KillKeepCalculation.h"

#include "backtest/BacktestEngine.h"
#include "backtest/DetailListWindow.h"
#include "backtest/FormulaGridModel.h"
#include "backtest/FormulaSortWindow.h"
#include "formula/FormulaTableStore.h"
#include "history/Workspace.h"
#include "killkeep/AllPositionsRankingWindow.h"
#include "killkeep/CalculationRun.h"
#include "killkeep/RankingWindow.h"
#include "killkeep/ReplayWindow.h"
#include "ui/BusyCursor.h"
#include "ui/MessageBoxes.h"

#include <algorithm>

KillKeepCalculation::KillKeepCalculation(Workspace* workspace, const FormulaGridModel* formulas,
                                         QWidget* window)
    : QObject(window), m_workspace(workspace), m_formulas(formulas), m_window(window)
{
}

bool KillKeepCalculation::calculationRequest(const Request& request, CalculationRequest* calculation)
{
    calculation->kind = request.kind;
    calculation->kill = request.kill;
    calculation->bestMethod = request.bestMethod;
    calculation->backtest = request.backtest;
    if (calculation->bestMethod) {
        if (!m_sortWindow)
            m_sortWindow = new FormulaSortWindow(m_window);
        const FormulaSortChoice choice = m_sortWindow->ask();
        if (!choice.hasFirstKey())
            return false;
        calculation->keys = choice.keys;
        calculation->limit = choice.limit;
    }
    // The list's flags choose among the current table's formulas; the other tables' all vote.
    for (int r = 0; r < m_formulas->rowCount(); ++r)
        calculation->selected.insert(m_formulas->formulaAt(r).rowId, m_formulas->isSelected(r));
    return true;
}

int KillKeepCalculation::run(const HistoryColumns& history, const Request& request)
{
    // The command line's `calc` calculates through the same CalculationRun.
    int targetRow = 0;
    QString error;
    if (!CalculationRun::targetRow(m_workspace->history().draws(),
                                   request.verify ? std::optional<QString>(request.verifiedIssue)
                                                  : std::nullopt,
                                   &targetRow, &error)) {
        MessageBoxes::error(m_window, error);
        return 0;
    }
    CalculationRequest calculation;
    if (!calculationRequest(request, &calculation))
        return 0;
    BusyCursor busy;
    CalculationOutcome outcome;
    if (!CalculationRun::run(FormulaTableStore(&m_workspace->database()), history, targetRow, calculation,
                             &outcome, &error)) {
        MessageBoxes::error(m_window, error);
        return 0;
    }
    m_shown = calculation;
    const bool general = !request.kind.single;
    KillKeepWindow* window = rankingWindowFor(general);
    if (general)
        m_rankingWindow->activate(outcome.tally, request.kill, request.kind.position, !request.bestMethod);
    else
        m_allPositionsWindow->activate(outcome.tally, request.kill, request.kind.position,
                                       !request.bestMethod);
    window->show();
    window->raise();
    if (!request.bestMethod)
        return 0;
    const int listPosition = general ? VoteTally::kGeneralPosition : request.kind.position;
    return int(std::count_if(
        outcome.walk.begin(), outcome.walk.end(),
        [listPosition](const NextDrawCalculation::WalkStep& s) { return s.position == listPosition; }));
}

void KillKeepCalculation::openReplay(const Request& request)
{
    CalculationRequest calculation;
    if (calculationRequest(request, &calculation))
        showReplay(calculation);
}

void KillKeepCalculation::showReplay(const CalculationRequest& calculation)
{
    if (!m_replayWindow) {
        m_replayWindow = new ReplayWindow(m_workspace, m_window);
        connect(m_replayWindow, &ReplayWindow::replayed, this,
                [this] { emit replayed(m_replayWindow->result()); });
    }
    m_replayWindow->setRequest(calculation);
    m_replayWindow->show();
    m_replayWindow->raise();
    m_replayWindow->activateWindow();
}

KillKeepWindow* KillKeepCalculation::rankingWindowFor(bool general)
{
    if (general && !m_rankingWindow) {
        m_rankingWindow = new RankingWindow(m_workspace->dataFolder(), m_window);
        connect(m_rankingWindow, &KillKeepWindow::detailListRequested, this,
                &KillKeepCalculation::showDetailList);
        connect(m_rankingWindow, &KillKeepWindow::replayRequested, this, [this] { showReplay(m_shown); });
    }
    if (!general && !m_allPositionsWindow) {
        m_allPositionsWindow = new AllPositionsRankingWindow(m_workspace->dataFolder(), m_window);
        connect(m_allPositionsWindow, &KillKeepWindow::detailListRequested, this,
                &KillKeepCalculation::showDetailList);
        connect(m_allPositionsWindow, &KillKeepWindow::replayRequested, this,
                [this] { showReplay(m_shown); });
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
