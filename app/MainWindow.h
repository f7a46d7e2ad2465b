#pragma once

#include "app/HelpLinks.h"
#include "backtest/AnalysisSession.h"
#include "formula/FormulaKind.h"
#include "ui/DatabaseGuard.h"

#include <QMainWindow>
#include <QPointer>

class AllPositionsRankingWindow;
class KindPicker;
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
class QGridLayout;
class QLabel;
class QLineEdit;
class QRadioButton;
class RankingWindow;
class ReplayWindow;
class SettingsMenu;
class TrendChartWindow;
class Workspace;

// The main window: the formula list (left), the history (right), the buttons and option frames
// below the list, and the three menus (设置, 管理, 历史管理). It creates the analysis session the
// panels and the other windows share (kind, sense, the history's column copy, the options) and
// runs the refresh chain of its panels whenever the session announces a change of the history, the
// formulas, the kind or the options. The data lives in the Workspace.
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

    AnalysisSession* session() const { return m_session; }
    // Current kind: position 1 = 个位, 2 = 十位, 3 = 百位; single (单选) or general (通选).
    const FormulaKind& kind() const { return m_session->kind(); }
    int position() const { return kind().position; }
    bool singleSelection() const { return kind().single; }
    bool killSense() const { return m_session->kill(); }
    QString formulaTable() const { return kind().tableName(); }
    QString kindLabel() const { return kind().selectionLabel(); }
    int lookBackDraws() const { return m_session->options().lookBackDraws(); }
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
    void connectSession();
    void buildMenus();
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
    // The session's history changed: the chain, or without draws left only both grids shown again.
    void onHistoryChanged();
    void onKindChosen(const FormulaKind& kind);
    void onOptionsChanged(const AnalysisOptions& previous);

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
    void openHelp(HelpLinks::Link link);
    void reportError(const QString& text);

    Workspace* m_workspace;
    DatabaseGuard m_database;
    bool m_startupErrorShown = false;

    AnalysisSession* m_session;
    int m_backtestRuns = 0;

    FormulaListPanel* m_formulaPanel;
    HistoryPanel* m_historyPanel;
    KillKeepCalculation* m_calculation;

    QLineEdit* m_checkIssueBox = nullptr; // Text3: newest stored issue, or the issue to verify
    KindPicker* m_kindPicker = nullptr;
    QRadioButton* m_verifyOption = nullptr;
    QRadioButton* m_bestMethodOption = nullptr;
    QRadioButton* m_selectedMethodOption = nullptr;
    QLabel* m_dataFolderLabel = nullptr;

    SettingsMenu* m_settingsMenu = nullptr;

    QPointer<ParameterReferenceWindow> m_referenceWindow;
    QPointer<TrendChartWindow> m_trendWindow;
};
