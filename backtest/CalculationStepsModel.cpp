#include "backtest/CalculationStepsModel.h"

#include "ui/GridExport.h"

CalculationStepsModel::CalculationStepsModel(QObject* parent) : QAbstractTableModel(parent) {}

void CalculationStepsModel::setRows(const QString& chineseForm, std::vector<CalculationStepRow> rows)
{
    beginResetModel();
    m_chineseForm = chineseForm;
    m_rows = std::move(rows);
    endResetModel();
}

int CalculationStepsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CalculationStepsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CalculationStepsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    // The issue, the three drawn numbers side by side ("335") and the steps stay text in a workbook.
    if (role == GridExport::TextCellRole)
        return index.column() != ValueColumn;
    if (role != Qt::DisplayRole)
        return {};
    const CalculationStepRow& r = m_rows[index.row()];
    switch (index.column()) {
    case IssueColumn:
        return r.issue;
    case NumbersColumn:
        return r.numbers;
    case StepsColumn:
        return r.steps;
    case ValueColumn:
        return r.value;
    default:
        return {};
    }
}

QVariant CalculationStepsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case IssueColumn:
        return QStringLiteral("期号");
    case NumbersColumn:
        return QStringLiteral("当期号码");
    case StepsColumn:
        return m_chineseForm;
    case ValueColumn:
        return QStringLiteral("计算值(算下期)");
    default:
        return {};
    }
}
