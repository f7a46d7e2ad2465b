#include "killkeep/ReplayWindow.h"

#include "formula/FormulaTableStore.h"
#include "history/HistoryColumns.h"
#include "history/Workspace.h"
#include "killkeep/ReplayTableModel.h"
#include "ui/BackgroundTask.h"
#include "ui/GridColumns.h"
#include "ui/GridExport.h"
#include "ui/MessageBoxes.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString kTitle = QStringLiteral("计算方法回测");

} // namespace

ReplayWindow::ReplayWindow(Workspace* workspace, QWidget* parent)
    : QWidget(parent, Qt::Window), m_workspace(workspace), m_model(new ReplayTableModel(this)),
      m_description(new QLabel), m_drawsBox(new QSpinBox), m_rangeLabel(new QLabel),
      m_startButton(new QPushButton(QStringLiteral("开始回测(&S)"))),
      m_exportButton(new QPushButton(QStringLiteral("导出列表(&E)"))), m_view(new QTableView),
      m_summary(new QLabel)
{
    setObjectName(QStringLiteral("frmJshc"));
    setWindowTitle(kTitle);
    resize(900, 620);
    m_description->setObjectName(QStringLiteral("lblRequest"));
    m_description->setWordWrap(true);
    m_drawsBox->setObjectName(QStringLiteral("spnDraws"));
    m_drawsBox->setToolTip(
        QStringLiteral("回测最新的多少期：每一期都只用它之前的号码计算，再和开奖号码比较"));
    m_startButton->setObjectName(QStringLiteral("cmdStart"));
    m_exportButton->setObjectName(QStringLiteral("exportButton"));
    m_summary->setObjectName(QStringLiteral("lblSummary"));
    m_summary->setWordWrap(true);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* controls = new QHBoxLayout;
    controls->addWidget(new QLabel(QStringLiteral("回测期数")));
    controls->addWidget(m_drawsBox);
    controls->addWidget(m_rangeLabel);
    controls->addStretch();
    controls->addWidget(m_startButton);

    m_view->setObjectName(QStringLiteral("grdJshc"));
    m_view->setModel(m_model);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->verticalHeader()->hide();
    m_view->verticalHeader()->setDefaultSectionSize(22);
    GridColumns::apply(m_view,
                       [](int column) { return column == ReplayTableModel::KilledColumn ? 330 : 90; });
    m_view->horizontalHeader()->setStretchLastSection(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_exportButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_description);
    layout->addLayout(controls);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_summary);
    layout->addLayout(buttons);

    connect(m_startButton, &QPushButton::clicked, this, &ReplayWindow::start);
    connect(m_exportButton, &QPushButton::clicked, this, &ReplayWindow::exportList);
}

QString ReplayWindow::describe(const CalculationRequest& request)
{
    QString text =
        QStringLiteral("%1%2码公式，")
            .arg(request.kind.kindText(), request.kill ? QStringLiteral("杀") : QStringLiteral("生"));
    if (!request.bestMethod)
        return text + QStringLiteral("计算选中公式");
    QStringList keys;
    for (const FormulaOrderKey& k : request.keys)
        keys << FormulaOrdering::caption(k.figure);
    return text + QStringLiteral("最优公式法（%1，限额 %2）")
                      .arg(keys.join(QStringLiteral("、")))
                      .arg(request.limit);
}

void ReplayWindow::setRequest(const CalculationRequest& request)
{
    m_request = request;
    m_description->setText(
        describe(request) +
        QStringLiteral("。每一期都只用它之前的号码，按“验证历史结果”的方法计算，再与开奖号码比较。"));
    const int most = CalculationReplay::maxDraws(int(m_workspace->history().draws().size()),
                                                 request.backtest.lookBackDraws);
    const int value = m_drawsBox->value();
    m_drawsBox->setRange(std::min(1, most), std::max(most, 0));
    m_drawsBox->setValue(m_result.draws.empty() ? std::min(CalculationReplay::kDefaultDraws, most)
                                                : std::min(value, most));
    m_rangeLabel->setText(most > 0 ? QStringLiteral("（1~%1期）").arg(most)
                                   : QStringLiteral("（历史号码不够）"));
    m_startButton->setEnabled(most > 0);
}

bool ReplayWindow::start()
{
    // A copy of the draws: the replay runs on a worker thread.
    const std::vector<DrawRecord> draws = m_workspace->history().draws();
    const int count = m_drawsBox->value();
    QString error;
    if (!CalculationReplay::checkDraws(count, int(draws.size()), m_request.backtest.lookBackDraws, &error)) {
        MessageBoxes::warning(this, kTitle, error);
        return false;
    }
    std::vector<CalculationTable> tables;
    if (!CalculationRun::loadTables(FormulaTableStore(&m_workspace->database()), m_request, &tables,
                                    &error)) {
        MessageBoxes::warning(this, kTitle, error);
        return false;
    }
    if (std::all_of(tables.begin(), tables.end(),
                    [](const CalculationTable& t) { return t.formulas.empty(); })) {
        MessageBoxes::warning(this, kTitle,
                              QStringLiteral("%1没有%2码公式，无法回测。")
                                  .arg(m_request.kind.kindText(),
                                       m_request.kill ? QStringLiteral("杀") : QStringLiteral("生")));
        return false;
    }
    const HistoryColumns history(draws);
    ReplayResult result;
    const bool finished =
        BackgroundTask::run(this, QStringLiteral("正在回测计算方法，请稍候..."), [&](TaskProgress& p) {
            p.total = count;
            result = CalculationReplay::run(
                tables, draws, history, count, m_request, [&p](int done, int) { p.done = done; },
                &p.cancelled);
        });
    m_result = std::move(result);
    showResult();
    emit replayed();
    return finished && !m_result.cancelled;
}

void ReplayWindow::showResult()
{
    m_model->setDraws(m_result.draws);
    if (!m_result.draws.empty())
        m_view->scrollToBottom();
    QString text = m_result.summary.absentText() + QLatin1Char('\n') + m_result.summary.levelsText();
    if (m_result.cancelled)
        text.prepend(QStringLiteral("已取消，只回测了最早的 %1 期。\n").arg(m_result.draws.size()));
    m_summary->setText(text);
}

void ReplayWindow::exportList()
{
    if (m_model->rowCount() == 0) {
        MessageBoxes::information(this, kTitle, QStringLiteral("还没有回测结果，请先开始回测。"));
        return;
    }
    GridExport::exportAndOpen(this, *m_model,
                              QDir(m_workspace->dataFolder()).filePath(QStringLiteral("JSHC.xlsx")));
}
