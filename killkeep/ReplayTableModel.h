#pragma once

#include "killkeep/CalculationReplay.h"

#include <QAbstractTableModel>

// The rows of the window "计算方法回测": one per replayed draw, oldest first — 期号, 开奖号码,
// 滤杀号码, 滤杀中开出 (red when any 滤杀 number came up), 开奖号位次.
class ReplayTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column
    {
        IssueColumn,
        DrawnColumn,
        KilledColumn,
        KilledDrawnColumn,
        LevelsColumn,
        ColumnCount
    };

    using QAbstractTableModel::QAbstractTableModel;

    void setDraws(std::vector<ReplayDraw> draws);
    const std::vector<ReplayDraw>& draws() const { return m_draws; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<ReplayDraw> m_draws;
};
