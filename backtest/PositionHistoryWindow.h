#pragma once

#include "backtest/PastRanking.h"

#include <QWidget>
#include <array>
#include <vector>

class PositionHistoryModel;
class QRadioButton;
class QPushButton;
class QTableView;

// "历史开奖列表": where the numbers of each draw stood in the vote ranking the selected formulas
// made on the draw before it. Opened modeless when the past-position ranking is built; the compared
// position can be changed and the grid refilled, exported ("Print.xlsx") or, by a double click,
// exported as "Jieguo.xlsx". The 单选/通选 options only show the main window's selection mode.
class PositionHistoryWindow : public QWidget
{
    Q_OBJECT
public:
    // comparedPosition as in a formula kind: 1 个位, 2 十位, 3 百位. Exports go to dataFolder.
    PositionHistoryWindow(std::vector<PastRankingDraw> ranking, int comparedPosition, bool single,
                          const QString& dataFolder, QWidget* parent = nullptr);

    // A new build: keeps the window, refills it with the given position and mode.
    void setRanking(std::vector<PastRankingDraw> ranking, int comparedPosition, bool single);
    // Refills the grid for the position chosen in "码位".
    void query();
    bool exportPrint();
    bool exportJieguo();

    int comparedPosition() const;
    void setComparedPosition(int position);
    PositionHistoryModel* model() const { return m_model; }
    QTableView* grid() const { return m_grid; }

private:
    void fill(int comparedPosition);
    bool exportTo(const QString& fileName);

    std::vector<PastRankingDraw> m_ranking;
    bool m_single = true;
    QString m_dataFolder;
    PositionHistoryModel* m_model;
    QTableView* m_grid;
    QRadioButton* m_singleOption;
    QRadioButton* m_generalOption;
    std::array<QRadioButton*, 3> m_positionOptions{}; // index position − 1: 个位, 十位, 百位
};
