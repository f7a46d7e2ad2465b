#pragma once

#include "history/DrawRecord.h"

#include <QAbstractTableModel>
#include <vector>

// The history grid of the main window: one row per stored draw, oldest first; columns "期号",
// "百位", "十位", "个位". The number columns the current formula kind predicts are shown bold
// in blue.
class HistoryGridModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit HistoryGridModel(QObject* parent = nullptr);

    // Takes a new snapshot of the history (call after every change of the history).
    void setDraws(const std::vector<DrawRecord>* draws);
    // Emphasised number columns: first..3 (1 = 百位, 2 = 十位, 3 = 个位); 0 for none.
    void setEmphasis(int firstColumn, int lastColumn);
    int emphasisFirst() const { return m_emphasisFirst; }
    int emphasisLast() const { return m_emphasisLast; }
    const DrawRecord* drawAt(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const std::vector<DrawRecord>* m_draws = nullptr;
    int m_emphasisFirst = 0;
    int m_emphasisLast = 0;
};
