#include "killkeep/RankingTableModel.h"

#include <QBrush>
#include <QColor>

RankingTableModel::RankingTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void RankingTableModel::setRanking(RankingBuilder ranking)
{
    beginResetModel();
    m_ranking = std::move(ranking);
    endResetModel();
    emit headerDataChanged(Qt::Horizontal, 0, RankingBuilder::ColumnCount - 1);
}

void RankingTableModel::resortByColumn(int column)
{
    // The rows keep their count; only their order and the headers change.
    m_ranking.resortByColumn(column);
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, RankingBuilder::ColumnCount - 1));
    emit headerDataChanged(Qt::Horizontal, 0, RankingBuilder::ColumnCount - 1);
}

int RankingTableModel::columnWidthPixels(int column)
{
    static constexpr int twips[] = {600, 600, 1000, 1000};
    return column >= 0 && column < 4 ? twips[column] / 15 : 100;
}

int RankingTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_ranking.rows().size());
}

int RankingTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : RankingBuilder::ColumnCount;
}

QVariant RankingTableModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const RankingRow& row = m_ranking.rows()[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case RankingBuilder::RankColumn:
            return row.rank;
        case RankingBuilder::NumberColumn:
            return row.entry.number;
        case RankingBuilder::AllColumn:
            return row.entry.all;
        case RankingBuilder::KillColumn:
            return row.entry.kill;
        case RankingBuilder::KeepColumn:
            return row.entry.keep;
        case RankingBuilder::VerdictColumn:
            return row.verdict();
        }
        return {};
    case Qt::ForegroundRole:
        return QBrush(row.filtered ? QColor(0, 255, 0) : QColor(Qt::black));
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    }
    return {};
}

QVariant RankingTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    const QStringList headers = m_ranking.headers();
    return section >= 0 && section < headers.size() ? QVariant(headers[section]) : QVariant();
}
