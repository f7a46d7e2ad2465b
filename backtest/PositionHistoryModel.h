#pragma once

#include "backtest/PositionHistory.h"

#include <QAbstractTableModel>

// The grid of "历史开奖列表" over a PositionHistory: its headers, texts and the blue marks of the
// entries whose number was drawn.
class PositionHistoryModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit PositionHistoryModel(QObject* parent = nullptr);

    void setHistory(PositionHistory history);
    const PositionHistory& history() const { return m_history; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    PositionHistory m_history;
};
