#include "backtest/AnalysisSession.h"

#include "history/HistoryStore.h"
#include "history/Workspace.h"

AnalysisSession::AnalysisSession(Workspace* workspace, QObject* parent)
    : QObject(parent), m_workspace(workspace), m_options(AnalysisOptions::fromSettings(workspace->settings()))
{
    readHistory();
}

void AnalysisSession::setKind(const FormulaKind& kind, bool kill)
{
    if (kind == m_kind && kill == m_kill)
        return;
    m_kind = kind;
    m_kill = kill;
    emit kindChanged();
}

void AnalysisSession::setOptions(const AnalysisOptions& options)
{
    options.writeTo(m_workspace->settings());
    overrideOptions(options);
}

void AnalysisSession::reloadOptions()
{
    overrideOptions(AnalysisOptions::fromSettings(m_workspace->settings()));
}

void AnalysisSession::overrideOptions(const AnalysisOptions& options)
{
    if (options == m_options)
        return;
    const AnalysisOptions previous = m_options;
    m_options = options;
    if (options.publicationOrder != previous.publicationOrder)
        readDrawOrder();
    emit optionsChanged(previous);
}

void AnalysisSession::historyWasChanged()
{
    readHistory();
    emit historyChanged();
}

void AnalysisSession::formulasWereChanged(const FormulaKind& kind)
{
    emit formulasChanged(kind);
}

void AnalysisSession::formulasWereAdded(const FormulaKind& kind, bool kill)
{
    m_kind = kind;
    m_kill = kill;
    emit formulasChanged(kind);
}

void AnalysisSession::storeWasReplaced()
{
    readHistory();
    emit storeReplaced();
}

void AnalysisSession::readHistory()
{
    // A new copy rather than a change in place: a back-test still running on the old one keeps it.
    m_columns = std::make_shared<const HistoryColumns>(m_workspace->history().draws());
    readDrawOrder();
}

void AnalysisSession::readDrawOrder()
{
    m_drawOrder = DrawModel::read(*m_columns, m_options.publicationOrder);
}
