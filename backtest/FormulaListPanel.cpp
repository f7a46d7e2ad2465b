#include "backtest/FormulaListPanel.h"

#include "backtest/AnalysisSession.h"
#include "backtest/BacktestRunner.h"
#include "backtest/CalculationStepsWindow.h"
#include "backtest/ChanceSummary.h"
#include "backtest/EquivalentFormulas.h"
#include "backtest/FormulaExportActions.h"
#include "backtest/FormulaFilterWindow.h"
#include "backtest/FormulaGridColumns.h"
#include "backtest/FormulaGridModel.h"
#include "backtest/PastRankingTask.h"
#include "backtest/PositionHistoryWindow.h"
#include "formula/FormulaDeletion.h"
#include "formula/FormulaTableStore.h"
#include "formula/FormulaTextActions.h"
#include "history/DrawFairness.h"
#include "history/Workspace.h"
#include "ui/BackgroundTask.h"
#include "ui/BusyCursor.h"
#include "ui/DatabaseGuard.h"
#include "ui/GridExport.h"
#include "ui/MessageBoxes.h"
#include "ui/NamedButton.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabBar>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

FormulaListPanel::FormulaListPanel(AnalysisSession* session, const DatabaseGuard* database, QWidget* parent)
    : QWidget(parent), m_session(session), m_workspace(&session->workspace()), m_database(database),
      m_model(new FormulaGridModel(this)),
      m_store(std::make_unique<FormulaTableStore>(&m_workspace->database()))
{
    buildMenu();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_viewTabs = new QTabBar;
    m_viewTabs->setObjectName("TabStrip1");
    m_viewTabs->addTab(QStringLiteral("公式中文显示"));
    m_viewTabs->addTab(QStringLiteral("公式英文显示"));
    connect(m_viewTabs, &QTabBar::tabBarClicked, this, [this](int tab) {
        if (tab < 0)
            return;
        // Each click on the strip switches the view and lists the formulas again, all selected.
        m_model->setChineseMode(!m_model->chineseMode());
        m_model->selectAll();
        m_model->redrawResults();
    });
    layout->addWidget(m_viewTabs);
    m_summary = new QLabel;
    m_summary->setObjectName("lblChanceSummary");
    m_summary->setWordWrap(true);
    m_summary->setToolTip(QStringLiteral("p<0.05 的公式比纯属运气时多得多，才说明这一类公式里有不靠运气的；"
                                         "详见使用说明“正确率与运气”"));
    layout->addWidget(m_summary);

    m_view = new QTableView;
    m_view->setObjectName("MSFlexGrid2");
    m_view->setModel(m_model);
    m_view->setToolTip(
        QStringLiteral("双击参数列可以以该参数次序排序，单击鼠标右键可以打开此表功能扩展菜单"));
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setSelectionMode(QAbstractItemView::NoSelection);
    m_view->verticalHeader()->hide();
    m_view->verticalHeader()->setDefaultSectionSize(22);
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    m_columns = new FormulaGridColumns(m_view);
    connect(m_view, &QTableView::clicked, this, &FormulaListPanel::onGridClicked);
    connect(m_view, &QTableView::doubleClicked, this,
            [this](const QModelIndex& i) { sortByColumn(i.column()); });
    connect(m_view->horizontalHeader(), &QHeaderView::sectionDoubleClicked, this,
            &FormulaListPanel::sortByColumn);
    connect(m_view, &QTableView::customContextMenuRequested, this, [this](const QPoint& p) {
        rememberFormulaAt(m_view->indexAt(p).row());
        chooseChartFormula(m_view->indexAt(p).row());
        m_menu->popup(m_view->viewport()->mapToGlobal(p));
    });
    layout->addWidget(m_view, 1);

    auto* selection = new QHBoxLayout;
    const QString tip = QStringLiteral("执行公式列表中序号为蓝色的公式");
    QPushButton* selectAll = namedButton("Command8", QStringLiteral("选中所有公式"), tip);
    connect(selectAll, &QPushButton::clicked, this, [this] { m_model->selectAll(); });
    QPushButton* invert = namedButton("Command5", QStringLiteral("反选所有公式"), tip);
    connect(invert, &QPushButton::clicked, this, [this] { m_model->invertSelection(); });
    selection->addWidget(selectAll);
    selection->addWidget(invert);
    m_input = new QLineEdit;
    m_input->setObjectName("Text2");
    m_input->setPlaceholderText(QStringLiteral("例如：[个位单选杀]百位码+和数+3"));
    selection->addWidget(m_input, 1);
    QPushButton* add = namedButton("Command1", QStringLiteral("添加所输公式(&A)"));
    connect(add, &QPushButton::clicked, this, &FormulaListPanel::addTypedFormula);
    connect(m_input, &QLineEdit::returnPressed, this, &FormulaListPanel::addTypedFormula);
    selection->addWidget(add);
    layout->addLayout(selection);
    m_chanceShown = m_session->options().showChance;
    setChanceComparisonShown(m_chanceShown);

    // Whoever changed the formulas told the session: the list shows them afresh, all selected.
    connect(m_session, &AnalysisSession::formulasChanged, this, [this] { showFormulas(); });
    connect(m_session, &AnalysisSession::storeReplaced, this, [this] { showFormulas(); });
    connect(m_session, &AnalysisSession::optionsChanged, this, [this](const AnalysisOptions& previous) {
        if (m_session->options().showChance != previous.showChance)
            setChanceComparisonShown(m_session->options().showChance);
    });
}

FormulaListPanel::~FormulaListPanel() = default;

void FormulaListPanel::buildMenu()
{
    m_menu = new QMenu(QStringLiteral("管理"), this);
    QAction* exportFormulas = m_menu->addAction(QStringLiteral("导出到EXCEL表格(&E)"));
    exportFormulas->setObjectName("mnuGsdc");
    connect(exportFormulas, &QAction::triggered, this, [this] {
        GridExport::exportColumnsAndOpen(
            this, *m_model, m_columns->exportColumns(),
            QDir(m_workspace->dataFolder()).filePath(QStringLiteral("gongshi.xlsx")));
    });
    QAction* steps = m_menu->addAction(QStringLiteral("查询该公式历史计算式(&U)"));
    steps->setObjectName("mnuGsbz");
    connect(steps, &QAction::triggered, this, &FormulaListPanel::showCalculationSteps);
    QAction* trend = m_menu->addAction(QStringLiteral("查看该公式走势图"));
    trend->setObjectName("mnuGszst");
    connect(trend, &QAction::triggered, this, [this] {
        // The formula under the mouse, found again by its idx as the other 管理 entries do.
        const int row = rememberedRow();
        if (row >= 0)
            emit trendChartRequested(row);
    });
    const std::pair<const char*, const char*> deletions[] = {{"mnuDelGS", "删除该公式(&D)"},
                                                             {"mnuDelSelected", "删除选中所有公式(&C)"},
                                                             {"mnuDelLastGS", "删除最后公式(&E)"},
                                                             {"mnuDelUnselected", "删除未选中公式(&X)"}};
    const DeleteMode modes[] = {DeleteMode::UnderMouse, DeleteMode::Selected, DeleteMode::Last,
                                DeleteMode::Unselected};
    for (int i = 0; i < 4; ++i) {
        QAction* a = m_menu->addAction(QString::fromUtf8(deletions[i].second));
        a->setObjectName(QString::fromLatin1(deletions[i].first));
        connect(a, &QAction::triggered, this, [this, mode = modes[i]] { deleteFormulas(mode); });
    }
    QAction* equivalents = m_menu->addAction(QStringLiteral("删除等价公式(&Q)"));
    equivalents->setObjectName("mnuDelDjgs");
    connect(equivalents, &QAction::triggered, this, &FormulaListPanel::deleteEquivalentFormulas);
}

int FormulaListPanel::chartRow() const
{
    return m_chartFormula ? rowOf(*m_chartFormula) : -1;
}

void FormulaListPanel::chooseChartFormula(int row)
{
    if (row < 0 || row >= m_model->rowCount())
        return;
    const FormulaRecord& f = m_model->formulaAt(row);
    m_chartFormula = RememberedFormula{m_model->kind(), m_shownKill, f.idx, f.gongshi, f.gongshiCN};
    emit chartFormulaChosen(row);
}

int FormulaListPanel::rowOf(const RememberedFormula& r) const
{
    if (r.kind != m_model->kind() || r.kill != m_shownKill)
        return -1;
    for (int row = 0; row < m_model->rowCount(); ++row) {
        const FormulaRecord& f = m_model->formulaAt(row);
        if (f.idx == r.idx && f.gongshi == r.gongshi && f.gongshiCN == r.gongshiCN)
            return row;
    }
    return -1;
}

void FormulaListPanel::setChanceComparisonShown(bool shown)
{
    m_chanceShown = shown;
    for (int c : {FormulaGridModel::ChanceRateColumn, FormulaGridModel::ExcessColumn,
                  FormulaGridModel::PValueColumn, FormulaGridModel::QValueColumn})
        m_view->setColumnHidden(c, !shown);
    // The hold-out columns follow the last back-test: shown while it held draws out.
    for (int c : {FormulaGridModel::HoldOutRateColumn, FormulaGridModel::HoldOutPColumn})
        m_view->setColumnHidden(c, m_model->heldOut() == 0);
    m_summary->setVisible(shown && !m_summary->text().isEmpty());
    m_columns->apply();
}

void FormulaListPanel::showFormulas()
{
    if (!m_database->isOpen())
        return;
    std::vector<FormulaRecord> formulas;
    QString error;
    if (!m_store->loadSubset(m_session->kind(), m_session->kill(), &formulas, &error))
        MessageBoxes::error(this, error);
    m_model->setWeightedRate(m_session->options().weighted);
    m_model->setFormulas(m_session->kind(), std::move(formulas));
    m_shownKill = m_session->kill();
    sizeColumns();
}

void FormulaListPanel::sizeColumns()
{
    m_view->setColumnHidden(FormulaGridModel::IdxColumn, true);
    setChanceComparisonShown(m_chanceShown); // also sizes the columns
}

void FormulaListPanel::scrollToLastRow()
{
    if (m_model->rowCount() > 0)
        m_view->scrollTo(m_model->index(m_model->rowCount() - 1, 0), QAbstractItemView::PositionAtTop);
}

void FormulaListPanel::scrollToLastRowWhenLong()
{
    if (m_model->scrollsToLastRow())
        scrollToLastRow();
}

FormulaListPanel::BacktestOutcome FormulaListPanel::runBacktest()
{
    // Another program that changes the table while the back-test runs makes its figures belong to
    // a list that is gone: the table is read and back-tested again.
    constexpr int kAttempts = 3;
    for (int attempt = 1;; ++attempt) {
        const std::optional<BacktestOutcome> outcome = runBacktestOnce(attempt == kAttempts);
        if (outcome)
            return *outcome;
    }
}

std::optional<FormulaListPanel::BacktestOutcome> FormulaListPanel::runBacktestOnce(bool lastAttempt)
{
    if (!m_database->isOpen())
        return BacktestOutcome::NotRun;
    SubsetBacktest run;
    QString error;
    if (!BacktestRunner::load(*m_store, m_session->kind(), m_session->kill(), &run, &error)) {
        MessageBoxes::error(this, error);
        return BacktestOutcome::NotRun;
    }
    const BacktestOptions options = m_session->options().backtest();
    // The background work keeps the copy it started on, whatever the session moves on to.
    const std::shared_ptr<const HistoryColumns> history = m_session->columns();
    const bool finished =
        BackgroundTask::run(this, QStringLiteral("正在验算公式，请稍候..."), [&](TaskProgress& p) {
            BacktestRunner::evaluate(
                *history, options, &run,
                [&p](int done, int total) {
                    p.total = total;
                    p.done = done;
                },
                &p.cancelled);
            // The 等价 column: equivalence is judged on every draw, not only the window's.
            if (!run.result.cancelled)
                BacktestRunner::findEquivalents(*history, &run, &p.cancelled);
        });
    if (!finished || run.result.cancelled)
        return BacktestOutcome::Cancelled;
    if (!BacktestRunner::arrGs(*m_store, &run, &error)) {
        if (m_store->changedElsewhere() && !lastAttempt)
            return std::nullopt;
        MessageBoxes::error(this, error);
    } else if (!run.statisticsStored && !m_toldNotStored) {
        m_toldNotStored = true;
        MessageBoxes::information(this, QStringLiteral("公式验算"), BacktestRunner::notStoredNote());
    }
    m_model->setWeightedRate(options.weighted);
    m_model->refillFormulas(run.formulas);
    m_model->setResults(run.result, run.firstEquivalent);
    const DrawFairness fairness = DrawFairness::of(*history, DrawModel::of(run.result.order));
    m_summary->setText(ChanceSummary::of(run.result.outcomes, &fairness).text());
    m_shownKill = run.kill;
    sizeColumns(); // the figures' widths; also shows or hides the chance columns
    scrollToLastRowWhenLong();
    announceShownList();
    return BacktestOutcome::Done;
}

void FormulaListPanel::announceShownList()
{
    std::vector<AnalysisSession::ShownFormula> shown;
    shown.reserve(std::size_t(m_model->rowCount()));
    for (int r = 0; r < m_model->rowCount(); ++r) {
        const FormulaRecord& f = m_model->formulaAt(r);
        shown.push_back({f.gongshi, f.gongshiCN});
    }
    m_session->listWasShown(m_model->kind(), m_shownKill, std::move(shown));
}

void FormulaListPanel::onGridClicked(const QModelIndex& index)
{
    if (!index.isValid())
        return;
    // A click on the formula text selects or unselects it; a click elsewhere in the row chooses the
    // formula for the trend chart and leaves the selection as it is.
    if (index.column() == FormulaGridModel::FormulaColumn) {
        m_model->toggleSelected(index.row());
        return;
    }
    if (index.column() == FormulaGridModel::NextValueColumn)
        m_model->highlightSameNextValue(index.row());
    chooseChartFormula(index.row());
}

void FormulaListPanel::sortByColumn(int column)
{
    const bool chanceKey = column == FormulaGridModel::ExcessColumn ||
                           column == FormulaGridModel::PValueColumn ||
                           column == FormulaGridModel::QValueColumn;
    if (!chanceKey && (column < FormulaGridModel::RateColumn || column > FormulaGridModel::FinalHitColumn)) {
        // Columns that are no sort key (0-4 among them) keep the order shown; the rows are
        // redrawn all the same.
        m_model->redrawResults();
        scrollToLastRowWhenLong();
        return;
    }
    const std::vector<int> order = m_model->rowsSortedBy(column);
    std::vector<FormulaRecord> sorted;
    sorted.reserve(order.size());
    for (int row : order)
        sorted.push_back(m_model->formulaAt(row));
    m_model->refillFormulas(std::move(sorted));
    m_model->redrawResults();
    scrollToLastRowWhenLong();
    announceShownList();
}

void FormulaListPanel::filterFormulas()
{
    if (!m_filterWindow)
        m_filterWindow = new FormulaFilterWindow(this);
    std::vector<FormulaFigures> figures;
    for (int r = 0; r < m_model->rowCount(); ++r)
        figures.push_back(m_model->figuresAt(r));
    std::vector<bool> flags = m_model->selectedFlags();
    if (m_filterWindow->run(figures, &flags))
        m_model->setSelectedFlags(flags);
}

void FormulaListPanel::buildPastRanking()
{
    if (!m_database->require(this))
        return;
    // The keep formulas' "covered" rule depends on the order they vote in: idx order, whatever
    // order the grid shows (as the command line's pastrank walks them).
    std::vector<FormulaRecord> formulas;
    std::vector<bool> selected;
    m_model->inIdxOrder(&formulas, &selected);
    std::vector<PastRankingDraw> ranking;
    if (!PastRankingTask::run(this, m_workspace->history().draws(), *m_session->columns(), formulas, selected,
                              m_shownKill, &ranking))
        return;
    if (!m_positionHistoryWindow)
        m_positionHistoryWindow =
            new PositionHistoryWindow(std::move(ranking), m_session->kind().position,
                                      m_session->kind().single, m_workspace->dataFolder(), this);
    else
        m_positionHistoryWindow->setRanking(std::move(ranking), m_session->kind().position,
                                            m_session->kind().single);
    m_positionHistoryWindow->show();
    m_positionHistoryWindow->raise();
}

void FormulaListPanel::rememberFormulaAt(int row)
{
    if (row < 0 || row >= m_model->rowCount()) {
        m_remembered.reset(); // no formula under the mouse
        return;
    }
    const FormulaRecord& f = m_model->formulaAt(row);
    m_remembered = RememberedFormula{m_model->kind(), m_shownKill, f.idx, f.gongshi, f.gongshiCN};
}

int FormulaListPanel::rememberedRow()
{
    const QString title = QStringLiteral("管理");
    if (!m_remembered) {
        MessageBoxes::information(
            this, title,
            QStringLiteral("没有右键所点的公式，什么也没有做。请先在公式列表中用鼠标右键"
                           "点击要操作的公式，再选择菜单项。"));
        return -1;
    }
    const RememberedFormula& r = *m_remembered;
    if (const int row = rowOf(r); row >= 0)
        return row;
    MessageBoxes::information(this, title,
                              QStringLiteral("右键所点的公式“%1”已不在当前的公式列表中，什么也没有做。"
                                             "请在列表中重新用鼠标右键点击要操作的公式。")
                                  .arg(r.gongshiCN));
    return -1;
}

void FormulaListPanel::showCalculationSteps()
{
    const int row = rememberedRow();
    if (row < 0)
        return;
    if (!m_stepsWindow)
        m_stepsWindow = new CalculationStepsWindow(m_workspace->dataFolder(), this);
    const FormulaRecord& f = m_model->formulaAt(row);
    m_stepsWindow->setFormula(f.gongshi, f.gongshiCN, m_workspace->history().draws(), *m_session->columns());
    m_stepsWindow->show();
    m_stepsWindow->raise();
}

void FormulaListPanel::showChineseForms()
{
    if (m_model->chineseMode())
        return;
    m_viewTabs->setCurrentIndex(0);
    m_model->setChineseMode(true);
}

void FormulaListPanel::exportAllKindsText()
{
    if (!m_database->require(this))
        return;
    showChineseForms();
    FormulaExportActions::exportAllKinds(this, *m_workspace, m_session->kill());
}

void FormulaListPanel::exportCurrentKindText()
{
    if (!m_database->require(this))
        return;
    showChineseForms();
    std::vector<FormulaTextFile::Entry> rows;
    for (int r = 0; r < m_model->rowCount(); ++r) {
        const FormulaOutcome* o = m_model->outcomeAt(r);
        rows.push_back({m_model->formulaAt(r).gongshiCN, o ? o->stats.finalHitRun : 0});
    }
    FormulaExportActions::exportCurrentKind(this, *m_workspace, rows, m_session->kind(), m_session->kill());
}

void FormulaListPanel::clearInput()
{
    m_input->clear();
}

void FormulaListPanel::addTypedFormula()
{
    if (!m_database->require(this))
        return;
    const TypedEntryResult r = FormulaTextActions::addTyped(this, *m_workspace, m_input->text(),
                                                            m_session->kind(), m_session->kill());
    if (!r.added) {
        m_input->setFocus();
        return;
    }
    m_input->clear();
    m_session->formulasWereAdded(r.kind, r.kill);
}

void FormulaListPanel::deleteFormulas(DeleteMode mode)
{
    if (!m_database->require(this))
        return;
    const int rows = m_model->rowCount();
    std::vector<FormulaRecord> doomed;
    int doomedIdx = 0;
    if (mode == DeleteMode::UnderMouse || mode == DeleteMode::Last) {
        const int row = rememberedRow();
        if (row < 0)
            return;
        doomed.push_back(m_model->formulaAt(row));
        doomedIdx = m_model->idxAt(row);
    } else {
        const bool selected = mode == DeleteMode::Selected;
        const QString question = selected
                                     ? QStringLiteral("确实要删除选中的所有公式(公式列表序号蓝色表示)吗?")
                                     : QStringLiteral("确实要删除选未中的所有公式(公式列表序号灰色表示)吗?");
        if (!MessageBoxes::question(this, QStringLiteral("删除公式"), question))
            return;
        for (int r = 0; r < rows; ++r)
            if (m_model->isSelected(r) == selected)
                doomed.push_back(m_model->formulaAt(r));
    }
    // The reload lists the formulas in idx order, so the flags are carried in that order, whatever
    // order the grid shows now (compaction may renumber the rows' identities, so they cannot carry
    // them). Deleting the formula under the mouse drops its flag, so every remaining formula keeps
    // its own; "删除最后公式" leaves the flags where they stand in the list and drops the last.
    std::vector<std::pair<int, bool>> flagsByIdx;
    flagsByIdx.reserve(size_t(rows));
    for (int r = 0; r < rows; ++r)
        flagsByIdx.emplace_back(m_model->idxAt(r), m_model->isSelected(r));
    std::sort(flagsByIdx.begin(), flagsByIdx.end());
    if (mode == DeleteMode::UnderMouse)
        std::erase_if(flagsByIdx,
                      [doomedIdx](const std::pair<int, bool>& f) { return f.first == doomedIdx; });
    else if (mode == DeleteMode::Last && !flagsByIdx.empty())
        flagsByIdx.pop_back();
    QString error;
    BusyCursor busy;
    const QString operation = mode == DeleteMode::UnderMouse ? QStringLiteral("删除该公式")
                              : mode == DeleteMode::Selected ? QStringLiteral("删除选中所有公式")
                              : mode == DeleteMode::Last     ? QStringLiteral("删除最后公式")
                                                             : QStringLiteral("删除未选中公式");
    const int deleted =
        m_workspace->backupBefore(operation, &error)
            ? FormulaDeletion::deleteRows(&m_workspace->database(), m_session->kind(), doomed, &error)
            : -1;
    if (deleted < 0) {
        // Another program changed the table: the list shows it as it is now.
        if (deleted == FormulaDeletion::kChangedElsewhere)
            showFormulas();
        MessageBoxes::error(this, error);
        return;
    }
    compactAndAnnounce();
    if (mode == DeleteMode::UnderMouse || mode == DeleteMode::Last) {
        std::vector<bool> flags;
        for (const auto& f : flagsByIdx)
            flags.push_back(f.second);
        flags.resize(size_t(m_model->rowCount()), true);
        m_model->setSelectedFlags(flags);
    }
    m_remembered.reset();
}

void FormulaListPanel::compactAndAnnounce()
{
    QString error;
    if (!m_workspace->compact(&error))
        MessageBoxes::error(this, error);
    m_session->formulasWereChanged(m_session->kind());
}

void FormulaListPanel::deleteEquivalentFormulas()
{
    if (!m_database->require(this))
        return;
    // It deletes from the list shown: when the sense or kind chosen differs from the list's, the
    // list is reloaded for them first, as 计算公式 does, and the question names them.
    if (m_shownKill != m_session->kill() || m_model->kind() != m_session->kind())
        emit currentListWanted();
    // The database is read here, on its own thread; only the comparison runs in the background.
    SubsetBacktest subset;
    QString error;
    if (!BacktestRunner::load(*m_store, m_session->kind(), m_session->kill(), &subset, &error)) {
        MessageBoxes::error(this, error);
        return;
    }
    bool found = false;
    const std::shared_ptr<const HistoryColumns> history = m_session->columns();
    const bool finished =
        BackgroundTask::run(this, QStringLiteral("正在查找等价公式，请稍候..."), [&](TaskProgress& p) {
            found = BacktestRunner::findEquivalents(*history, &subset, &p.cancelled);
        });
    if (!finished || !found)
        return;
    const std::vector<EquivalentGroup> groups =
        EquivalentFormulas::groups(subset.formulas, subset.firstEquivalent);
    const int count = EquivalentFormulas::equivalentCount(groups);
    if (count == 0) {
        MessageBoxes::information(this, EquivalentFormulas::title(), QStringLiteral("没有等价公式。"));
        return;
    }
    const QString question =
        QStringLiteral("将删除%1%2码公式中的 %3 条等价公式（每组保留序号最小的一条），是否继续？")
            .arg(m_session->kind().kindText(),
                 m_session->kill() ? QStringLiteral("杀") : QStringLiteral("生"))
            .arg(count);
    if (!MessageBoxes::question(this, EquivalentFormulas::title(), question))
        return;
    BusyCursor busy;
    const int deleted = m_workspace->backupBefore(EquivalentFormulas::title(), &error)
                            ? EquivalentFormulas::deleteEquivalents(&m_workspace->database(),
                                                                    m_session->kind(), groups, &error)
                            : -1;
    if (deleted < 0) {
        if (deleted == FormulaDeletion::kChangedElsewhere)
            showFormulas();
        MessageBoxes::error(this, error);
        return;
    }
    // As after the other deletions: compact and tell the session, upon which the list shows the
    // rest afresh (all selected) and the window refreshes the history grid and back-tests.
    compactAndAnnounce();
    m_remembered.reset();
}
