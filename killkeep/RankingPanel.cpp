#include "killkeep/RankingPanel.h"

#include "killkeep/DistributionTableModel.h"
#include "killkeep/RankingTableModel.h"
#include "ui/GridColumns.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <numeric>

namespace {

QTableView* makeGrid(QAbstractItemModel* model, QWidget* parent)
{
    auto* view = new QTableView(parent);
    view->setModel(model);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionMode(QAbstractItemView::NoSelection);
    view->verticalHeader()->hide();
    view->verticalHeader()->setDefaultSectionSize(22); // ten digits fit without scrolling
    view->horizontalHeader()->setSectionsClickable(true);
    return view;
}

QGroupBox* frame(const QString& caption, QWidget* grid, QWidget* parent)
{
    auto* box = new QGroupBox(caption, parent);
    auto* layout = new QVBoxLayout(box);
    layout->addWidget(grid);
    return box;
}

} // namespace

RankingPanel::RankingPanel(QWidget* parent)
    : QWidget(parent), m_rankingModel(new RankingTableModel(this)),
      m_distributionModel(new DistributionTableModel(this)), m_rankingView(makeGrid(m_rankingModel, this)),
      m_distributionView(makeGrid(m_distributionModel, this))
{
    m_rankingView->setObjectName(QStringLiteral("rankingGrid"));
    m_distributionView->setObjectName(QStringLiteral("distributionGrid"));
    GridColumns::apply(m_rankingView, &RankingTableModel::columnWidthPixels);
    m_rankingView->horizontalHeader()->setStretchLastSection(true);
    // The numbers column takes whatever width is left.
    GridColumns::apply(m_distributionView,
                       [](int c) { return c < 2 ? DistributionTableModel::columnWidthPixels(c) : 0; });
    m_distributionView->horizontalHeader()->setStretchLastSection(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(frame(QStringLiteral("该类公式计算综合结果"), m_rankingView, this), 3);
    layout->addWidget(frame(QStringLiteral("公式总计算结果情况统计"), m_distributionView, this), 2);

    connect(m_rankingView, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { resortByColumn(index.column()); });
    connect(m_rankingView->horizontalHeader(), &QHeaderView::sectionDoubleClicked, this,
            &RankingPanel::resortByColumn);
}

void RankingPanel::setRanking(RankingBuilder ranking)
{
    m_distributionModel->setRows(ranking.distribution());
    m_rankingModel->setRanking(std::move(ranking));
    // Rows, numbers and vote counts: the columns before the last (保留/滤杀, 号码 lists).
    std::vector<int> numbers(size_t(std::max(0, m_rankingModel->columnCount() - 1)));
    std::iota(numbers.begin(), numbers.end(), 0);
    GridColumns::fitNumbers(m_rankingView, numbers);
    GridColumns::fitNumbers(m_distributionView, {0, 1});
}

const RankingBuilder& RankingPanel::ranking() const
{
    return m_rankingModel->ranking();
}

void RankingPanel::resortByColumn(int column)
{
    m_rankingModel->resortByColumn(column);
}
