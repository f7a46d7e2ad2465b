#include "backtest/AnalysisSession.h"

#include "backtest/VerificationDisplay.h"
#include "history/Workspace.h"
#include "store/Settings.h"

AnalysisSession::AnalysisSession(Workspace* workspace, QObject* parent)
    : AnalysisSession(workspace, AnalysisOptions::fromSettings(workspace->settings()), parent)
{
}

AnalysisSession::AnalysisSession(Workspace* workspace, const AnalysisOptions& options, QObject* parent)
    : HistorySession(workspace, options.publicationOrder, parent), m_options(options)
{
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
    options.writeTo(workspace().settings());
    overrideOptions(options);
}

void AnalysisSession::reloadOptions()
{
    overrideOptions(AnalysisOptions::fromSettings(workspace().settings()));
}

void AnalysisSession::overrideOptions(const AnalysisOptions& options)
{
    if (options == m_options)
        return;
    const AnalysisOptions previous = m_options;
    m_options = options;
    if (options.publicationOrder != previous.publicationOrder)
        setPublicationOrder(options.publicationOrder);
    emit optionsChanged(previous);
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

void AnalysisSession::listWasShown(const FormulaKind& kind, bool kill, std::vector<ShownFormula> formulas)
{
    m_shownKind = kind;
    m_shownKill = kill;
    setShownFormulas(std::move(formulas));
}

VerificationBlock AnalysisSession::verificationBlock(int scrollValue) const
{
    // Only the block's formulas are evaluated; the others keep their place in the numbering.
    const int first = VerificationBlock::blockFirst(scrollValue);
    const int size = VerificationBlock::blockSize(scrollValue, shownFormulaCount());
    std::vector<CompiledFormula> subset(static_cast<std::size_t>(shownFormulaCount()));
    for (int n = first; n < first + size; ++n)
        subset[std::size_t(n - 1)] = CompiledFormula::compile(shownFormulas()[std::size_t(n - 1)].text);
    const VerificationMode mode = VerificationDisplay::modeOf(workspace().settings().resultsOnCurrentDraw());
    return VerificationDisplay::compute(*columns(), subset, m_shownKind, m_shownKill, mode, scrollValue);
}
