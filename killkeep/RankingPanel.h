#pragma once

#include "killkeep/RankingBuilder.h"

#include <QWidget>

class DistributionTableModel;
class QTableView;
class RankingTableModel;

// One ranking of a kill/keep window: the frame "该类公式计算综合结果" with the ranking grid and
// the frame "公式总计算结果情况统计" with the distribution grid. A double-click on the ranking
// grid (a cell or a column header) re-sorts it by that column.
class RankingPanel : public QWidget
{
    Q_OBJECT
public:
    explicit RankingPanel(QWidget* parent = nullptr);

    void setRanking(RankingBuilder ranking);
    const RankingBuilder& ranking() const;
    void resortByColumn(int column);

    QTableView* rankingView() const { return m_rankingView; }
    QTableView* distributionView() const { return m_distributionView; }
    const RankingTableModel& rankingModel() const { return *m_rankingModel; }
    const DistributionTableModel& distributionModel() const { return *m_distributionModel; }

private:
    RankingTableModel* m_rankingModel;
    DistributionTableModel* m_distributionModel;
    QTableView* m_rankingView;
    QTableView* m_distributionView;
};
