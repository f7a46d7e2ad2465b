#pragma once

#include "killkeep/KillKeepWindow.h"

class RankingPanel;
class VoteTally;

// frmErrarr: the one-kind ranking window, shown after a calculation over a general-selection
// (通选) table. One ranking of the numbers 1 to 6.
class RankingWindow : public KillKeepWindow
{
    Q_OBJECT
public:
    explicit RankingWindow(const QString& dataFolder, QWidget* parent = nullptr);

    // Rebuilds the ranking from the general-selection cells of the tally (the sort flag starts
    // FALSE) and shows the window without blocking. `currentPosition` plays no part in a
    // general-selection ranking; it is taken so both windows are activated alike.
    void activate(const VoteTally& tally, bool killSense, int currentPosition, bool showDetailButton);

    RankingPanel* panel() const { return m_panel; }

protected:
    const RankingBuilder* exportedRanking() const override;

private:
    RankingPanel* m_panel;
};
