#include "app/SettingsMenu.h"

#include "app/OnlineSourcesDialog.h"
#include "backtest/AnalysisSession.h"
#include "backtest/DrawOrderDialog.h"
#include "backtest/HoldOutDialog.h"
#include "history/BackupDialog.h"
#include "history/LotteryTable.h"
#include "history/ResultsPageAddress.h"
#include "history/SearchDaysDialog.h"
#include "history/Workspace.h"

#include <QActionGroup>
#include <QMenu>
#include <QSignalBlocker>

SettingsMenu::SettingsMenu(AnalysisSession* session, QWidget* window)
    : QObject(window), m_session(session), m_window(window), m_menu(new QMenu(QStringLiteral("设置"), window))
{
    Settings& settings = m_session->workspace().settings();
    auto* displayGroup = new QActionGroup(this);
    m_displayActions[0] = m_menu->addAction(QStringLiteral("历史列表公式验算结果显示在下期(&N)"));
    m_displayActions[1] = m_menu->addAction(QStringLiteral("历史列表公式验算结果显示在当期(&T)"));
    for (int i = 0; i < 2; ++i) {
        m_displayActions[i]->setObjectName(QStringLiteral("mnuYsXs%1").arg(i));
        m_displayActions[i]->setCheckable(true);
        displayGroup->addAction(m_displayActions[i]);
        connect(m_displayActions[i], &QAction::triggered, this,
                [&settings, i] { settings.setResultsOnCurrentDraw(i == 1); });
    }
    m_menu->addSeparator();
    buildLookBackMenu();

    m_weightedAction = m_menu->addAction(QStringLiteral("正确率使用期数加权算法(&A)"));
    m_weightedAction->setObjectName("mnuZqlJq");
    m_weightedAction->setCheckable(true);
    connect(m_weightedAction, &QAction::toggled, this,
            [this](bool on) { changeOptions([on](AnalysisOptions& o) { o.weighted = on; }); });

    m_chanceAction = m_menu->addAction(QStringLiteral("显示机会对比"));
    m_chanceAction->setObjectName("mnuJhdb");
    m_chanceAction->setCheckable(true);
    m_chanceAction->setToolTip(QStringLiteral("在公式列表中显示机会率、超出、p值和与运气相比的小结"));
    connect(m_chanceAction, &QAction::toggled, this,
            [this](bool on) { changeOptions([on](AnalysisOptions& o) { o.showChance = on; }); });

    QAction* holdOut = m_menu->addAction(QStringLiteral("留出检验期数设置(&H)..."));
    holdOut->setObjectName("mnuHoldOut");
    holdOut->setToolTip(
        QStringLiteral("把最新的几期留作检验：统计和搜索都不用它们，再看公式在这几期上的正确率"));
    connect(holdOut, &QAction::triggered, this, &SettingsMenu::chooseHoldOut);
    QAction* order = m_menu->addAction(QStringLiteral("开奖号码顺序..."));
    order->setObjectName("mnuDrawOrder");
    order->setToolTip(QStringLiteral("开奖号码是按从小到大还是按开出顺序公布的：机会率、超出和p值按它计算"));
    connect(order, &QAction::triggered, this, &SettingsMenu::chooseDrawOrder);

    QAction* days = m_menu->addAction(QStringLiteral("历史号码更新检索天数设置(&D)"));
    days->setObjectName("mnuSetDay");
    connect(days, &QAction::triggered, this,
            [this, &settings] { SearchDaysDialog::ask(m_window, settings); });
    QAction* sources = m_menu->addAction(ResultsPageAddress::sourcesEntry());
    sources->setObjectName("mnuSources");
    connect(sources, &QAction::triggered, this, &SettingsMenu::openSourcesDialog);

    buildLotteryMenu();
    BackupDialog::addSettingsEntry(m_menu, &settings);
    QAction* restore = m_menu->addAction(QStringLiteral("恢复默认设置(&R)"));
    restore->setObjectName("meuHfmr");
    connect(restore, &QAction::triggered, this, &SettingsMenu::restoreDefaults);

    // The checks follow the session's options, whoever changed them.
    connect(m_session, &AnalysisSession::optionsChanged, this, [this] { showOptions(m_session->options()); });
}

void SettingsMenu::buildLookBackMenu()
{
    QMenu* lookBack = m_menu->addMenu(QStringLiteral("检索期数设置(&Q)"));
    m_excludeCurrentAction = lookBack->addAction(QStringLiteral("检索期数前溯不含当前期"));
    m_excludeCurrentAction->setObjectName("mnuBuhan");
    m_excludeCurrentAction->setCheckable(true);
    connect(m_excludeCurrentAction, &QAction::toggled, this,
            [this](bool on) { changeOptions([on](AnalysisOptions& o) { o.excludeCurrent = on; }); });
    auto* lookBackGroup = new QActionGroup(this);
    lookBackGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (int i = 0; i < LookBackTable::kCount; ++i) {
        QAction* a = lookBack->addAction(LookBackTable::at(i).caption);
        a->setObjectName(QStringLiteral("mnuQs%1").arg(i));
        a->setCheckable(true);
        lookBackGroup->addAction(a);
        connect(a, &QAction::triggered, this, [this, i] {
            m_lookBackActions[i]->setChecked(true);
            changeOptions([i](AnalysisOptions& o) { o.lookBackIndex = i; });
        });
        m_lookBackActions[i] = a;
    }
    lookBack->addSeparator();
}

void SettingsMenu::buildLotteryMenu()
{
    QMenu* lotteries = m_menu->addMenu(QStringLiteral("彩种选择"));
    auto* lotteryGroup = new QActionGroup(this);
    lotteryGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (int i = 0; i < LotteryTable::kCount; ++i) {
        QAction* a = lotteries->addAction(LotteryTable::at(i).caption);
        a->setObjectName(QStringLiteral("mnuK3%1").arg(i));
        a->setCheckable(true);
        lotteryGroup->addAction(a);
        connect(a, &QAction::triggered, this, [this, i] { chooseLottery(i); });
        m_lotteryActions[i] = a;
    }
}

void SettingsMenu::startUp()
{
    Workspace& workspace = m_session->workspace();
    Settings& s = workspace.settings();
    const int lottery = s.lotteryIndex();
    workspace.setLotteryIndex(lottery);
    if (LotteryTable::isValid(lottery))
        m_lotteryActions[lottery]->setChecked(true);
    s.setLotteryIndex(lottery);
    m_displayActions[s.resultsOnCurrentDraw() ? 1 : 0]->setChecked(true);
    showOptions(m_session->options());
}

void SettingsMenu::showOptions(const AnalysisOptions& options)
{
    const QSignalBlocker b1(m_excludeCurrentAction), b2(m_weightedAction), b3(m_chanceAction);
    m_excludeCurrentAction->setChecked(options.excludeCurrent);
    m_weightedAction->setChecked(options.weighted);
    m_chanceAction->setChecked(options.showChance);
    if (options.lookBackIndex >= 0 && options.lookBackIndex < LookBackTable::kCount)
        m_lookBackActions[options.lookBackIndex]->setChecked(true);
}

template <typename Change> void SettingsMenu::changeOptions(Change change)
{
    AnalysisOptions options = m_session->options();
    change(options);
    m_session->setOptions(options);
}

void SettingsMenu::chooseLottery(int index)
{
    Workspace& workspace = m_session->workspace();
    workspace.setLotteryIndex(index);
    workspace.settings().setLotteryIndex(index);
    m_lotteryActions[index]->setChecked(true);
}

void SettingsMenu::chooseHoldOut()
{
    Workspace& workspace = m_session->workspace();
    // The dialog stores its answer; the session then reads it and announces a change.
    if (HoldOutDialog::ask(m_window, workspace.settings(), int(workspace.history().draws().size())))
        m_session->reloadOptions();
}

void SettingsMenu::chooseDrawOrder()
{
    if (DrawOrderDialog::ask(m_window, m_session->workspace().settings(), *m_session->columns()))
        m_session->reloadOptions();
}

void SettingsMenu::openSourcesDialog()
{
    OnlineSourcesDialog dialog(&m_session->workspace(), m_window);
    m_sourcesDialog = &dialog;
    dialog.exec();
    m_sourcesDialog = nullptr;
}

void SettingsMenu::restoreDefaults()
{
    // The session reads the restored settings and announces what changed: the figures are computed
    // again when the hold-out, the look-back or the publication order changed (the display and
    // weighting switches only take effect at the next run, as always).
    m_session->workspace().settings().restoreDefaults();
    m_displayActions[0]->setChecked(true);
    m_session->reloadOptions();
}
