#include "app/MainWindow.h"

#include "app/HelpLinks.h"
#include "backtest/BacktestRunner.h"
#include "backtest/CalculationStepsWindow.h"
#include "backtest/DetailListWindow.h"
#include "backtest/FormulaFilterWindow.h"
#include "backtest/FormulaSortWindow.h"
#include "backtest/NextDrawCalculation.h"
#include "backtest/PastRankingTask.h"
#include "backtest/VerificationDisplay.h"
#include "formula/FormulaDeletion.h"
#include "formula/FormulaGridModel.h"
#include "formula/FormulaTableStore.h"
#include "formula/FormulaTextActions.h"
#include "formula/FormulaUpdateDialog.h"
#include "history/HistoryGridModel.h"
#include "history/HistoryTextFile.h"
#include "history/LotteryTable.h"
#include "history/OnlineUpdateDialog.h"
#include "history/ParameterReferenceWindow.h"
#include "history/PositionHistoryWindow.h"
#include "history/SearchDaysDialog.h"
#include "history/Workspace.h"
#include "killkeep/AllPositionsRankingWindow.h"
#include "killkeep/RankingWindow.h"
#include "killkeep/VoteTally.h"
#include "search/SearchWindow.h"
#include "ui/BackgroundTask.h"
#include "ui/DesktopOpener.h"
#include "ui/GridColumns.h"
#include "ui/GridExport.h"
#include "ui/MessageBoxes.h"

#include <QActionGroup>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <numeric>

namespace {

const QString kTitle = QStringLiteral("Zorvane");

// Busy pointer for the length of a handler.
class BusyCursor
{
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
};

} // namespace

MainWindow::MainWindow(Workspace* workspace, const QString& startupError, QWidget* parent)
    : QMainWindow(parent), m_workspace(workspace), m_startupError(startupError),
      m_databaseOpen(startupError.isEmpty()), m_historyModel(new HistoryGridModel(this)),
      m_formulaModel(new FormulaGridModel(this)),
      m_formulaStore(std::make_unique<FormulaTableStore>(&workspace->database()))
{
    setObjectName("frmMain");
    setWindowTitle(kTitle);
    buildMenus();
    buildControls();
    startUp();
    resize(1280, 760);
}

MainWindow::~MainWindow() = default;

QString MainWindow::formulaTable() const
{
    return m_kind.tableName();
}

QString MainWindow::kindLabel() const
{
    return m_kind.selectionLabel();
}

void MainWindow::buildMenus()
{
    Settings& s = m_workspace->settings();
    m_settingsMenu = menuBar()->addMenu(QStringLiteral("设置"));
    m_manageMenu = menuBar()->addMenu(QStringLiteral("管理"));
    m_historyMenu = menuBar()->addMenu(QStringLiteral("历史管理"));

    // 设置
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

    QAction* days = m_settingsMenu->addAction(QStringLiteral("历史号码更新检索天数设置(&D)"));
    days->setObjectName("mnuSetDay");
    connect(days, &QAction::triggered, this,
            [this] { SearchDaysDialog::ask(this, m_workspace->settings()); });

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
    QAction* restore = m_settingsMenu->addAction(QStringLiteral("恢复默认设置(&R)"));
    restore->setObjectName("meuHfmr");
    connect(restore, &QAction::triggered, this, &MainWindow::onRestoreDefaults);
    Q_UNUSED(s);

    // 历史管理
    QAction* exportGrid = m_historyMenu->addAction(QStringLiteral("导出历史号码(&O)"));
    exportGrid->setObjectName("mnuLsdc");
    connect(exportGrid, &QAction::triggered, this, &MainWindow::exportHistoryWorkbook);
    QAction* delAll = m_historyMenu->addAction(QStringLiteral("删除所有历史(&A）"));
    delAll->setObjectName("mnuDelAll");
    connect(delAll, &QAction::triggered, this, &MainWindow::deleteAllDraws);
    QAction* delTo = m_historyMenu->addAction(QStringLiteral("删除到选定期(&D)"));
    delTo->setObjectName("mnuDelTo");
    connect(delTo, &QAction::triggered, this, &MainWindow::deleteToChosenIssue);
    QAction* delLast = m_historyMenu->addAction(QStringLiteral("删除最后指定数量期历史(&E)"));
    delLast->setObjectName("mnuDelLast");
    connect(delLast, &QAction::triggered, this, &MainWindow::deleteLastCount);
    // 管理 (right button on the formula grid)
    QAction* exportFormulas = m_manageMenu->addAction(QStringLiteral("导出到EXCEL表格(&E)"));
    exportFormulas->setObjectName("mnuGsdc");
    connect(exportFormulas, &QAction::triggered, this, [this] {
        GridExport::exportAndOpen(this, *m_formulaModel,
                                  QDir(m_workspace->dataFolder()).filePath(QStringLiteral("gongshi.xlsx")));
    });
    QAction* steps = m_manageMenu->addAction(QStringLiteral("查询该公式历史计算式(&U)"));
    steps->setObjectName("mnuGsbz");
    connect(steps, &QAction::triggered, this, &MainWindow::showCalculationSteps);
    const std::pair<const char*, const char*> deletions[] = {{"mnuDelGS", "删除该公式(&D)"},
                                                             {"mnuDelSelected", "删除选中所有公式(&C)"},
                                                             {"mnuDelLastGS", "删除最后公式(&E)"},
                                                             {"mnuDelUnselected", "删除未选中公式(&X)"}};
    const DeleteMode modes[] = {DeleteMode::UnderMouse, DeleteMode::Selected, DeleteMode::Last,
                                DeleteMode::Unselected};
    for (int i = 0; i < 4; ++i) {
        QAction* a = m_manageMenu->addAction(QString::fromUtf8(deletions[i].second));
        a->setObjectName(QString::fromLatin1(deletions[i].first));
        connect(a, &QAction::triggered, this, [this, mode = modes[i]] { deleteFormulas(mode); });
    }
}

QPushButton* MainWindow::addButton(const char* objectName, const QString& caption, const QString& tooltip)
{
    auto* b = new QPushButton(caption);
    b->setObjectName(QString::fromLatin1(objectName));
    if (!tooltip.isEmpty())
        b->setToolTip(tooltip);
    return b;
}

QWidget* MainWindow::buildFormulaArea()
{
    auto* area = new QWidget;
    auto* layout = new QVBoxLayout(area);
    layout->setContentsMargins(0, 0, 0, 0);
    m_viewTabs = new QTabBar;
    m_viewTabs->setObjectName("TabStrip1");
    m_viewTabs->addTab(QStringLiteral("公式中文显示"));
    m_viewTabs->addTab(QStringLiteral("公式英文显示"));
    connect(m_viewTabs, &QTabBar::tabBarClicked, this, [this](int tab) {
        if (tab < 0)
            return;
        // Each click on the strip switches the view and lists the formulas again, all selected.
        m_formulaModel->setChineseMode(!m_formulaModel->chineseMode());
        m_formulaModel->selectAll();
        m_formulaModel->redrawResults();
    });
    layout->addWidget(m_viewTabs);

    m_formulaView = new QTableView;
    m_formulaView->setObjectName("MSFlexGrid2");
    m_formulaView->setModel(m_formulaModel);
    m_formulaView->setToolTip(
        QStringLiteral("双击参数列可以以该参数次序排序，单击鼠标右键可以打开此表功能扩展菜单"));
    m_formulaView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_formulaView->setSelectionMode(QAbstractItemView::NoSelection);
    m_formulaView->verticalHeader()->hide();
    m_formulaView->verticalHeader()->setDefaultSectionSize(22);
    m_formulaView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_formulaView, &QTableView::clicked, this, &MainWindow::onFormulaGridClicked);
    connect(m_formulaView, &QTableView::doubleClicked, this,
            [this](const QModelIndex& i) { sortFormulaGrid(i.column()); });
    connect(m_formulaView->horizontalHeader(), &QHeaderView::sectionDoubleClicked, this,
            &MainWindow::sortFormulaGrid);
    connect(m_formulaView, &QTableView::customContextMenuRequested, this, [this](const QPoint& p) {
        m_contextRow = m_formulaView->indexAt(p).row();
        if (!m_manageMenu->actions().isEmpty())
            m_manageMenu->popup(m_formulaView->viewport()->mapToGlobal(p));
    });
    layout->addWidget(m_formulaView, 1);

    auto* selection = new QHBoxLayout;
    const QString tip = QStringLiteral("执行公式列表中序号为蓝色的公式");
    QPushButton* selectAll = addButton("Command8", QStringLiteral("选中所有公式"), tip);
    connect(selectAll, &QPushButton::clicked, this, [this] { m_formulaModel->selectAll(); });
    QPushButton* invert = addButton("Command5", QStringLiteral("反选所有公式"), tip);
    connect(invert, &QPushButton::clicked, this, [this] { m_formulaModel->invertSelection(); });
    selection->addWidget(selectAll);
    selection->addWidget(invert);
    m_formulaInput = new QLineEdit;
    m_formulaInput->setObjectName("Text2");
    m_formulaInput->setPlaceholderText(QStringLiteral("例如：[个位单选杀]百位码+和数+3"));
    selection->addWidget(m_formulaInput, 1);
    QPushButton* add = addButton("Command1", QStringLiteral("添加所输公式(&A)"));
    connect(add, &QPushButton::clicked, this, &MainWindow::addTypedFormula);
    connect(m_formulaInput, &QLineEdit::returnPressed, this, &MainWindow::addTypedFormula);
    selection->addWidget(add);
    layout->addLayout(selection);
    return area;
}

QGroupBox* MainWindow::buildEntryBox()
{
    auto* box = new QGroupBox(QStringLiteral("手工输入已经开出的历史号码记录下一期:"));
    auto* row = new QHBoxLayout(box);
    m_issueBox = new QLineEdit;
    m_issueBox->setObjectName("Text1");
    m_issueBox->setMaxLength(12);
    m_issueBox->setMinimumWidth(110);
    row->addWidget(new QLabel(QStringLiteral("期号：")));
    row->addWidget(m_issueBox);
    row->addSpacing(12);
    row->addWidget(new QLabel(QStringLiteral("开奖号：")));
    static const char* const tips[] = {"百位", "十位", "个位"};
    for (int i = 0; i < 3; ++i) {
        auto* e = new QLineEdit;
        e->setObjectName(QStringLiteral("txtIpt%1").arg(i + 1));
        e->setMaxLength(1);
        e->setFixedWidth(32);
        e->setAlignment(Qt::AlignCenter);
        e->setToolTip(QString::fromUtf8(tips[i]));
        e->installEventFilter(this);
        row->addWidget(e);
        m_numberBoxes[i] = e;
    }
    row->addStretch();
    return box;
}

void MainWindow::buildControls()
{
    auto* central = new QWidget;
    auto* outer = new QHBoxLayout(central);

    // Left: the formula grid, buttons and option frames.
    auto* left = new QVBoxLayout;
    left->addWidget(buildFormulaArea(), 1);
    m_buttonGrid = new QGridLayout;
    auto button = [this](const char* name, const QString& caption, auto slot,
                         const QString& tip = QString()) {
        QPushButton* b = addButton(name, caption, tip);
        connect(b, &QPushButton::clicked, this, slot);
        m_buttonGrid->addWidget(b, m_buttonCount / 4, m_buttonCount % 4);
        ++m_buttonCount;
        return b;
    };
    button("Command22", QStringLiteral("公式搜索(&F)"), &MainWindow::openSearch);
    button("Command23", QStringLiteral("计算公式(&C)"), &MainWindow::calculate);
    button("Command7", QStringLiteral("公式过滤设置"), &MainWindow::filterFormulas);
    button("Command12", QStringLiteral("公式往期位置值结果列表"), &MainWindow::buildPastRanking);
    button("Command10", QStringLiteral("读取公式文本(N)"), &MainWindow::importFormulaFile);
    button("cmdGsgx", QStringLiteral("公式在线更新（&W)"), &MainWindow::updateFormulasOnline);
    button("Command2", QStringLiteral("清空所有公式"), &MainWindow::clearAllFormulas);
    button("Command11", QStringLiteral("所有类公式中文导出"), &MainWindow::exportAllKindsText);
    button("Command20", QStringLiteral("所选类公式中文导出"), &MainWindow::exportCurrentKindText);
    QPushButton* settingsButton = addButton("Command9", QStringLiteral("软件设置(&T)"));
    connect(settingsButton, &QPushButton::clicked, this, [this, settingsButton] {
        m_settingsMenu->popup(settingsButton->mapToGlobal(QPoint(0, settingsButton->height())));
    });
    m_buttonGrid->addWidget(settingsButton, m_buttonCount / 4, m_buttonCount % 4);
    ++m_buttonCount;
    button("Command4", QStringLiteral("公式参数对照说明(&I)"), &MainWindow::openReferenceWindow);
    button("cmdDcexl", QStringLiteral("导出列表到Excel"), &MainWindow::exportHistoryWorkbook);
    button("cmdLsdcTxt", QStringLiteral("历史号码导出文本文件(&X)"), &MainWindow::exportHistoryText);
    button("Command3", QStringLiteral("删除最后历史(&D)"), &MainWindow::deleteLastDraw);
    button("Command21", QStringLiteral("开奖历史在线更新(&O)"), &MainWindow::updateHistoryOnline,
           QStringLiteral("从官方服务器更新历史号码"));
    button("cmdSmwd", QStringLiteral("使用说明文档下载(&L)"), [this] { openHelp(HelpLinks::Link::Guide); });
    button("cmdLxxz", QStringLiteral("演示说明录像下载(&M)"), [this] { openHelp(HelpLinks::Link::Video); });
    button("cmdHdsm", QStringLiteral("幻灯图示说明下载(&P)"), [this] { openHelp(HelpLinks::Link::Slides); });
    auto* buttons = m_buttonGrid;
    left->addLayout(buttons);

    auto* frames = new QGridLayout;
    // 计算/验算选择
    auto* target = new QGroupBox(QStringLiteral("计算/验算选择"));
    auto* targetLayout = new QVBoxLayout(target);
    auto* nextDraw = new QRadioButton(QStringLiteral("计算下期结果"));
    nextDraw->setObjectName("Option50");
    nextDraw->setToolTip(QStringLiteral("现存历史号码的下一期"));
    nextDraw->setChecked(true);
    auto* pastDraw = new QRadioButton(QStringLiteral("验证历史结果"));
    pastDraw->setObjectName("Option51");
    pastDraw->setToolTip(QStringLiteral("验算指定期下期结果"));
    m_checkIssueBox = new QLineEdit(QStringLiteral("2007001"));
    m_checkIssueBox->setObjectName("Text3");
    m_checkIssueBox->installEventFilter(this);
    m_verifyOption = pastDraw;
    targetLayout->addWidget(nextDraw);
    targetLayout->addWidget(pastDraw);
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
    left->addLayout(frames);

    // Right: the history grid and the manual entry.
    auto* right = new QVBoxLayout;
    m_historyView = new QTableView;
    m_historyView->setObjectName("MSFlexGrid1");
    m_historyView->setModel(m_historyModel);
    m_historyView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_historyView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_historyView->verticalHeader()->setDefaultSectionSize(22);
    m_historyView->verticalHeader()->hide();
    m_historyView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_historyView, &QTableView::pressed, this,
            [this](const QModelIndex& i) { rememberClickedRow(i.row()); });
    connect(m_historyView, &QTableView::customContextMenuRequested, this, [this](const QPoint& p) {
        const QModelIndex i = m_historyView->indexAt(p);
        if (i.isValid())
            rememberClickedRow(i.row());
        m_historyMenu->popup(m_historyView->viewport()->mapToGlobal(p));
    });
    right->addWidget(m_historyView, 1);
    m_verificationScroll = new QScrollBar(Qt::Horizontal);
    m_verificationScroll->setObjectName("HScroll1");
    m_verificationScroll->setRange(1, 1);
    m_verificationScroll->setSingleStep(VerificationDisplay::kBlockSize);
    m_verificationScroll->setPageStep(VerificationDisplay::kBlockSize);
    m_verificationScroll->setEnabled(false);
    connect(m_verificationScroll, &QScrollBar::valueChanged, this, [this] { showVerificationColumns(); });
    right->addWidget(m_verificationScroll);
    m_verificationCheck =
        new QCheckBox(QStringLiteral("历史列表显示公式各期验算结果(时间较长，请耐性等待...)"));
    m_verificationCheck->setObjectName("Check1");
    connect(m_verificationCheck, &QCheckBox::toggled, this, [this](bool on) {
        m_verificationScroll->setEnabled(on);
        m_verificationScroll->setRange(1, VerificationDisplay::scrollMaximum(m_formulaModel->rowCount()));
        if (on)
            showVerificationColumns();
        else
            m_historyModel->clearVerificationBlock();
    });
    right->addWidget(m_verificationCheck);
    right->addWidget(buildEntryBox());

    outer->addLayout(left, 5);
    outer->addLayout(right, 2);
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
        const QSignalBlocker b1(m_excludeCurrentAction), b2(m_weightedAction);
        m_excludeCurrentAction->setChecked(s.excludeCurrent());
        m_weightedAction->setChecked(s.weighted());
    }
    const int lookBack = s.lookBackIndex();
    if (lookBack >= 0 && lookBack < LookBackTable::kCount) {
        m_lookBackActions[lookBack]->setChecked(true);
        m_lookBackDraws = LookBackTable::draws(lookBack);
    }
    m_kill = true;

    m_kind = FormulaKind{1, true};
    m_dataFolderLabel->setText(
        QStringLiteral("数据文件夹：%1").arg(QDir::toNativeSeparators(m_workspace->dataFolder())));
    if (m_databaseOpen) {
        showNextIssue();
        refreshChain(true);
    }
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    // Rows can only be scrolled into view once the grid has its size.
    QTimer::singleShot(0, this, &MainWindow::scrollHistoryToEnd);
    if (!m_startupError.isEmpty() && !m_startupErrorShown) {
        m_startupErrorShown = true;
        QTimer::singleShot(0, this, [this] { reportError(m_startupError); });
    }
}

void MainWindow::reportError(const QString& text)
{
    MessageBoxes::warning(this, kTitle, text);
}

bool MainWindow::requireDatabase()
{
    if (m_databaseOpen)
        return true;
    reportError(QStringLiteral("数据库没有打开，无法执行此操作。\n%1").arg(m_startupError));
    return false;
}

void MainWindow::fillHistoryGrid()
{
    m_columns = HistoryColumns(m_workspace->history().draws());
    m_historyModel->setDraws(&m_workspace->history().draws());
    applyEmphasis();
    m_historyView->setColumnWidth(0, 100);
    for (int c = 1; c <= 3; ++c)
        m_historyView->setColumnWidth(c, 44);
    scrollHistoryToEnd();
    if (m_referenceWindow)
        m_referenceWindow->showDraw(m_workspace->history().newest());
}

void MainWindow::scrollHistoryToEnd()
{
    const int rows = m_historyModel->rowCount();
    // The grid counts its header as a row: 29 draws make 30 rows.
    if (rows + 1 >= 30)
        m_historyView->scrollTo(m_historyModel->index(rows - 1, 0), QAbstractItemView::PositionAtTop);
}

void MainWindow::applyEmphasis()
{
    const int column = 4 - m_kind.position; // 个位 -> 3, 十位 -> 2, 百位 -> 1
    m_historyModel->setEmphasis(column, m_kind.single ? column : 3);
}

void MainWindow::showNextIssue()
{
    const DrawRecord* newest = m_workspace->history().newest();
    if (!newest)
        return;
    m_checkIssueBox->setText(newest->issue);
    const QString next = m_workspace->nextIssue();
    if (!next.isEmpty())
        m_issueBox->setText(next);
    m_issueBoxText = m_issueBox->text();
}

void MainWindow::refreshAfterHistoryChange()
{
    refreshChain(false);
    showNextIssue();
}

void MainWindow::refreshChain(bool formulasChanged)
{
    if (formulasChanged)
        fillFormulaGrid();
    fillHistoryGrid();
    runBacktest();
}

void MainWindow::fillFormulaGrid()
{
    if (!m_databaseOpen)
        return;
    std::vector<FormulaRecord> formulas;
    QString error;
    if (!m_formulaStore->loadSubset(m_kind, m_kill, &formulas, &error))
        reportError(error);
    m_formulaModel->setWeightedRate(m_workspace->settings().weighted());
    m_formulaModel->setFormulas(m_kind, std::move(formulas));
    sizeFormulaColumns();
}

void MainWindow::sizeFormulaColumns()
{
    // The figure columns get what their texts need; the formula column takes the rest of the
    // grid's width, so every figure stays in view on a 1366-pixel screen.
    const QFontMetrics metrics(m_formulaView->font());
    GridColumns::apply(m_formulaView, [&metrics](int c) {
        switch (c) {
        case FormulaGridModel::KindColumn:
            return metrics.horizontalAdvance(QStringLiteral("十位通选")) + 12;
        case FormulaGridModel::RateColumn: // weighted totals run to ten digits over 3,000 draws
            return metrics.horizontalAdvance(QStringLiteral("88.8888% (8888888888/8888888888)")) + 12;
        default:
            return FormulaGridModel::columnWidthPixels(c);
        }
    });
    m_formulaView->setColumnHidden(FormulaGridModel::IdxColumn, true);
    m_formulaView->horizontalHeader()->setSectionResizeMode(FormulaGridModel::FormulaColumn,
                                                            QHeaderView::Stretch);
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

void MainWindow::runBacktest()
{
    if (!m_databaseOpen)
        return;
    SubsetBacktest run;
    QString error;
    if (!BacktestRunner::load(*m_formulaStore, m_kind, m_kill, &run, &error)) {
        reportError(error);
        return;
    }
    BacktestOptions options = BacktestOptions::fromSettings(m_workspace->settings());
    options.lookBackDraws = m_lookBackDraws;
    const bool finished =
        BackgroundTask::run(this, QStringLiteral("正在验算公式，请稍候..."), [&](TaskProgress& p) {
            BacktestRunner::evaluate(
                m_columns, options, &run,
                [&p](int done, int total) {
                    p.total = total;
                    p.done = done;
                },
                &p.cancelled);
        });
    if (!finished || run.result.cancelled) {
        statusBar()->showMessage(QStringLiteral("验算已取消，公式统计没有更新。"), 5000);
        return;
    }
    if (!BacktestRunner::arrGs(*m_formulaStore, &run, &error))
        reportError(error);
    m_formulaModel->setWeightedRate(options.weighted);
    m_formulaModel->refillFormulas(run.formulas);
    m_formulaModel->setResults(run.result);
    if (m_formulaModel->scrollsToLastRow())
        m_formulaView->scrollTo(m_formulaModel->index(m_formulaModel->rowCount() - 1, 0),
                                QAbstractItemView::PositionAtTop);
    ++m_backtestRuns;
    if (m_verificationCheck->isChecked()) {
        m_verificationScroll->setRange(1, VerificationDisplay::scrollMaximum(m_formulaModel->rowCount()));
        showVerificationColumns();
    }
}

void MainWindow::showVerificationColumns()
{
    if (!m_verificationCheck->isChecked())
        return;
    std::vector<CompiledFormula> subset;
    subset.reserve(size_t(m_formulaModel->rowCount()));
    for (int r = 0; r < m_formulaModel->rowCount(); ++r)
        subset.push_back(CompiledFormula::compile(m_formulaModel->formulaAt(r).gongshi));
    const VerificationMode mode = m_workspace->settings().resultsOnCurrentDraw()
                                      ? VerificationMode::Canshu
                                      : VerificationMode::PreCanshu;
    BusyCursor busy;
    m_historyModel->showVerification(m_columns, subset, m_kind, m_kill, mode, m_verificationScroll->value());
    for (int c = HistoryGridModel::kFixedColumns; c < m_historyModel->columnCount(); ++c)
        m_historyView->setColumnWidth(c, HistoryGridModel::kFormulaColumnWidthPixels);
}

void MainWindow::buildPastRanking()
{
    if (!requireDatabase())
        return;
    std::vector<FormulaRecord> formulas;
    for (int r = 0; r < m_formulaModel->rowCount(); ++r)
        formulas.push_back(m_formulaModel->formulaAt(r));
    std::vector<PastRankingDraw> ranking;
    if (!PastRankingTask::run(this, m_workspace->history().draws(), m_columns, formulas,
                              m_formulaModel->selectedFlags(), m_kill, &ranking))
        return;
    if (!m_positionHistoryWindow)
        m_positionHistoryWindow = new PositionHistoryWindow(std::move(ranking), m_kind.position,
                                                            m_kind.single, m_workspace->dataFolder(), this);
    else
        m_positionHistoryWindow->setRanking(std::move(ranking), m_kind.position, m_kind.single);
    m_positionHistoryWindow->show();
    m_positionHistoryWindow->raise();
}

void MainWindow::showCalculationSteps()
{
    if (m_contextRow < 0 || m_contextRow >= m_formulaModel->rowCount())
        return;
    if (!m_stepsWindow)
        m_stepsWindow = new CalculationStepsWindow(m_workspace->dataFolder(), this);
    const FormulaRecord& f = m_formulaModel->formulaAt(m_contextRow);
    m_stepsWindow->setFormula(f.gongshi, f.gongshiCN, m_workspace->history().draws(), m_columns);
    m_stepsWindow->show();
    m_stepsWindow->raise();
}

void MainWindow::onFormulaGridClicked(const QModelIndex& index)
{
    if (!index.isValid())
        return;
    if (index.column() == FormulaGridModel::FormulaColumn)
        m_formulaModel->toggleSelected(index.row());
    else if (index.column() == FormulaGridModel::NextValueColumn)
        m_formulaModel->highlightSameNextValue(index.row());
}

void MainWindow::deleteFormulas(DeleteMode mode)
{
    if (!requireDatabase())
        return;
    const int rows = m_formulaModel->rowCount();
    std::vector<qint64> doomed;
    if (mode == DeleteMode::UnderMouse || mode == DeleteMode::Last) {
        if (m_contextRow < 0 || m_contextRow >= rows)
            return; // no formula under the mouse: nothing to delete
        doomed.push_back(m_formulaModel->formulaAt(m_contextRow).rowId);
    } else {
        const bool selected = mode == DeleteMode::Selected;
        const QString question = selected
                                     ? QStringLiteral("确实要删除选中的所有公式(公式列表序号蓝色表示)吗?")
                                     : QStringLiteral("确实要删除选未中的所有公式(公式列表序号灰色表示)吗?");
        if (!MessageBoxes::question(this, QStringLiteral("删除公式"), question))
            return;
        for (int r = 0; r < rows; ++r)
            if (m_formulaModel->isSelected(r) == selected)
                doomed.push_back(m_formulaModel->formulaAt(r).rowId);
    }
    // Flags go by row: deleting the formula under the mouse moves the later rows' flags up by one,
    // so every remaining formula keeps its own; "删除最后公式" leaves them where they stand.
    // (Compaction may renumber the rows' identities, so they cannot carry the flags.)
    std::vector<bool> positional = m_formulaModel->selectedFlags();
    if (mode == DeleteMode::UnderMouse)
        positional.erase(positional.begin() + m_contextRow);
    QString error;
    BusyCursor busy;
    if (FormulaDeletion::deleteRows(&m_workspace->database(), m_kind, doomed, &error) < 0) {
        reportError(error);
        return;
    }
    compactAfterDeletion();
    std::vector<FormulaRecord> formulas;
    if (!m_formulaStore->loadSubset(m_kind, m_kill, &formulas, &error))
        reportError(error);
    m_formulaModel->setFormulas(m_kind, std::move(formulas));
    if (mode == DeleteMode::UnderMouse || mode == DeleteMode::Last) {
        positional.resize(size_t(m_formulaModel->rowCount()), true);
        m_formulaModel->setSelectedFlags(positional);
    }
    m_contextRow = -1;
    fillHistoryGrid();
    runBacktest();
}

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

KillKeepWindow* MainWindow::rankingWindowFor(bool general)
{
    if (general && !m_rankingWindow) {
        m_rankingWindow = new RankingWindow(m_workspace->dataFolder(), this);
        connect(m_rankingWindow, &KillKeepWindow::detailListRequested, this, &MainWindow::showDetailList);
    }
    if (!general && !m_allPositionsWindow) {
        m_allPositionsWindow = new AllPositionsRankingWindow(m_workspace->dataFolder(), this);
        connect(m_allPositionsWindow, &KillKeepWindow::detailListRequested, this,
                &MainWindow::showDetailList);
    }
    return general ? static_cast<KillKeepWindow*>(m_rankingWindow) : m_allPositionsWindow;
}

void MainWindow::calculate()
{
    if (!requireDatabase())
        return;
    const auto& draws = m_workspace->history().draws();
    if (draws.empty()) {
        reportError(QStringLiteral("没有历史号码，无法计算公式。"));
        return;
    }
    int targetRow = int(draws.size()) - 1;
    QString error;
    if (m_verifyOption->isChecked()) {
        std::vector<QString> issues;
        issues.reserve(draws.size());
        for (const DrawRecord& d : draws)
            issues.push_back(d.issue);
        if (!NextDrawCalculation::rowBeforeIssue(issues, m_checkIssueBox->text(), &targetRow, &error)) {
            reportError(error);
            return;
        }
    }
    NextDrawCalculation::Options options;
    options.general = !m_kind.single;
    options.kill = m_kill;
    options.bestMethod = !m_selectedMethodOption->isChecked();
    if (options.bestMethod) {
        if (!m_sortWindow)
            m_sortWindow = new FormulaSortWindow(this);
        const FormulaSortChoice choice = m_sortWindow->ask();
        if (!choice.hasFirstKey())
            return;
        options.keys = choice.keys;
        options.limit = choice.limit;
    }
    BusyCursor busy;
    // 通选: the current table; 单选: the single-selection tables from 个位 up to the current position,
    // each voting for its own position. The grid's flags apply to the current table; the other
    // tables are loaded afresh, which selects all their formulas.
    std::vector<FormulaKind> kinds;
    if (options.general)
        kinds.push_back(m_kind);
    else
        for (int p = 1; p <= m_kind.position; ++p)
            kinds.push_back({p, true});
    VoteTally tally;
    for (const FormulaKind& kind : kinds) {
        CalculationTable table;
        table.position = options.general ? VoteTally::kGeneralPosition : kind.position;
        if (!m_formulaStore->loadSubset(kind, m_kill, &table.formulas, &error)) {
            reportError(error);
            return;
        }
        table.compiled = BacktestRunner::compileAll(table.formulas);
        table.selected.assign(table.formulas.size(), true);
        if (kind == m_kind) {
            QHash<qint64, bool> flags;
            for (int r = 0; r < m_formulaModel->rowCount(); ++r)
                flags.insert(m_formulaModel->formulaAt(r).rowId, m_formulaModel->isSelected(r));
            for (size_t i = 0; i < table.formulas.size(); ++i)
                table.selected[i] = flags.value(table.formulas[i].rowId, true);
        }
        NextDrawCalculation::run(m_columns, targetRow, table, options,
                                 [&tally](int position, int value) { tally.vote(position, value); });
        if (!m_kill)
            tally.moveKillToKeep(table.position);
    }
    KillKeepWindow* window = rankingWindowFor(options.general);
    if (options.general)
        m_rankingWindow->activate(tally, m_kill, m_kind.position, !options.bestMethod);
    else
        m_allPositionsWindow->activate(tally, m_kill, m_kind.position, !options.bestMethod);
    window->show();
    window->raise();
}

void MainWindow::showDetailList()
{
    std::vector<DetailListRow> rows;
    auto text = [this](int row, int column) {
        return m_formulaModel->data(m_formulaModel->index(row, column), Qt::DisplayRole).toString();
    };
    for (int r = 0; r < m_formulaModel->rowCount(); ++r) {
        if (!m_formulaModel->isSelected(r))
            continue;
        rows.push_back({text(r, FormulaGridModel::FormulaColumn), text(r, FormulaGridModel::KindColumn),
                        text(r, FormulaGridModel::SenseColumn), text(r, FormulaGridModel::NextValueColumn),
                        text(r, FormulaGridModel::RateColumn)});
    }
    DetailListWindow list(rows, m_workspace->dataFolder(), this);
    list.exec();
}

void MainWindow::filterFormulas()
{
    if (!m_filterWindow)
        m_filterWindow = new FormulaFilterWindow(this);
    std::vector<FormulaFigures> figures;
    for (int r = 0; r < m_formulaModel->rowCount(); ++r) {
        FormulaFigures f;
        f.idx = m_formulaModel->idxAt(r);
        if (const FormulaOutcome* o = m_formulaModel->outcomeAt(r))
            f = {f.idx,
                 o->stats.rate,
                 o->stats.maxMissRun,
                 o->stats.maxHitRun,
                 o->stats.finalMissRun,
                 o->stats.finalHitRun};
        figures.push_back(f);
    }
    std::vector<bool> flags = m_formulaModel->selectedFlags();
    if (m_filterWindow->run(figures, &flags))
        m_formulaModel->setSelectedFlags(flags);
}

void MainWindow::addTypedFormula()
{
    if (!requireDatabase())
        return;
    const TypedEntryResult r =
        FormulaTextActions::addTyped(this, *m_workspace, m_formulaInput->text(), m_kind, m_kill);
    if (!r.added) {
        m_formulaInput->setFocus();
        return;
    }
    selectKind(r.kind, r.kill);
    m_formulaInput->clear();
    refreshChain(true);
}

void MainWindow::importFormulaFile()
{
    if (!requireDatabase())
        return;
    QString path;
    if (!MessageBoxes::openFile(this, QStringLiteral("读取公式文本"),
                                FormulaTextActions::importFolder(*m_workspace),
                                QStringLiteral("Text (*.txt)"), &path))
        return;
    FormulaTextActions::importChosenFile(this, *m_workspace, path, m_kind, &m_kill, [this] {
        (m_kill ? m_killOption : m_keepOption)->setChecked(true);
        refreshChain(true);
    });
}

void MainWindow::clearAllFormulas()
{
    if (requireDatabase() && FormulaTextActions::clearAll(this, *m_workspace))
        refreshChain(true);
}

void MainWindow::showChineseForms()
{
    if (m_formulaModel->chineseMode())
        return;
    m_viewTabs->setCurrentIndex(0);
    m_formulaModel->setChineseMode(true);
}

void MainWindow::exportAllKindsText()
{
    if (!requireDatabase())
        return;
    showChineseForms();
    FormulaTextActions::exportAllKinds(this, *m_workspace, m_kill);
}

void MainWindow::exportCurrentKindText()
{
    if (!requireDatabase())
        return;
    showChineseForms();
    std::vector<FormulaTextFile::Entry> rows;
    for (int r = 0; r < m_formulaModel->rowCount(); ++r) {
        const FormulaOutcome* o = m_formulaModel->outcomeAt(r);
        rows.push_back({m_formulaModel->formulaAt(r).gongshiCN, o ? o->stats.finalHitRun : 0});
    }
    FormulaTextActions::exportCurrentKind(this, *m_workspace, rows, m_kind, m_kill);
}

void MainWindow::openSearch()
{
    if (!requireDatabase())
        return;
    SearchWindow search(m_workspace, this);
    search.exec();
    if (search.formulasChangedFlag())
        refreshChain(true);
}

void MainWindow::updateFormulasOnline()
{
    if (!requireDatabase())
        return;
    QString summary;
    if (runOnlineFormulaUpdate(this, *m_workspace, m_kind, &m_kill, &summary)) {
        (m_kill ? m_killOption : m_keepOption)->setChecked(true);
        refreshChain(true);
    }
}

void MainWindow::sortFormulaGrid(int column)
{
    if (column < FormulaGridModel::RateColumn || column > FormulaGridModel::FinalHitColumn)
        return;
    const int rows = m_formulaModel->rowCount();
    std::vector<int> order(rows);
    std::iota(order.begin(), order.end(), 0);
    // Ascending by the figure of the last back-test; formulas without figures first, ties by idx.
    auto key = [&](int row) -> double {
        const FormulaOutcome* o = m_formulaModel->outcomeAt(row);
        if (!o)
            return -1;
        switch (column) {
        case FormulaGridModel::RateColumn:
            return o->stats.rate;
        case FormulaGridModel::MaxMissColumn:
            return o->stats.maxMissRun;
        case FormulaGridModel::MaxHitColumn:
            return o->stats.maxHitRun;
        case FormulaGridModel::FinalMissColumn:
            return o->stats.finalMissRun;
        default:
            return o->stats.finalHitRun;
        }
    };
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const double ka = key(a), kb = key(b);
        return ka != kb ? ka < kb : m_formulaModel->idxAt(a) < m_formulaModel->idxAt(b);
    });
    std::vector<FormulaRecord> sorted;
    sorted.reserve(rows);
    for (int row : order)
        sorted.push_back(m_formulaModel->formulaAt(row));
    m_formulaModel->refillFormulas(std::move(sorted));
    m_formulaModel->redrawResults();
    if (m_formulaModel->scrollsToLastRow())
        m_formulaView->scrollTo(m_formulaModel->index(rows - 1, 0), QAbstractItemView::PositionAtTop);
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

void MainWindow::onRestoreDefaults()
{
    Settings& s = m_workspace->settings();
    s.restoreDefaults();
    m_displayActions[0]->setChecked(true);
    const QSignalBlocker b1(m_excludeCurrentAction), b2(m_weightedAction);
    m_excludeCurrentAction->setChecked(true);
    m_lookBackActions[3]->setChecked(true);
    m_lookBackDraws = LookBackTable::draws(3);
    m_weightedAction->setChecked(true);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    // Typing an issue to verify chooses "验证历史结果".
    if (watched == m_checkIssueBox && event->type() == QEvent::FocusIn)
        m_verifyOption->setChecked(true);
    const auto box = std::find(m_numberBoxes.begin(), m_numberBoxes.end(), watched);
    if (box == m_numberBoxes.end())
        return QMainWindow::eventFilter(watched, event);
    const int i = int(box - m_numberBoxes.begin());
    if (event->type() == QEvent::FocusIn && i == 0) {
        for (QLineEdit* e : m_numberBoxes)
            e->clear();
    } else if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        if (text.size() == 1 && text[0].isDigit()) {
            m_numberBoxes[i]->setText(text);
            if (i < 2)
                m_numberBoxes[i + 1]->setFocus();
            else
                submitTypedDraw();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::submitTypedDraw()
{
    if (!requireDatabase())
        return;
    std::array<int, 3> numbers{};
    for (int i = 0; i < 3; ++i)
        numbers[i] = m_numberBoxes[i]->text().toInt(); // a box that holds no number reads as 0
    QString error;
    {
        BusyCursor busy;
        if (m_workspace->history().addTyped(m_issueBox->text(), numbers, m_workspace->lottery().drawsPerDay,
                                            &error)) {
            refreshAfterHistoryChange();
            m_numberBoxes[0]->setFocus();
            for (QLineEdit* e : m_numberBoxes)
                e->clear();
            return;
        }
    }
    reportError(error);
}

void MainWindow::compactAfterDeletion()
{
    QString error;
    if (!m_workspace->compact(&error))
        reportError(error);
}

void MainWindow::deleteLastDraw()
{
    if (!requireDatabase())
        return;
    QString error;
    if (m_workspace->history().deleteLast(1, &error) < 0)
        reportError(error);
    refreshAfterHistoryChange();
    m_numberBoxes[0]->setFocus();
}

void MainWindow::deleteAllDraws()
{
    if (!requireDatabase())
        return;
    if (!MessageBoxes::question(this, QStringLiteral("删除所有历史"),
                                QStringLiteral("确定要删除所有历史号码吗？此操作不能撤销。")))
        return;
    QString error;
    {
        BusyCursor busy;
        if (m_workspace->history().deleteAll(&error) >= 0) {
            fillFormulaGrid();
            fillHistoryGrid();
            return;
        }
    }
    reportError(error);
}

void MainWindow::deleteToChosenIssue()
{
    if (!requireDatabase())
        return;
    // Before any row was clicked there is no sensible default: an answer such as "-2" would
    // sort before every issue and delete the whole history.
    const QString suggestion = m_clickedIssue > 0 ? QString::number(m_clickedIssue - 1) : QString();
    QString answer;
    if (!MessageBoxes::input(this, QStringLiteral("删除期数"),
                             QStringLiteral("请输入需要删除到的期数(保留到该期），例如‘160121001’"),
                             suggestion, &answer))
        return;
    answer = answer.trimmed();
    const bool digitsOnly =
        !answer.isEmpty() && std::all_of(answer.begin(), answer.end(), [](QChar c) { return c.isDigit(); });
    if (!digitsOnly || answer.right(3).toInt() == 0)
        return;
    QString error;
    BusyCursor busy;
    const int removed = m_workspace->history().deleteAfter(answer, &error);
    if (removed < 0) {
        reportError(error);
        return;
    }
    compactAfterDeletion();
    refreshChain(true);
    showNextIssue();
}

void MainWindow::deleteLastCount()
{
    if (!requireDatabase())
        return;
    QString answer;
    if (!MessageBoxes::input(
            this, QStringLiteral("删除期数"),
            QStringLiteral("请输入需要删除最后多少期历史号码（例如输入3，那么就将删除最后的3期历史号码）"),
            QStringLiteral("1"), &answer))
        return;
    const int count = answer.trimmed().toInt(); // not a number counts as 0
    if (count <= 0)
        return;
    QString error;
    BusyCursor busy;
    if (m_workspace->history().deleteLast(count, &error) < 0) {
        reportError(error);
        return;
    }
    compactAfterDeletion();
    refreshChain(true);
    showNextIssue();
}

void MainWindow::exportHistoryText()
{
    if (!requireDatabase())
        return;
    const QString path = HistoryTextFile::exportPath(m_workspace->dataFolder(), m_checkIssueBox->text());
    QString error;
    if (!HistoryTextFile::write(path, m_workspace->history().draws(), &error)) {
        reportError(error);
        return;
    }
    if (!DesktopOpener::open(path))
        reportError(QStringLiteral("文件已保存为“%1”，但没有找到可以打开它的程序。")
                        .arg(QDir::toNativeSeparators(path)));
}

void MainWindow::exportHistoryWorkbook()
{
    if (!MessageBoxes::question(
            this, QStringLiteral("查询等待确认"),
            QStringLiteral(
                "将本表导出到EXCEL，因为公式每一期验证数据较多可能需要数分钟，确认需要执行并等待吗？")))
        return;
    BusyCursor busy;
    // The workbook names the formula columns by their Chinese form, which the grid has no room for.
    const VerificationBlock& block = m_historyModel->verificationBlock();
    const auto header = [this, &block](int column) {
        const int row = column >= HistoryGridModel::kFixedColumns
                            ? block.numberAt(column - HistoryGridModel::kFixedColumns) - 1
                            : -1;
        return row >= 0 && row < m_formulaModel->rowCount()
                   ? m_formulaModel->formulaAt(row).gongshiCN
                   : m_historyModel->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    };
    GridExport::exportAndOpen(this, *m_historyModel,
                              QDir(m_workspace->dataFolder()).filePath(QStringLiteral("lishi.xlsx")), header);
}

void MainWindow::updateHistoryOnline()
{
    if (!requireDatabase())
        return;
    QString summary;
    if (runOnlineHistoryUpdate(this, *m_workspace, &summary))
        refreshAfterHistoryChange();
}

void MainWindow::openHelp(HelpLinks::Link link)
{
    static const char* const what[] = {"使用说明文档", "演示说明录像", "幻灯图示说明"};
    const QString name = QString::fromUtf8(what[int(link)]);
    const QString address = HelpLinks::address(m_workspace->settings(), link);
    if (address.isEmpty()) {
        MessageBoxes::information(
            this, name,
            QStringLiteral("还没有%1的地址。可以在设置文件 %2 的 [IniSetting] 节中用 %3 指定网址或文件；"
                           "使用说明请看程序附带的 README.md。")
                .arg(name, QDir::toNativeSeparators(m_workspace->settings().fileName()),
                     HelpLinks::settingKey(link)));
        return;
    }
    if (!DesktopOpener::openAddress(address))
        reportError(QStringLiteral("无法打开%1“%2”：没有找到可以打开它的程序。").arg(name, address));
}

void MainWindow::openReferenceWindow()
{
    if (!m_referenceWindow)
        m_referenceWindow = new ParameterReferenceWindow(this);
    m_referenceWindow->showDraw(m_workspace->history().newest());
    m_referenceWindow->show();
    m_referenceWindow->raise();
}

void MainWindow::rememberClickedRow(int row)
{
    const DrawRecord* draw = m_historyModel->drawAt(row);
    if (!draw)
        return;
    bool ok = false;
    const qlonglong issue = draw->issue.right(10).toLongLong(&ok);
    m_clickedIssue = ok ? issue : 0;
}

ParameterReferenceWindow* MainWindow::referenceWindow() const
{
    return m_referenceWindow;
}
