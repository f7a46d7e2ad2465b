#pragma once

#include <QObject>
#include <array>

class AnalysisSession;
class OnlineSourcesDialog;
class QAction;
class QMenu;
class QWidget;
struct AnalysisOptions;

// The main window's 设置 menu (also opened by "软件设置(&T)"): where the history list shows the
// formulas' verification, the look-back entries and "检索期数前溯不含当前期", the weighting, the
// chance comparison, the hold-out, the publication order, the update's search days, the online
// sources, the lottery, the backups and "恢复默认设置(&R)".
//
// The options every figure depends on are the session's: the menu changes them through the
// session and shows its checks from the session's options, whoever changed them.
class SettingsMenu : public QObject
{
    Q_OBJECT
public:
    // `window` is the parent of the menu and of the dialogs it opens.
    SettingsMenu(AnalysisSession* session, QWidget* window);

    QMenu* menu() const { return m_menu; }
    // At start-up: the stored lottery becomes the workspace's, and the checks show the settings.
    void startUp();
    // The "在线数据源设置..." dialog while it is open (tests drive it), else null.
    OnlineSourcesDialog* sourcesDialog() const { return m_sourcesDialog; }

private:
    void buildLookBackMenu();
    void buildLotteryMenu();
    void showOptions(const AnalysisOptions& options);
    // Changes one option through the session.
    template <typename Change> void changeOptions(Change change);
    void chooseLottery(int index);
    void chooseHoldOut();
    void chooseDrawOrder();
    void openSourcesDialog();
    void restoreDefaults();

    AnalysisSession* m_session;
    QWidget* m_window;
    QMenu* m_menu;
    std::array<QAction*, 2> m_displayActions{};
    QAction* m_excludeCurrentAction = nullptr;
    QAction* m_weightedAction = nullptr;
    QAction* m_chanceAction = nullptr; // 显示机会对比 ("JHDB")
    std::array<QAction*, 10> m_lookBackActions{};
    std::array<QAction*, 15> m_lotteryActions{};
    OnlineSourcesDialog* m_sourcesDialog = nullptr; // while "在线数据源设置..." is open
};
