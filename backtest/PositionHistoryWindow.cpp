#include "backtest/PositionHistoryWindow.h"

#include "backtest/PositionHistoryModel.h"
#include "formula/FormulaKind.h"
#include "ui/GridColumns.h"
#include "ui/GridExport.h"

#include <QDir>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Widths in pixels of columns 0..26 (grid units / 15); the count columns are 1600 twips wide.
int columnWidth(int column)
{
    if (column == PositionHistory::IssueColumn)
        return 90;
    if (column < PositionHistory::FirstNumberColumn)
        return 64;
    if (column < PositionHistory::kFixedColumns)
        return 52;
    return PositionHistory::kCountColumnWidthTwips / 15;
}

} // namespace

PositionHistoryWindow::PositionHistoryWindow(std::vector<PastRankingDraw> ranking, int comparedPosition,
                                             bool single, const QString& dataFolder, QWidget* parent)
    : QWidget(parent, Qt::Window), m_dataFolder(dataFolder), m_model(new PositionHistoryModel(this)),
      m_grid(new QTableView(this)), m_singleOption(new QRadioButton(QStringLiteral("单选"))),
      m_generalOption(new QRadioButton(QStringLiteral("通选")))
{
    setObjectName("PositionHistoryWindow");
    setWindowTitle(QStringLiteral("历史开奖列表"));

    auto* mode = new QGroupBox(QStringLiteral("玩法选择"));
    auto* modeLayout = new QHBoxLayout(mode);
    modeLayout->addWidget(m_singleOption);
    modeLayout->addWidget(m_generalOption);
    // The fill follows the main window's mode; these only show it.
    m_singleOption->setEnabled(false);
    m_generalOption->setEnabled(false);

    auto* position = new QGroupBox(QStringLiteral("码位"));
    auto* positionLayout = new QHBoxLayout(position);
    for (int p = 1; p <= 3; ++p) {
        m_positionOptions[p - 1] = new QRadioButton(FormulaKind::positionCaption(p));
        positionLayout->addWidget(m_positionOptions[p - 1]);
    }

    auto* queryButton = new QPushButton(QStringLiteral("查询该位该类对应号历史排序结果"));
    queryButton->setObjectName("cmdQuery");
    connect(queryButton, &QPushButton::clicked, this, &PositionHistoryWindow::query);
    auto* exportButton = new QPushButton(QStringLiteral("查询结果导出(&O)"));
    exportButton->setObjectName("cmdExport");
    connect(exportButton, &QPushButton::clicked, this, &PositionHistoryWindow::exportPrint);

    auto* controls = new QHBoxLayout;
    controls->addWidget(mode);
    controls->addWidget(position);
    controls->addWidget(queryButton);
    controls->addWidget(exportButton);
    controls->addStretch(1);

    m_grid->setObjectName("MSFlexGrid1");
    m_grid->setModel(m_model);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->verticalHeader()->setDefaultSectionSize(22);
    m_grid->verticalHeader()->hide();
    connect(m_grid, &QTableView::doubleClicked, this, [this] { exportJieguo(); });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addWidget(m_grid, 1);
    resize(1100, 640);

    setRanking(std::move(ranking), comparedPosition, single);
}

void PositionHistoryWindow::setRanking(std::vector<PastRankingDraw> ranking, int comparedPosition,
                                       bool single)
{
    m_ranking = std::move(ranking);
    m_single = single;
    (single ? m_singleOption : m_generalOption)->setChecked(true);
    setComparedPosition(comparedPosition);
    fill(this->comparedPosition());
}

int PositionHistoryWindow::comparedPosition() const
{
    for (int p = 1; p <= 3; ++p)
        if (m_positionOptions[p - 1]->isChecked())
            return p;
    return 1;
}

void PositionHistoryWindow::setComparedPosition(int position)
{
    m_positionOptions[std::clamp(position, 1, 3) - 1]->setChecked(true);
}

void PositionHistoryWindow::query()
{
    fill(comparedPosition());
}

void PositionHistoryWindow::fill(int comparedPosition)
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    m_model->setHistory(PositionHistory::build(m_ranking, comparedPosition, m_single));
    GridColumns::apply(m_grid, columnWidth);
    std::vector<int> numbers;
    for (int c = PositionHistory::ErrColumn; c < PositionHistory::kFixedColumns; ++c)
        numbers.push_back(c);
    GridColumns::fitNumbers(m_grid, numbers);
    QGuiApplication::restoreOverrideCursor();
}

bool PositionHistoryWindow::exportPrint()
{
    return exportTo(QStringLiteral("Print.xlsx"));
}

bool PositionHistoryWindow::exportJieguo()
{
    return exportTo(QStringLiteral("Jieguo.xlsx"));
}

bool PositionHistoryWindow::exportTo(const QString& fileName)
{
    return GridExport::exportAndOpen(this, *m_model, QDir(m_dataFolder).filePath(fileName));
}
