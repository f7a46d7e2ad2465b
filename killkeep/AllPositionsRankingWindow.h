#pragma once

#include "killkeep/KillKeepWindow.h"

class QTabWidget;
class RankingPanel;
class VoteTally;

// frmErrarrLei: the all-positions ranking window, shown after a calculation over the
// single-selection (单选) tables. One tab per position from 个位 up to the current position,
// each a ranking of the digits 0 to 9.
class AllPositionsRankingWindow : public KillKeepWindow
{
    Q_OBJECT
public:
    explicit AllPositionsRankingWindow(const QString& dataFolder, QWidget* parent = nullptr);

    // Rebuilds the tabs from the tally for positions 1 (个位) … currentPosition (1..3), every
    // sort flag FALSE, brings the 个位 tab to the front and shows the window without blocking.
    void activate(const VoteTally& tally, bool killSense, int currentPosition, bool showDetailButton);

    QTabWidget* tabs() const { return m_tabs; }
    int panelCount() const;
    RankingPanel* panelAt(int tab) const;

    // The tab caption of a position: "个位", "十位", "百位".
    static QString positionCaption(int position);

protected:
    // The ranking of the tab in front.
    const RankingBuilder* exportedRanking() const override;

private:
    QTabWidget* m_tabs;
};
