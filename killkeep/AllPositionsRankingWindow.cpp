#include "killkeep/AllPositionsRankingWindow.h"

#include "killkeep/RankingPanel.h"
#include "killkeep/VoteTally.h"

#include <QTabWidget>
#include <algorithm>

AllPositionsRankingWindow::AllPositionsRankingWindow(const QString& dataFolder, QWidget* parent)
    : KillKeepWindow(dataFolder, parent), m_tabs(new QTabWidget(this))
{
    setObjectName(QStringLiteral("frmErrarrLei"));
    setContent(m_tabs);
}

QString AllPositionsRankingWindow::positionCaption(int position)
{
    static const QString characters = QStringLiteral("个十百");
    if (position < 1 || position > VoteTally::kPositions)
        return {};
    return characters.at(position - 1) + QStringLiteral("位");
}

void AllPositionsRankingWindow::activate(const VoteTally& tally, bool killSense, int currentPosition,
                                         bool showDetailButton)
{
    while (m_tabs->count() > 0) {
        QWidget* old = m_tabs->widget(0);
        m_tabs->removeTab(0);
        delete old;
    }
    const int last = std::clamp(currentPosition, 1, VoteTally::kPositions);
    for (int position = 1; position <= last; ++position) {
        auto* panel = new RankingPanel(m_tabs);
        panel->setRanking(RankingBuilder(RankingBuilder::entriesOf(tally, position), killSense));
        m_tabs->addTab(panel, positionCaption(position));
    }
    m_tabs->setCurrentIndex(0);
    setDetailButtonShown(showDetailButton);
    show();
    raise();
    activateWindow();
}

int AllPositionsRankingWindow::panelCount() const
{
    return m_tabs->count();
}

RankingPanel* AllPositionsRankingWindow::panelAt(int tab) const
{
    return qobject_cast<RankingPanel*>(m_tabs->widget(tab));
}

const RankingBuilder* AllPositionsRankingWindow::exportedRanking() const
{
    const RankingPanel* panel = panelAt(m_tabs->currentIndex());
    return panel ? &panel->ranking() : nullptr;
}
