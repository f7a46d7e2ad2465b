#include "history/HistoryGridModel.h"

#include "ui/GridExport.h"

#include <QBrush>
#include <QColor>
#include <QFont>

HistoryGridModel::HistoryGridModel(QObject* parent) : QAbstractTableModel(parent) {}

void HistoryGridModel::setDraws(const std::vector<DrawRecord>* draws)
{
    beginResetModel();
    m_draws = draws;
    m_block = VerificationBlock{};
    endResetModel();
}

void HistoryGridModel::setVerificationBlock(VerificationBlock block)
{
    if (block.drawCount != rowCount())
        block = VerificationBlock{};
    const int oldColumns = columnCount();
    const int newColumns = kFixedColumns + block.formulaCount;
    if (newColumns < oldColumns) {
        beginRemoveColumns({}, newColumns, oldColumns - 1);
        m_block = std::move(block);
        endRemoveColumns();
    } else if (newColumns > oldColumns) {
        beginInsertColumns({}, oldColumns, newColumns - 1);
        m_block = std::move(block);
        endInsertColumns();
    } else {
        m_block = std::move(block);
    }
    if (m_block.formulaCount > 0) {
        emit headerDataChanged(Qt::Horizontal, kFixedColumns, newColumns - 1);
        if (rowCount() > 0)
            emit dataChanged(index(0, kFixedColumns), index(rowCount() - 1, newColumns - 1));
    }
}

void HistoryGridModel::clearVerificationBlock()
{
    setVerificationBlock(VerificationBlock{});
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
    return parent.isValid() ? 0 : kFixedColumns + m_block.formulaCount;
}

QVariant HistoryGridModel::data(const QModelIndex& index, int role) const
{
    const DrawRecord* draw = index.isValid() ? drawAt(index.row()) : nullptr;
    if (!draw)
        return {};
    const int column = index.column();
    if (column >= kFixedColumns)
        return formulaData(column - kFixedColumns, index.row(), role);
    const bool emphasised = column >= 1 && column <= 3 && m_emphasisFirst > 0 && column >= m_emphasisFirst &&
                            column <= m_emphasisLast;
    switch (role) {
    case Qt::DisplayRole:
        return column == 0 ? QVariant(draw->issue) : QVariant(draw->number(column));
    case Qt::TextAlignmentRole:
        return int(Qt::AlignCenter);
    case GridExport::TextCellRole:
        return column == 0; // the issue number
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
    if (section >= kFixedColumns && section < columnCount())
        return VerificationBlock::header(m_block.numberAt(section - kFixedColumns));
    return section >= 0 && section < 4 ? QString::fromUtf8(headers[section]) : QVariant();
}

QVariant HistoryGridModel::formulaData(int formula, int row, int role) const
{
    switch (role) {
    case Qt::DisplayRole: {
        const std::optional<int> p = m_block.prediction(formula, row);
        return p ? QString::number(*p) : QString();
    }
    case Qt::TextAlignmentRole:
        return int(Qt::AlignCenter);
    case Qt::BackgroundRole:
        switch (m_block.colour(formula, row)) {
        case VerificationBlock::Hit:
            return QBrush(QColor(0, 0, 255));
        case VerificationBlock::Miss:
            return QBrush(QColor(0, 255, 0));
        case VerificationBlock::White:
            return QBrush(QColor(255, 255, 255));
        default:
            return {};
        }
    case Qt::ForegroundRole: // readable on the blue of a prediction that came true
        return m_block.colour(formula, row) == VerificationBlock::Hit ? QVariant(QBrush(Qt::white))
                                                                      : QVariant();
    default:
        return {};
    }
}
