#pragma once

#include "killkeep/RankingBuilder.h"

#include <QAbstractTableModel>
#include <vector>

// The distribution grid of a kill/keep window: "杀留次数", "个数", "号码" (the list left-aligned).
class DistributionTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit DistributionTableModel(QObject* parent = nullptr);

    void setRows(std::vector<DistributionRow> rows);
    const std::vector<DistributionRow>& rows() const { return m_rows; }

    // Widths in pixels (1200, 1200, 8000 twips).
    static int columnWidthPixels(int column);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::vector<DistributionRow> m_rows;
};
