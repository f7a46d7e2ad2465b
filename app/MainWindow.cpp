#include "app/MainWindow.h"

#include "app/HelpLinks.h"
#include "app/OnlineSourcesDialog.h"
#include "backtest/DrawOrderDialog.h"
#include "backtest/FormulaGridModel.h"
#include "backtest/FormulaListPanel.h"
#include "backtest/HoldOutDialog.h"
#include "charts/TrendChartWindow.h"
#include "formula/FormulaTextActions.h"
#include "formula/FormulaUpdateDialog.h"
#include "history/BackupDialog.h"
#include "history/HistoryPanel.h"
#include "history/LotteryTable.h"
#include "history/ParameterReferenceWindow.h"
#include "history/ResultsPageAddress.h"
#include "history/SearchDaysDialog.h"
#include "history/Workspace.h"
#include "killkeep/KillKeepCalculation.h"
#include "killkeep/ReplayWindow.h"
#include "search/SearchWindow.h"
#include "ui/BusyCursor.h"
#include "ui/MessageBoxes.h"
#include "ui/NamedButton.h"

#include <QActionGroup>
#include <QDir>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

MainWindow::MainWindow(Workspace* workspace, const QString& startupError, QWidget* parent)
    : QMainWindow(parent), m_workspace(workspace), m_database(startupError),
      m_formulaPanel(new FormulaListPanel(workspace, &m_database, &m_kind, &m_kill, &m_columns, this)),
      m_historyPanel(new HistoryPanel(workspace, &m_database, this)),
      m_calculation(new KillKeepCalculation(workspace, m_formulaPanel->model(), this))
{
    setObjectName("frmMain");
    setWindowTitle(QStringLiteral("Zorvane"));
    connectPanels();
    buildMenus();
    buildControls();
    startUp();
    resize(1280, 760);
}

MainWindow::~MainWindow() = default;

HistoryGridModel* MainWindow::historyModel() const
{
    return m_historyPanel->model();
}

FormulaGridModel* MainWindow::formulaModel() const
{
    return m_formulaPanel->model();
}

ParameterReferenceWindow* MainWindow::referenceWindow() const
{
    return m_referenceWindow;
}

RankingWindow* MainWindow::rankingWindow() const
{
    return m_calculation->rankingWindow();
}

AllPositionsRankingWindow* MainWindow::allPositionsWindow() const
{
    return m_calculation->allPositionsWindow();
}

FormulaSortWindow* MainWindow::sortWindow() const
{
    return m_calculation->sortWindow();
}

FormulaFilterWindow* MainWindow::filterWindow() const
{
    return m_formulaPanel->filterWindow();
}

PositionHistoryWindow* MainWindow::positionHistoryWindow() const
{
    return m_formulaPanel->positionHistoryWindow();
}

CalculationStepsWindow* MainWindow::stepsWindow() const
{
    return m_formulaPanel->stepsWindow();
}

TrendChartWindow* MainWindow::trendWindow() const
{
    return m_trendWindow;
}

void MainWindow::connectPanels()
{
    connect(m_historyPanel, &HistoryPanel::historyChanged, this, [this] {
        refreshChain(false);
        showNextIssue();
    });
    connect(m_historyPanel, &HistoryPanel::historyCut, this, [this] {
        refreshChain(true);
        showNextIssue();
    });
    connect(m_historyPanel, &HistoryPanel::historyCleared, this, [this] {
        m_formulaPanel->showFormulas();
        fillHistoryGrid();
    });
    connect(m_formulaPanel, &FormulaListPanel::typedFormulaAdded, this,
            [this](const FormulaKind& kind, bool kill) {
                selectKind(kind, kill);
                refreshChain(true);
            });
    connect(m_formulaPanel, &FormulaListPanel::formulasDeleted, this, [this] { refreshChain(false); });
    connect(m_formulaPanel, &FormulaListPanel::trendChartRequested, this,
            [this](int row) { openTrendWindow(row, true); });
    connect(m_formulaPanel, &FormulaListPanel::chartFormulaChosen, this, [this](int row) {
        if (m_trendWindow && m_trendWindow->isVisible())
            showTrendFormula(row);
    });
    connect(m_formulaPanel, &FormulaListPanel::currentListWanted, this, &MainWindow::showListForCalculation);
    // 走势图's 计算回测 draws each finished replay, and picks up the last one when it opens.
    connect(m_calculation, &KillKeepCalculation::replayed, this, [this](const ReplayResult& result) {
        if (m_trendWindow)
            m_trendWindow->setReplay(result);
    });
    // The history grid's verification columns and workbook headers come from the formula list.
    m_historyPanel->setVerificationSource(
        {[this] { return m_formulaPanel->model()->rowCount(); },
         [this](int scrollValue) { return m_formulaPanel->verificationBlock(scrollValue); }});
    m_historyPanel->setFormulaNames([this](int number) { return m_formulaPanel->formulaName(number); });
}

void MainWindow::buildMenus()
{
    buildSettingsMenu();
    // 管理 (also the formula grid's right button) ends with the replay of the calculation, which
    // belongs to the calculation rather than to the list.
    QAction* replay = m_formulaPanel->menu()->addAction(QStringLiteral("计算方法回测"));
    replay->setObjectName("mnuJshc");
    connect(replay, &QAction::triggered, this, &MainWindow::openReplay);
    menuBar()->addMenu(m_formulaPanel->menu());
    menuBar()->addMenu(m_historyPanel->menu()); // 历史管理 (also the history grid's right button)
}

void MainWindow::buildSettingsMenu()
{
    m_settingsMenu = menuBar()->addMenu(QStringLiteral("设置"));
    auto* displayGroup = new QActionGroup(this);
    m_displayActions[0] = m_settingsMenu->addAction(QStringLiteral("历史列表公式验算结果显示在下期(&N)"));
    m_displayActions[1] = m_settingsMenu->addAction(QStringLiteral("历史列表公式验算结果显示在当期(&T)"));
    for (int i = 0; i < 2; ++i) {
        m_displayActions[i]->setObjectName(QStringLiteral("mnuYsXs%1").arg(i));
        m_displayActions[i]->setCheckable(true);
        displayGroup->addAction(m_displayActions[i]);
        connect(m_displayActions[i], &QAction::triggered, this,
                [this, i] { m_workspace->settings().setResultsOnCurrentDraw(i == 1); });
    }
    m_settingsMenu->addSeparator();

    QMenu* lookBack = m_settingsMenu->addMenu(QStringLiteral("检索期数设置(&Q)"));
    m_excludeCurrentAction = lookBack->addAction(QStringLiteral("检索期数前溯不含当前期"));
    m_excludeCurrentAction->setObjectName("mnuBuhan");
    m_excludeCurrentAction->setCheckable(true);
    connect(m_excludeCurrentAction, &QAction::toggled, this,
            [this](bool on) { m_workspace->settings().setExcludeCurrent(on); });
    auto* lookBackGroup = new QActionGroup(this);
    lookBackGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (int i = 0; i < LookBackTable::kCount; ++i) {
        QAction* a = lookBack->addAction(LookBackTable::at(i).caption);
        a->setObjectName(QStringLiteral("mnuQs%1").arg(i));
        a->setCheckable(true);
        lookBackGroup->addAction(a);
        connect(a, &QAction::triggered, this, [this, i] { onLookBackChosen(i); });
        m_lookBackActions[i] = a;
    }
    lookBack->addSeparator();

    m_weightedAction = m_settingsMenu->addAction(QStringLiteral("正确率使用期数加权算法(&A)"));
    m_weightedAction->setObjectName("mnuZqlJq");
    m_weightedAction->setCheckable(true);
    connect(m_weightedAction, &QAction::toggled, this,
            [this](bool on) { m_workspace->settings().setWeighted(on); });

    m_chanceAction = m_settingsMenu->addAction(QStringLiteral("显示机会对比"));
    m_chanceAction->setObjectName("mnuJhdb");
    m_chanceAction->setCheckable(true);
    m_chanceAction->setToolTip(QStringLiteral("在公式列表中显示机会率、超出、p值和与运气相比的小结"));
    connect(m_chanceAction, &QAction::toggled, this, [this](bool on) {
        m_workspace->settings().setShowChanceComparison(on);
        m_formulaPanel->setChanceComparisonShown(on);
    });

    QAction* holdOut = m_settingsMenu->addAction(QStringLiteral("留出检验期数设置(&H)..."));
    holdOut->setObjectName("mnuHoldOut");
    holdOut->setToolTip(
        QStringLiteral("把最新的几期留作检验：统计和搜索都不用它们，再看公式在这几期上的正确率"));
    connect(holdOut, &QAction::triggered, this, &MainWindow::onHoldOutChosen);
    QAction* order = m_settingsMenu->addAction(QStringLiteral("开奖号码顺序..."));
    order->setObjectName("mnuDrawOrder");
    order->setToolTip(QStringLiteral("开奖号码是按从小到大还是按开出顺序公布的：机会率、超出和p值按它计算"));
    connect(order, &QAction::triggered, this, [this] {
        if (DrawOrderDialog::ask(this, m_workspace->settings(), m_columns))
            refreshChanceFigures();
    });

    QAction* days = m_settingsMenu->addAction(QStringLiteral("历史号码更新检索天数设置(&D)"));
    days->setObjectName("mnuSetDay");
    connect(days, &QAction::triggered, this,
            [this] { SearchDaysDialog::ask(this, m_workspace->settings()); });
    QAction* sources = m_settingsMenu->addAction(ResultsPageAddress::sourcesEntry());
    sources->setObjectName("mnuSources");
    connect(sources, &QAction::triggered, this, &MainWindow::openSourcesDialog);

    QMenu* lotteries = m_settingsMenu->addMenu(QStringLiteral("彩种选择"));
    auto* lotteryGroup = new QActionGroup(this);
    lotteryGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (int i = 0; i < LotteryTable::kCount; ++i) {
        QAction* a = lotteries->addAction(LotteryTable::at(i).caption);
        a->setObjectName(QStringLiteral("mnuK3%1").arg(i));
        a->setCheckable(true);
        lotteryGroup->addAction(a);
        connect(a, &QAction::triggered, this, [this, i] { onLotteryChosen(i); });
        m_lotteryActions[i] = a;
    }
    BackupDialog::addSettingsEntry(m_settingsMenu, &m_workspace->settings());
    QAction* restore = m_settingsMenu->addAction(QStringLiteral("恢复默认设置(&R)"));
    restore->setObjectName("meuHfmr");
    connect(restore, &QAction::triggered, this, &MainWindow::onRestoreDefaults);
}

QGridLayout* MainWindow::buildButtons()
{
    auto* grid = new QGridLayout;
    auto place = [grid](QPushButton* b) {
        const int n = grid->count();
        grid->addWidget(b, n / 4, n % 4);
    };
    auto button = [this, &place](const char* name, const QString& caption, auto slot,
                                 const QString& tip = QString()) {
        QPushButton* b = namedButton(name, caption, tip);
        connect(b, &QPushButton::clicked, this, slot);
        place(b);
    };
    FormulaListPanel* formulas = m_formulaPanel;
    HistoryPanel* history = m_historyPanel;
    button("Command22", QStringLiteral("公式搜索(&F)"), &MainWindow::openSearch);
    button("Command23", QStringLiteral("计算公式(&C)"), &MainWindow::calculate);
    button("Command7", QStringLiteral("公式过滤设置"), [formulas] { formulas->filterFormulas(); });
    button("Command12", QStringLiteral("公式往期位置值结果列表"),
           [formulas] { formulas->buildPastRanking(); });
    button("Command10", QStringLiteral("读取公式文本(N)"), &MainWindow::importFormulaFile);
    button("cmdGsgx", QStringLiteral("公式在线更新（&W)"), &MainWindow::updateFormulasOnline);
    button("Command2", QStringLiteral("清空所有公式"), &MainWindow::clearAllFormulas);
    button("Command11", QStringLiteral("所有类公式中文导出"), [formulas] { formulas->exportAllKindsText(); });
    button("Command20", QStringLiteral("所选类公式中文导出"),
           [formulas] { formulas->exportCurrentKindText(); });
    QPushButton* settingsButton = namedButton("Command9", QStringLiteral("软件设置(&T)"));
    connect(settingsButton, &QPushButton::clicked, this, [this, settingsButton] {
        m_settingsMenu->popup(settingsButton->mapToGlobal(QPoint(0, settingsButton->height())));
    });
    place(settingsButton);
    button("Command4", QStringLiteral("公式参数对照说明(&I)"), &MainWindow::openReferenceWindow);
    button("cmdDcexl", QStringLiteral("导出列表到Excel"), [history] { history->exportWorkbook(); });
    button("cmdLsdcTxt", QStringLiteral("历史号码导出文本文件(&X)"),
           [this, history] { history->exportText(m_checkIssueBox->text()); });
    button("Command3", QStringLiteral("删除最后历史(&D)"), [history] { history->deleteLastDraw(); });
    button(
        "Command21", QStringLiteral("开奖历史在线更新(&O)"), [history] { history->updateOnline(); },
        QStringLiteral("从官方服务器更新历史号码"));
    button("cmdSmwd", QStringLiteral("使用说明文档下载(&L)"), [this] { openHelp(HelpLinks::Link::Guide); });
    button("cmdLxxz", QStringLiteral("演示说明录像下载(&M)"), [this] { openHelp(HelpLinks::Link::Video); });
    button("cmdHdsm", QStringLiteral("幻灯图示说明下载(&P)"), [this] { openHelp(HelpLinks::Link::Slides); });
    button(
        "cmdZst", QStringLiteral("走势图(&G)"),
        [this] { openTrendWindow(m_formulaPanel->chartRow(), false); },
        QStringLiteral("号码走势、所点公式的滚动正确率与机会率"));
    return grid;
}

QGridLayout* MainWindow::buildOptionFrames()
{
    auto* frames = new QGridLayout;
    // 计算/验算选择
    auto* target = new QGroupBox(QStringLiteral("计算/验算选择"));
    auto* targetLayout = new QVBoxLayout(target);
    auto* nextDraw = new QRadioButton(QStringLiteral("计算下期结果"));
    nextDraw->setObjectName("Option50");
    nextDraw->setToolTip(QStringLiteral("现存历史号码的下一期"));
    nextDraw->setChecked(true);
    m_verifyOption = new QRadioButton(QStringLiteral("验证历史结果"));
    m_verifyOption->setObjectName("Option51");
    m_verifyOption->setToolTip(QStringLiteral("验算指定期下期结果"));
    m_checkIssueBox = new QLineEdit(QStringLiteral("2007001"));
    m_checkIssueBox->setObjectName("Text3");
    m_checkIssueBox->installEventFilter(this);
    targetLayout->addWidget(nextDraw);
    targetLayout->addWidget(m_verifyOption);
    targetLayout->addWidget(m_checkIssueBox);
    frames->addWidget(target, 0, 0);

    // 计算方法
    auto* method = new QGroupBox(QStringLiteral("计算方法"));
    auto* methodLayout = new QVBoxLayout(method);
    m_bestMethodOption = new QRadioButton(QStringLiteral("最优公式法"));
    m_bestMethodOption->setObjectName("Option60");
    m_selectedMethodOption = new QRadioButton(QStringLiteral("计算选中公式"));
    m_selectedMethodOption->setObjectName("Option61");
    methodLayout->addWidget(m_bestMethodOption);
    methodLayout->addWidget(m_selectedMethodOption);
    for (QRadioButton* o : {m_bestMethodOption, m_selectedMethodOption})
        connect(o, &QRadioButton::clicked, this, [this] {
            m_workspace->settings().setCalculateSelected(m_selectedMethodOption->isChecked());
        });
    frames->addWidget(method, 0, 1);

    // 位数选择
    auto* positions = new QGroupBox(QStringLiteral("位数选择"));
    auto* positionLayout = new QVBoxLayout(positions);
    static const char* const positionCaptions[] = {"个位", "十位", "百位"};
    for (int i = 0; i < 3; ++i) {
        auto* o = new QRadioButton(QString::fromUtf8(positionCaptions[i]));
        o->setObjectName(QStringLiteral("optXing%1").arg(i + 1));
        positionLayout->addWidget(o);
        connect(o, &QRadioButton::clicked, this, [this, i] { onPositionClicked(i + 1); });
        m_positionOptions[i] = o;
    }
    m_positionOptions[0]->setChecked(true);
    frames->addWidget(positions, 0, 2);

    // 玩法选择
    auto* selection = new QGroupBox(QStringLiteral("玩法选择"));
    auto* selectionLayout = new QVBoxLayout(selection);
    m_singleOption = new QRadioButton(QStringLiteral("单选"));
    m_singleOption->setObjectName("opTDG0");
    m_generalOption = new QRadioButton(QStringLiteral("通选"));
    m_generalOption->setObjectName("opTDG1");
    m_singleOption->setChecked(true);
    m_generalOption->setEnabled(false);
    selectionLayout->addWidget(m_singleOption);
    selectionLayout->addWidget(m_generalOption);
    connect(m_singleOption, &QRadioButton::clicked, this, [this] { onSelectionClicked(true); });
    connect(m_generalOption, &QRadioButton::clicked, this, [this] { onSelectionClicked(false); });
    frames->addWidget(selection, 0, 3);

    // 生杀
    auto* sense = new QGroupBox(QStringLiteral("生杀"));
    auto* senseLayout = new QVBoxLayout(sense);
    m_killOption = new QRadioButton(QStringLiteral("杀"));
    m_killOption->setObjectName("Option20");
    m_keepOption = new QRadioButton(QStringLiteral("生"));
    m_keepOption->setObjectName("Option21");
    m_killOption->setChecked(true);
    senseLayout->addWidget(m_killOption);
    senseLayout->addWidget(m_keepOption);
    // Only sets the sense; the list follows at the next reload.
    connect(m_killOption, &QRadioButton::clicked, this, [this] { m_kill = true; });
    connect(m_keepOption, &QRadioButton::clicked, this, [this] { m_kill = false; });
    frames->addWidget(sense, 0, 4);
    return frames;
}

void MainWindow::buildControls()
{
    auto* central = new QWidget;
    auto* outer = new QHBoxLayout(central);
    // Left: the formula list, the buttons and the option frames; right: the history.
    auto* left = new QVBoxLayout;
    left->addWidget(m_formulaPanel, 1);
    left->addLayout(buildButtons());
    left->addLayout(buildOptionFrames());
    outer->addLayout(left, 5);
    outer->addWidget(m_historyPanel, 2);
    setCentralWidget(central);

    m_dataFolderLabel = new QLabel;
    m_dataFolderLabel->setObjectName("dataFolderLabel");
    statusBar()->addWidget(m_dataFolderLabel, 1);
}

void MainWindow::startUp()
{
    Settings& s = m_workspace->settings();
    const int lottery = s.lotteryIndex();
    m_workspace->setLotteryIndex(lottery);
    if (LotteryTable::isValid(lottery))
        m_lotteryActions[lottery]->setChecked(true);
    s.setLotteryIndex(lottery);

    (s.calculateSelected() ? m_selectedMethodOption : m_bestMethodOption)->setChecked(true);
    m_displayActions[s.resultsOnCurrentDraw() ? 1 : 0]->setChecked(true);
    {
        const QSignalBlocker b1(m_excludeCurrentAction), b2(m_weightedAction), b3(m_chanceAction);
        m_excludeCurrentAction->setChecked(s.excludeCurrent());
        m_weightedAction->setChecked(s.weighted());
        m_chanceAction->setChecked(s.showChanceComparison());
    }
    m_formulaPanel->setChanceComparisonShown(s.showChanceComparison());
    const int lookBack = s.lookBackIndex();
    if (lookBack >= 0 && lookBack < LookBackTable::kCount) {
        m_lookBackActions[lookBack]->setChecked(true);
        m_lookBackDraws = LookBackTable::draws(lookBack);
    }
    m_kill = true;

    m_kind = FormulaKind{1, true};
    m_dataFolderLabel->setText(
        QStringLiteral("数据文件夹：%1").arg(QDir::toNativeSeparators(m_workspace->dataFolder())));
    if (m_database.isOpen()) {
        showNextIssue();
        refreshChain(true);
    }
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_database.isOpen() && !m_startupErrorShown) {
        m_startupErrorShown = true;
        QTimer::singleShot(0, this, [this] { reportError(m_database.startupError()); });
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    // Typing an issue to verify chooses "验证历史结果".
    if (watched == m_checkIssueBox && event->type() == QEvent::FocusIn)
        m_verifyOption->setChecked(true);
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::reportError(const QString& text)
{
    MessageBoxes::error(this, text);
}

void MainWindow::showForScreen()
{
    const QSize comfortable(1500, 900);
    const QRect available = screen()->availableGeometry();
    if (available.width() < comfortable.width() || available.height() < comfortable.height()) {
        // Without a window manager a maximised window keeps its size: start at the screen's.
        setGeometry(available);
        showMaximized();
    } else {
        resize(comfortable);
        move(available.center() - rect().center());
        show();
    }
}

// ---- The refresh chain ---------------------------------------------------------------------------

void MainWindow::refreshChain(bool formulasChanged)
{
    if (formulasChanged)
        m_formulaPanel->showFormulas();
    fillHistoryGrid();
    runBacktest();
}

void MainWindow::fillHistoryGrid()
{
    m_columns = HistoryColumns(m_workspace->history().draws());
    m_historyPanel->showDraws(m_kind.position, m_kind.single);
    if (m_referenceWindow)
        m_referenceWindow->showDraw(m_workspace->history().newest());
    if (m_trendWindow)
        m_trendWindow->refresh();
}

void MainWindow::runBacktest()
{
    switch (m_formulaPanel->runBacktest(m_lookBackDraws)) {
    case FormulaListPanel::BacktestOutcome::NotRun:
        break;
    case FormulaListPanel::BacktestOutcome::Cancelled:
        statusBar()->showMessage(QStringLiteral("验算已取消，公式统计没有更新。"), 5000);
        break;
    case FormulaListPanel::BacktestOutcome::Done:
        ++m_backtestRuns;
        m_historyPanel->refreshVerification();
        break;
    }
}

void MainWindow::showNextIssue()
{
    const DrawRecord* newest = m_workspace->history().newest();
    if (!newest)
        return;
    m_checkIssueBox->setText(newest->issue);
    m_historyPanel->showNextIssue();
}

// ---- Kind, sense and settings --------------------------------------------------------------------

void MainWindow::selectKind(const FormulaKind& kind, bool kill)
{
    // As choosing the options by hand: position first, then the selection.
    m_kill = kill;
    (kill ? m_killOption : m_keepOption)->setChecked(true);
    m_positionOptions[kind.position - 1]->setChecked(true);
    m_generalOption->setEnabled(kind.position != 1);
    (kind.single ? m_singleOption : m_generalOption)->setChecked(true);
    m_kind = kind;
}

void MainWindow::onPositionClicked(int position)
{
    BusyCursor busy;
    m_kind.position = position;
    if (position == 1) {
        m_singleOption->setChecked(true);
        m_generalOption->setEnabled(false);
    } else {
        m_generalOption->setEnabled(true);
    }
    m_kind.single = m_singleOption->isChecked();
    refreshChain(true);
}

void MainWindow::onSelectionClicked(bool single)
{
    BusyCursor busy;
    for (int i = 0; i < 3; ++i) {
        if (m_positionOptions[i]->isChecked()) {
            m_kind.position = i + 1;
            break;
        }
    }
    m_kind.single = single;
    refreshChain(true);
}

void MainWindow::onLotteryChosen(int index)
{
    m_workspace->setLotteryIndex(index);
    m_workspace->settings().setLotteryIndex(index);
    m_lotteryActions[index]->setChecked(true);
}

void MainWindow::onLookBackChosen(int index)
{
    m_workspace->settings().setLookBackIndex(index);
    m_lookBackActions[index]->setChecked(true);
    m_lookBackDraws = LookBackTable::draws(index);
    runBacktest();
}

void MainWindow::onHoldOutChosen()
{
    const int before = m_workspace->settings().holdOut();
    if (HoldOutDialog::ask(this, m_workspace->settings(), int(m_workspace->history().draws().size())) &&
        m_workspace->settings().holdOut() != before)
        runBacktest();
}

void MainWindow::refreshChanceFigures()
{
    runBacktest();
    if (m_trendWindow)
        m_trendWindow->refresh();
}

void MainWindow::onRestoreDefaults()
{
    Settings& s = m_workspace->settings();
    // Figures computed under a hold-out, a look-back or a publication order the restore changed
    // would no longer match the menus: the back-test runs again (the display switches only take
    // effect at the next run, as always).
    const bool figuresChange = s.publicationOrderIndex() != 0 || s.holdOut() != 0 || s.lookBackIndex() != 3;
    s.restoreDefaults();
    m_displayActions[0]->setChecked(true);
    const QSignalBlocker b1(m_excludeCurrentAction), b2(m_weightedAction);
    m_excludeCurrentAction->setChecked(true);
    m_lookBackActions[3]->setChecked(true);
    m_lookBackDraws = LookBackTable::draws(3);
    m_weightedAction->setChecked(true);
    m_chanceAction->setChecked(true); // shows the columns again through its handler
    if (figuresChange)
        refreshChanceFigures();
}

// ---- Button handlers -----------------------------------------------------------------------------

void MainWindow::calculate()
{
    if (!m_database.require(this))
        return;
    showListForCalculation();
    // 计算值 shows what the formulas selected now vote.
    m_formulaPanel->model()->redrawResults();
    KillKeepCalculation::Request request;
    request.kind = m_kind;
    request.kill = m_kill;
    request.bestMethod = !m_selectedMethodOption->isChecked();
    request.verify = m_verifyOption->isChecked();
    request.verifiedIssue = m_checkIssueBox->text();
    if (m_calculation->run(m_columns, request) >= 30)
        m_formulaPanel->scrollToLastRow();
}

void MainWindow::showListForCalculation()
{
    // The calculation uses exactly the formulas the list shows: when the sense chosen differs from
    // the list's, the list is reloaded for it first, as choosing a kind does.
    if (m_formulaPanel->shownSense() != m_kill || m_formulaPanel->model()->kind() != m_kind) {
        BusyCursor busy;
        refreshChain(true);
    }
}

void MainWindow::openReplay()
{
    if (!m_database.require(this))
        return;
    // The replay calculates as 计算公式 does, with the flags of the formulas shown.
    showListForCalculation();
    KillKeepCalculation::Request request;
    request.kind = m_kind;
    request.kill = m_kill;
    request.bestMethod = !m_selectedMethodOption->isChecked();
    m_calculation->openReplay(request);
}

ReplayWindow* MainWindow::replayWindow() const
{
    return m_calculation->replayWindow();
}

void MainWindow::importFormulaFile()
{
    if (!m_database.require(this))
        return;
    QString path;
    if (!MessageBoxes::openFile(this, QStringLiteral("读取公式文本"),
                                FormulaTextActions::importFolder(*m_workspace),
                                QStringLiteral("Text (*.txt)"), &path))
        return;
    if (FormulaTextActions::importChosenFile(this, *m_workspace, path, m_kind, &m_kill, [this] {
            (m_kill ? m_killOption : m_keepOption)->setChecked(true);
            refreshChain(true);
        }))
        m_formulaPanel->clearInput();
}

void MainWindow::clearAllFormulas()
{
    if (m_database.require(this) && FormulaTextActions::clearAll(this, *m_workspace))
        refreshChain(true);
}

void MainWindow::updateFormulasOnline()
{
    if (!m_database.require(this))
        return;
    QString summary;
    if (runOnlineFormulaUpdate(this, *m_workspace, m_kind, &m_kill, &summary)) {
        (m_kill ? m_killOption : m_keepOption)->setChecked(true);
        refreshChain(true);
    }
}

void MainWindow::openSearch()
{
    if (!m_database.require(this))
        return;
    SearchWindow search(m_workspace, this);
    // Each save changed the stored formulas: the list, the history grid and the figures follow
    // at once, while the search window stays open.
    connect(&search, &SearchWindow::formulasChanged, this, [this] { refreshChain(true); });
    search.exec();
}

void MainWindow::openSourcesDialog()
{
    OnlineSourcesDialog dialog(m_workspace, this);
    m_sourcesDialog = &dialog;
    dialog.exec();
    m_sourcesDialog = nullptr;
}

OnlineSourcesDialog* MainWindow::sourcesDialog() const
{
    return m_sourcesDialog;
}

void MainWindow::openReferenceWindow()
{
    if (!m_referenceWindow)
        m_referenceWindow = new ParameterReferenceWindow(this);
    m_referenceWindow->showDraw(m_workspace->history().newest());
    m_referenceWindow->show();
    m_referenceWindow->raise();
}

void MainWindow::openTrendWindow(int formulaRow, bool showFormula)
{
    if (!m_database.require(this))
        return;
    if (!m_trendWindow) {
        m_trendWindow = new TrendChartWindow(m_workspace, &m_columns, this);
        if (const ReplayWindow* replay = m_calculation->replayWindow())
            m_trendWindow->setReplay(replay->result());
    }
    showTrendFormula(formulaRow);
    if (showFormula)
        m_trendWindow->showTab(TrendChartWindow::FormulaTab);
    m_trendWindow->show();
    m_trendWindow->raise();
}

void MainWindow::showTrendFormula(int formulaRow)
{
    FormulaGridModel* formulas = m_formulaPanel->model();
    if (formulaRow >= 0 && formulaRow < formulas->rowCount()) {
        const FormulaRecord& f = formulas->formulaAt(formulaRow);
        m_trendWindow->setFormula(formulas->kind(), f.bolKill, f, m_lookBackDraws, formulaRow + 1);
    }
}

void MainWindow::openHelp(HelpLinks::Link link)
{
    HelpLinks::open(this, m_workspace->settings(), link);
}
