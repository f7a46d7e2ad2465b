#include "search/SearchWindow.h"

#include "search/SchemePanel.h"
#include "search/SearchPanel.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

SearchWindow::SearchWindow(AnalysisSession* session, QWidget* parent)
    : QDialog(parent), m_search(new SearchPanel(session, this)),
      m_scheme(new SchemePanel(session, m_search, this))
{
    setObjectName(QStringLiteral("frmGSGL"));
    setWindowTitle(QStringLiteral("公式搜索设置以及搜索结果"));
    m_search->setSchemeInProgress([this] { return m_scheme->isInProgress(); });
    connect(m_search, &SearchPanel::runningChanged, this, &SearchWindow::updateControls);
    connect(m_scheme, &SchemePanel::stateChanged, this, &SearchWindow::updateControls);

    auto* right = new QVBoxLayout;
    right->addWidget(m_scheme);
    right->addWidget(m_search->optimumFrame());
    right->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_search, 3);
    layout->addLayout(right, 2);
    updateControls();
}

SearchWindow::~SearchWindow() = default;

bool SearchWindow::formulasChangedFlag() const
{
    return m_search->formulasChangedFlag();
}

bool SearchWindow::isSearching() const
{
    return m_search->isRunning() || m_scheme->isInProgress();
}

const std::vector<SearchResult>& SearchWindow::pendingResults() const
{
    return m_search->pendingResults();
}

SearchResultModel* SearchWindow::resultModel() const
{
    return m_search->resultModel();
}

int SearchWindow::currentSlot() const
{
    return m_search->currentSlot();
}

bool SearchWindow::killSense() const
{
    return m_search->killSense();
}

void SearchWindow::updateControls()
{
    const bool single = m_search->isRunning();
    const bool schemeRunning = m_scheme->isRunning();
    m_search->enableControls(single || m_scheme->isInProgress(), !single && !schemeRunning);
    m_scheme->enableControls(single);
}

void SearchWindow::reject()
{
    // Closing ends the searches; results not yet saved are given up only when the user agrees.
    const bool schemeWasRunning = m_scheme->isRunning();
    m_search->stopSearch();
    if (schemeWasRunning)
        m_scheme->pause();
    m_scheme->poll();
    if (!m_search->confirmDiscard(QStringLiteral("关闭窗口"), QStringLiteral("关闭"))) {
        if (schemeWasRunning)
            m_scheme->resume();
        updateControls();
        return;
    }
    m_scheme->discard();
    QDialog::reject();
}
