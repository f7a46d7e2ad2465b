#include "history/HistoryGridModel.h"

#include <QBrush>
#include <QFont>

HistoryGridModel::HistoryGridModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

void HistoryGridModel::setDraws(const std::vector<DrawRecord>* draws)
{
    beginResetModel();
    m_draws = draws;
    endResetModel();
}

void HistoryGridModel::setEmphasis(int firstColumn, int lastColumn)
{
    m_emphasisFirst = firstColumn;
    m_emphasisLast = lastColumn;
    if (rowCount() > 0)
        emit dataChanged(index(0, 1), index(rowCount() - 1, 3), {Qt::FontRole, Qt::ForegroundRole});
}

const DrawRecord* HistoryGridModel::drawAt(int row) const
{
    if (!m_draws || row < 0 || row >= int(m_draws->size()))
        return nullptr;
    return &(*m_draws)[row];
}

int HistoryGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !m_draws ? 0 : int(m_draws->size());
}

int HistoryGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 4;
}

QVariant HistoryGridModel::data(const QModelIndex& index, int role) const
{
    const DrawRecord* draw = index.isValid() ? drawAt(index.row()) : nullptr;
    if (!draw)
        return {};
    const int column = index.column();
    const bool emphasised =
        column >= 1 && column <= 3 && m_emphasisFirst > 0 && column >= m_emphasisFirst && column <= m_emphasisLast;
    switch (role) {
    case Qt::DisplayRole:
        return column == 0 ? QVariant(draw->issue) : QVariant(draw->number(column));
    case Qt::TextAlignmentRole:
        return int(Qt::AlignCenter);
    case Qt::FontRole:
        if (emphasised) {
            QFont f;
            f.setBold(true);
            return f;
        }
        return {};
    case Qt::ForegroundRole:
        return emphasised ? QBrush(Qt::blue) : QBrush(Qt::black);
    default:
        return {};
    }
}

QVariant HistoryGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const headers[] = {"期号", "百位", "十位", "个位"};
    return section >= 0 && section < 4 ? QString::fromUtf8(headers[section]) : QVariant();
}
