#pragma once

#include "backtest/CalculationSteps.h"

#include <QAbstractTableModel>
#include <vector>

// The grid of "公式计算步骤": "期号", "当期号码", the formula's Chinese form, "计算值(算下期)".
class CalculationStepsModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column
    {
        IssueColumn,
        NumbersColumn,
        StepsColumn,
        ValueColumn,
        ColumnCount
    };

    explicit CalculationStepsModel(QObject* parent = nullptr);

    void setRows(const QString& chineseForm, std::vector<CalculationStepRow> rows);
    const CalculationStepRow& rowAt(int row) const { return m_rows[row]; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QString m_chineseForm;
    std::vector<CalculationStepRow> m_rows;
};
