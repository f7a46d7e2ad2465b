#include "killkeep/RankingWindow.h"

#include "killkeep/RankingPanel.h"
#include "killkeep/VoteTally.h"

RankingWindow::RankingWindow(const QString& dataFolder, QWidget* parent)
    : KillKeepWindow(dataFolder, parent), m_panel(new RankingPanel(this))
{
    setObjectName(QStringLiteral("frmErrarr"));
    setContent(m_panel);
}

void RankingWindow::activate(const VoteTally& tally, bool killSense, int /*currentPosition*/,
                             bool showDetailButton)
{
    m_panel->setRanking(
        RankingBuilder(RankingBuilder::entriesOf(tally, VoteTally::kGeneralPosition), killSense));
    setDetailButtonShown(showDetailButton);
    show();
    raise();
    activateWindow();
}

const RankingBuilder* RankingWindow::exportedRanking() const
{
    return &m_panel->ranking();
}
