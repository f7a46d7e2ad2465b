#include "backtest/CalculationStepsWindow.h"

#include "backtest/CalculationSteps.h"
#include "backtest/CalculationStepsModel.h"
#include "ui/GridColumns.h"
#include "ui/GridExport.h"

#include <QDir>
#include <QGuiApplication>
#include <QHeaderView>
#include <QTableView>
#include <QVBoxLayout>

CalculationStepsWindow::CalculationStepsWindow(const QString& dataFolder, QWidget* parent)
    : QWidget(parent, Qt::Window), m_dataFolder(dataFolder), m_model(new CalculationStepsModel(this)),
      m_grid(new QTableView(this))
{
    setObjectName("frmGsbz");
    setWindowTitle(QStringLiteral("公式计算步骤"));
    m_grid->setObjectName("MSFlexGrid1");
    m_grid->setModel(m_model);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setToolTip(QStringLiteral("双击该表可以导出到Excel"));
    m_grid->verticalHeader()->setDefaultSectionSize(22);
    m_grid->verticalHeader()->hide();
    m_grid->horizontalHeader()->setStretchLastSection(true);
    // As its tooltip says: a double click writes the workbook (a single click only selects).
    connect(m_grid, &QTableView::doubleClicked, this, [this] { exportSteps(); });
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_grid);
    resize(760, 560);
}

void CalculationStepsWindow::setFormula(const QString& code, const QString& chineseForm,
                                        const std::vector<DrawRecord>& draws, const HistoryColumns& history)
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    m_model->setRows(chineseForm, CalculationSteps::build(draws, history, code));
    m_grid->setColumnWidth(CalculationStepsModel::IssueColumn, 1300 / 15);
    m_grid->setColumnWidth(CalculationStepsModel::NumbersColumn, 70);
    m_grid->setColumnWidth(CalculationStepsModel::StepsColumn, 420);
    GridColumns::fitNumbers(m_grid,
                            {CalculationStepsModel::IssueColumn, CalculationStepsModel::NumbersColumn});
    QGuiApplication::restoreOverrideCursor();
}

bool CalculationStepsWindow::exportSteps()
{
    return GridExport::exportAndOpen(this, *m_model,
                                     QDir(m_dataFolder).filePath(QStringLiteral("LSJS.xlsx")));
}
