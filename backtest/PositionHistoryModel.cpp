#include "backtest/PositionHistoryModel.h"

#include "ui/GridExport.h"

#include <QBrush>
#include <QColor>

PositionHistoryModel::PositionHistoryModel(QObject* parent) : QAbstractTableModel(parent) {}

void PositionHistoryModel::setHistory(PositionHistory history)
{
    beginResetModel();
    m_history = std::move(history);
    endResetModel();
}

int PositionHistoryModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_history.rowCount();
}

int PositionHistoryModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_history.columnCount();
}

QVariant PositionHistoryModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return m_history.text(index.row(), index.column());
    case Qt::BackgroundRole:
        if (m_history.isMarked(index.row(), index.column()))
            return QBrush(QColor(0, 0, 255));
        return {};
    case Qt::ForegroundRole: // readable on the blue mark
        return m_history.isMarked(index.row(), index.column()) ? QVariant(QBrush(Qt::white)) : QVariant();
    case Qt::TextAlignmentRole:
        return int(index.column() >= PositionHistory::kFixedColumns ? Qt::AlignLeft | Qt::AlignVCenter
                                                                    : Qt::AlignCenter);
    case GridExport::TextCellRole:
        return index.column() == PositionHistory::IssueColumn;
    default:
        return {};
    }
}

QVariant PositionHistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (section < 0 || section >= columnCount())
        return {};
    return m_history.header(section);
}
