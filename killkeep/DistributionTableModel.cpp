#include "killkeep/DistributionTableModel.h"

DistributionTableModel::DistributionTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void DistributionTableModel::setRows(std::vector<DistributionRow> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

int DistributionTableModel::columnWidthPixels(int column)
{
    static constexpr int twips[] = {1200, 1200, 8000};
    return column >= 0 && column < 3 ? twips[column] / 15 : 100;
}

int DistributionTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int DistributionTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 3;
}

QVariant DistributionTableModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const DistributionRow& row = m_rows[index.row()];
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case 0:
            return row.votes;
        case 1:
            return row.count;
        case 2:
            return row.numbers;
        }
    }
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(index.column() == 2 ? Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter)
                                                       : Qt::Alignment(Qt::AlignCenter));
    return {};
}

QVariant DistributionTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    const QStringList headers = RankingBuilder::distributionHeaders();
    return section >= 0 && section < headers.size() ? QVariant(headers[section]) : QVariant();
}
