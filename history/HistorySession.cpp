#include "history/HistorySession.h"

#include "history/HistoryStore.h"
#include "history/Workspace.h"

HistorySession::HistorySession(Workspace* workspace, PublicationOrder publicationOrder, QObject* parent)
    : QObject(parent), m_workspace(workspace), m_publicationOrder(publicationOrder)
{
    readHistory();
}

void HistorySession::historyWasChanged()
{
    readHistory();
    emit historyChanged();
}

void HistorySession::storeWasReplaced()
{
    readHistory();
    emit storeReplaced();
}

std::optional<QString> HistorySession::shownFormulaName(int number) const
{
    if (number < 1 || number > shownFormulaCount())
        return std::nullopt;
    return m_shown[std::size_t(number - 1)].chineseForm;
}

void HistorySession::setShownFormulas(std::vector<ShownFormula> formulas)
{
    m_shown = std::move(formulas);
    emit shownFormulasChanged();
}

void HistorySession::setPublicationOrder(PublicationOrder publicationOrder)
{
    m_publicationOrder = publicationOrder;
    readDrawOrder();
}

void HistorySession::readHistory()
{
    // A new copy rather than a change in place: a back-test still running on the old one keeps it.
    m_columns = std::make_shared<const HistoryColumns>(m_workspace->history().draws());
    readDrawOrder();
}

void HistorySession::readDrawOrder()
{
    m_drawOrder = DrawModel::read(*m_columns, m_publicationOrder);
}
