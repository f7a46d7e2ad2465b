#include "killkeep/ReplayTableModel.h"

#include "ui/GridExport.h"

#include <QBrush>
#include <QColor>

void ReplayTableModel::setDraws(std::vector<ReplayDraw> draws)
{
    beginResetModel();
    m_draws = std::move(draws);
    endResetModel();
}

int ReplayTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_draws.size());
}

int ReplayTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ReplayTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= ColumnCount)
        return {};
    const ReplayDraw& d = m_draws[std::size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case IssueColumn:
            return d.issue;
        case DrawnColumn:
            return d.drawnText();
        case KilledColumn:
            return d.killedText(true);
        case KilledDrawnColumn:
            return QString::number(d.killedDrawn);
        case LevelsColumn:
            return d.levelsText(true);
        }
        return {};
    case Qt::ForegroundRole:
        if (index.column() == KilledDrawnColumn && d.killedDrawn > 0)
            return QBrush(QColor(255, 0, 0));
        return {};
    case Qt::ToolTipRole:
        if (index.column() == KilledColumn && d.killedOutside > 0)
            return QStringLiteral("其中 %1 个数字不在1~6之间，必不开出，不计入比较").arg(d.killedOutside);
        return {};
    case Qt::TextAlignmentRole:
        return int(Qt::AlignCenter);
    case GridExport::TextCellRole:
        // Issues and drawn numbers stay text, as in every other workbook: a lookup on 期号 against
        // lishi.xlsx then matches.
        return index.column() == IssueColumn || index.column() == DrawnColumn;
    default:
        return {};
    }
}

QVariant ReplayTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case IssueColumn:
        return QStringLiteral("期号");
    case DrawnColumn:
        return QStringLiteral("开奖号码");
    case KilledColumn:
        return QStringLiteral("滤杀号码");
    case KilledDrawnColumn:
        return QStringLiteral("滤杀中开出");
    case LevelsColumn:
        return QStringLiteral("开奖号位次");
    default:
        return {};
    }
}
