#pragma once

#include <QWidget>
#include <vector>

class CalculationStepsModel;
class HistoryColumns;
class QTableView;
struct DrawRecord;

// frmGsbz, "公式计算步骤": how one formula's value comes about on every stored draw, oldest first.
// Modeless; a double click on the grid copies it into "LSJS.xlsx" in the data folder and opens
// that.
class CalculationStepsWindow : public QWidget
{
    Q_OBJECT
public:
    explicit CalculationStepsWindow(const QString& dataFolder, QWidget* parent = nullptr);

    // Shows the formula (code and Chinese form) over the draws; `history` is their column copy.
    void setFormula(const QString& code, const QString& chineseForm, const std::vector<DrawRecord>& draws,
                    const HistoryColumns& history);
    bool exportSteps();

    CalculationStepsModel* model() const { return m_model; }
    QTableView* grid() const { return m_grid; }

private:
    QString m_dataFolder;
    CalculationStepsModel* m_model;
    QTableView* m_grid;
};
