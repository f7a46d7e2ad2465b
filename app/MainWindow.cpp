#include "app/MainWindow.h"

#include "app/HelpLinks.h"
#include "app/SettingsMenu.h"
#include "backtest/FormulaGridModel.h"
#include "backtest/FormulaListPanel.h"
#include "charts/TrendChartWindow.h"
#include "formula/FormulaTextActions.h"
#include "formula/FormulaUpdateDialog.h"
#include "history/HistoryPanel.h"
#include "history/ParameterReferenceWindow.h"
#include "history/Workspace.h"
#include "killkeep/KillKeepCalculation.h"
#include "killkeep/ReplayWindow.h"
#include "search/SearchWindow.h"
#include "ui/BusyCursor.h"
#include "ui/KindPicker.h"
#include "ui/MessageBoxes.h"
#include "ui/NamedButton.h"

#include <QAction>
#include <QDir>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

MainWindow::MainWindow(Workspace* workspace, const QString& startupError, QWidget* parent)
    : QMainWindow(parent), m_workspace(workspace), m_database(startupError),
      m_session(new AnalysisSession(workspace, this)),
      m_formulaPanel(new FormulaListPanel(m_session, &m_database, this)),
      m_historyPanel(new HistoryPanel(m_session, &m_database, this)),
      m_calculation(new KillKeepCalculation(workspace, m_formulaPanel->model(), this))
{
    setObjectName("frmMain");
    setWindowTitle(QStringLiteral("Zorvane"));
    connectPanels();
    connectSession();
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
}

void MainWindow::connectSession()
{
    // The formula list follows a change of the formulas by itself (it subscribed first); the chain
    // goes on here with the history grid and the back-test.
    connect(m_session, &AnalysisSession::historyChanged, this, &MainWindow::onHistoryChanged);
    connect(m_session, &AnalysisSession::storeReplaced, this, [this] {
        refreshChain(false);
        showNextIssue();
    });
    connect(m_session, &AnalysisSession::formulasChanged, this, [this] {
        // New formulas may have brought their kind and sense with them.
        m_kindPicker->setChoice(m_session->kind(), m_session->kill());
        refreshChain(false);
    });
    connect(m_session, &AnalysisSession::kindChanged, this, [this] {
        m_kindPicker->setChoice(m_session->kind(), m_session->kill());
        // A sense alone takes effect at the next reload.
        if (m_formulaPanel->model()->kind() != m_session->kind()) {
            BusyCursor busy;
            refreshChain(true);
        }
    });
    connect(m_session, &AnalysisSession::optionsChanged, this, &MainWindow::onOptionsChanged);
}

void MainWindow::buildMenus()
{
    m_settingsMenu = new SettingsMenu(m_session, this);
    menuBar()->addMenu(m_settingsMenu->menu());
    // 管理 (also the formula grid's right button) ends with the replay of the calculation, which
    // belongs to the calculation rather than to the list.
    QAction* replay = m_formulaPanel->menu()->addAction(QStringLiteral("计算方法回测"));
    replay->setObjectName("mnuJshc");
    connect(replay, &QAction::triggered, this, &MainWindow::openReplay);
    menuBar()->addMenu(m_formulaPanel->menu());
    menuBar()->addMenu(m_historyPanel->menu()); // 历史管理 (also the history grid's right button)
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
        m_settingsMenu->menu()->popup(settingsButton->mapToGlobal(QPoint(0, settingsButton->height())));
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

    // 位数选择, 玩法选择, 生杀
    m_kindPicker = new KindPicker(KindPicker::mainWindowLook(), this);
    connect(m_kindPicker, &KindPicker::kindChosen, this, &MainWindow::onKindChosen);
    // Only sets the sense; the list follows at the next reload.
    connect(m_kindPicker, &KindPicker::senseChosen, this,
            [this](bool kill) { m_session->setKind(m_session->kind(), kill); });
    for (int i = 0; i < 3; ++i)
        frames->addWidget(m_kindPicker->frames()[i], 0, 2 + i);
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
    m_settingsMenu->startUp();
    (m_workspace->settings().calculateSelected() ? m_selectedMethodOption : m_bestMethodOption)
        ->setChecked(true);
    // The session starts at the units single selection and the kill option, as the picker does.
    m_kindPicker->setChoice(m_session->kind(), m_session->kill());
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
    m_historyPanel->showDraws(kind().position, kind().single);
    if (m_referenceWindow)
        m_referenceWindow->showDraw(m_workspace->history().newest());
}

void MainWindow::runBacktest()
{
    switch (m_formulaPanel->runBacktest()) {
    case FormulaListPanel::BacktestOutcome::NotRun:
        break;
    case FormulaListPanel::BacktestOutcome::Cancelled:
        statusBar()->showMessage(QStringLiteral("验算已取消，公式统计没有更新。"), 5000);
        break;
    case FormulaListPanel::BacktestOutcome::Done:
        ++m_backtestRuns;
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

void MainWindow::onHistoryChanged()
{
    if (m_workspace->history().draws().empty()) {
        // The whole history was deleted: both grids are shown again, without a back-test.
        m_formulaPanel->showFormulas();
        fillHistoryGrid();
        return;
    }
    refreshChain(false);
    showNextIssue();
}

void MainWindow::onKindChosen(const FormulaKind& chosen)
{
    // Choosing the kind shown lists it again (with the sense chosen since); another kind reaches
    // the list through the session.
    if (chosen == m_session->kind()) {
        BusyCursor busy;
        refreshChain(true);
        return;
    }
    m_session->setKind(chosen, m_session->kill());
}

void MainWindow::onOptionsChanged(const AnalysisOptions& previous)
{
    const AnalysisOptions& now = m_session->options();
    // The look-back, the hold-out and the publication order change the figures; the weighting and
    // the current-draw switch take effect at the next run, and the chance columns are the list's.
    if (now.lookBackIndex != previous.lookBackIndex || now.holdOut != previous.holdOut ||
        now.publicationOrder != previous.publicationOrder)
        runBacktest();
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
    request.kind = kind();
    request.kill = killSense();
    request.bestMethod = !m_selectedMethodOption->isChecked();
    request.backtest = m_session->options().backtest();
    request.verify = m_verifyOption->isChecked();
    request.verifiedIssue = m_checkIssueBox->text();
    if (m_calculation->run(*m_session->columns(), request) >= 30)
        m_formulaPanel->scrollToLastRow();
}

void MainWindow::showListForCalculation()
{
    // The calculation uses exactly the formulas the list shows: when the sense chosen differs from
    // the list's, the list is reloaded for it first, as choosing a kind does.
    if (m_formulaPanel->shownSense() != killSense() || m_formulaPanel->model()->kind() != kind()) {
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
    request.kind = kind();
    request.kill = killSense();
    request.bestMethod = !m_selectedMethodOption->isChecked();
    request.backtest = m_session->options().backtest();
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
    bool kill = killSense();
    if (FormulaTextActions::importChosenFile(this, *m_workspace, path, kind(), &kill,
                                             [this, &kill] { m_session->formulasWereAdded(kind(), kill); }))
        m_formulaPanel->clearInput();
}

void MainWindow::clearAllFormulas()
{
    if (m_database.require(this) && FormulaTextActions::clearAll(this, *m_workspace))
        m_session->formulasWereChanged(kind());
}

void MainWindow::updateFormulasOnline()
{
    if (!m_database.require(this))
        return;
    QString summary;
    bool kill = killSense();
    if (runOnlineFormulaUpdate(this, *m_workspace, kind(), &kill, &summary))
        m_session->formulasWereAdded(kind(), kill);
}

void MainWindow::openSearch()
{
    if (!m_database.require(this))
        return;
    // Each save tells the session: the list, the history grid and the figures follow at once,
    // while the search window stays open.
    SearchWindow search(m_session, this);
    search.exec();
}

OnlineSourcesDialog* MainWindow::sourcesDialog() const
{
    return m_settingsMenu->sourcesDialog();
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
        m_trendWindow = new TrendChartWindow(m_session, this);
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
        m_trendWindow->setFormula(formulas->kind(), f.bolKill, f, lookBackDraws(), formulaRow + 1);
    }
}

void MainWindow::openHelp(HelpLinks::Link link)
{
    HelpLinks::open(this, m_workspace->settings(), link);
}
