#pragma once

#include "app/HelpLinks.h"
#include "formula/FormulaKind.h"
#include "history/HistoryColumns.h"
#include "ui/DatabaseGuard.h"

#include <QMainWindow>
#include <QPointer>
#include <array>

class AllPositionsRankingWindow;
class CalculationStepsWindow;
class FormulaFilterWindow;
class FormulaGridModel;
class FormulaListPanel;
class FormulaSortWindow;
class HistoryGridModel;
class HistoryPanel;
class KillKeepCalculation;
class OnlineSourcesDialog;
class ParameterReferenceWindow;
class PositionHistoryWindow;
class QAction;
class QGridLayout;
class QLabel;
class QLineEdit;
class QMenu;
class QRadioButton;
class RankingWindow;
class ReplayWindow;
class TrendChartWindow;
class Workspace;

// The main window: the formula list (left), the history (right), the buttons and option frames
// below the list, and the three menus (设置, 管理, 历史管理). It composes the two panels, owns the
// current kind, sense and look-back, and runs the refresh chain when either panel changed the
// stored data. The data lives in the Workspace.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    // `startupError` is shown once the window is up (for example a database that could not be
    // opened); the window then stays usable without stored data.
    MainWindow(Workspace* workspace, const QString& startupError, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Shows the window at a size that suits the screen: maximised where the screen is smaller
    // than the window's comfortable size, otherwise at that size.
    void showForScreen();

    // Current kind: position 1 = 个位, 2 = 十位, 3 = 百位; single (单选) or general (通选).
    const FormulaKind& kind() const { return m_kind; }
    int position() const { return m_kind.position; }
    bool singleSelection() const { return m_kind.single; }
    bool killSense() const { return m_kill; }
    QString formulaTable() const { return m_kind.tableName(); }
    QString kindLabel() const { return m_kind.selectionLabel(); }
    int lookBackDraws() const { return m_lookBackDraws; }
    bool databaseOpen() const { return m_database.isOpen(); }

    FormulaListPanel* formulaPanel() const { return m_formulaPanel; }
    HistoryPanel* historyPanel() const { return m_historyPanel; }
    HistoryGridModel* historyModel() const;
    FormulaGridModel* formulaModel() const;
    // How many back-tests have finished (tests wait on it).
    int backtestRuns() const { return m_backtestRuns; }
    ParameterReferenceWindow* referenceWindow() const;
    RankingWindow* rankingWindow() const;
    AllPositionsRankingWindow* allPositionsWindow() const;
    FormulaSortWindow* sortWindow() const;
    FormulaFilterWindow* filterWindow() const;
    PositionHistoryWindow* positionHistoryWindow() const;
    CalculationStepsWindow* stepsWindow() const;
    TrendChartWindow* trendWindow() const;
    // The "在线数据源设置..." dialog while it is open (tests drive it), else null.
    OnlineSourcesDialog* sourcesDialog() const;
    ReplayWindow* replayWindow() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void connectPanels();
    void buildMenus();
    void buildSettingsMenu();
    void buildControls();
    QGridLayout* buildButtons();
    QGridLayout* buildOptionFrames();
    void startUp();

    // The refresh chain after a change of the history or of the formula set: refill the formula
    // list (when the formulas changed), the history grid, then back-test.
    void refreshChain(bool formulasChanged);
    void fillHistoryGrid();
    void runBacktest();
    void showNextIssue();
    void selectKind(const FormulaKind& kind, bool kill);
    void onPositionClicked(int position);
    void onSelectionClicked(bool single);
    void onLotteryChosen(int index);
    void onLookBackChosen(int index);
    void onHoldOutChosen();
    // The publication order changed: the figures against chance and the trend charts again.
    void refreshChanceFigures();
    void onRestoreDefaults();

    void calculate();
    void openReplay();
    void showListForCalculation();
    void importFormulaFile();
    void clearAllFormulas();
    void updateFormulasOnline();
    void openSearch();
    void openReferenceWindow();
    // "走势图(&G)" (row: the formula last clicked or right-clicked, -1 for none) and 管理 →
    // "查看该公式走势图" (the row under the mouse, shown on the formula tab).
    void openTrendWindow(int formulaRow, bool showFormula);
    // The trend window's formula becomes grid row `formulaRow`'s (when there is such a row).
    void showTrendFormula(int formulaRow);
    void openSourcesDialog();
    void openHelp(HelpLinks::Link link);
    void reportError(const QString& text);

    Workspace* m_workspace;
    DatabaseGuard m_database;
    bool m_startupErrorShown = false;

    FormulaKind m_kind;
    bool m_kill = true;
    int m_lookBackDraws = 0;
    HistoryColumns m_columns; // the draws laid out for the back-test and the calculation
    int m_backtestRuns = 0;

    FormulaListPanel* m_formulaPanel;
    HistoryPanel* m_historyPanel;
    KillKeepCalculation* m_calculation;

    QLineEdit* m_checkIssueBox = nullptr; // Text3: newest stored issue, or the issue to verify
    std::array<QRadioButton*, 3> m_positionOptions{};
    QRadioButton* m_singleOption = nullptr;
    QRadioButton* m_generalOption = nullptr;
    QRadioButton* m_killOption = nullptr;
    QRadioButton* m_keepOption = nullptr;
    QRadioButton* m_verifyOption = nullptr;
    QRadioButton* m_bestMethodOption = nullptr;
    QRadioButton* m_selectedMethodOption = nullptr;
    QLabel* m_dataFolderLabel = nullptr;

    QMenu* m_settingsMenu = nullptr;
    std::array<QAction*, 2> m_displayActions{};
    QAction* m_excludeCurrentAction = nullptr;
    QAction* m_weightedAction = nullptr;
    QAction* m_chanceAction = nullptr; // 显示机会对比 ("JHDB")
    std::array<QAction*, 10> m_lookBackActions{};
    std::array<QAction*, 15> m_lotteryActions{};

    QPointer<ParameterReferenceWindow> m_referenceWindow;
    QPointer<TrendChartWindow> m_trendWindow;
    OnlineSourcesDialog* m_sourcesDialog = nullptr; // while "在线数据源设置..." is open
};
