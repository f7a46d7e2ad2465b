#pragma once

#include "app/HelpLinks.h"
#include "backtest/HistoryColumns.h"
#include "formula/FormulaKind.h"

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <memory>

class QAction;
class QActionGroup;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QCheckBox;
class QScrollBar;
class QTabBar;
class CalculationStepsWindow;
class PositionHistoryWindow;
class AllPositionsRankingWindow;
class FormulaFilterWindow;
class FormulaSortWindow;
class KillKeepWindow;
class RankingWindow;
class QTableView;
class FormulaGridModel;
class FormulaTableStore;
class HistoryGridModel;
class ParameterReferenceWindow;
class Workspace;

// The main window: the history grid, manual entry of draws, the kind options and the three
// menus (设置, 管理, 历史管理). It owns the current kind and the display switches; the data
// lives in the Workspace.
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
    QString formulaTable() const;
    QString kindLabel() const;
    int lookBackDraws() const { return m_lookBackDraws; }
    bool databaseOpen() const { return m_databaseOpen; }

    HistoryGridModel* historyModel() const { return m_historyModel; }
    FormulaGridModel* formulaModel() const { return m_formulaModel; }
    // How many back-tests have finished (tests wait on it).
    int backtestRuns() const { return m_backtestRuns; }
    ParameterReferenceWindow* referenceWindow() const;
    RankingWindow* rankingWindow() const { return m_rankingWindow; }
    AllPositionsRankingWindow* allPositionsWindow() const { return m_allPositionsWindow; }
    FormulaSortWindow* sortWindow() const { return m_sortWindow; }
    FormulaFilterWindow* filterWindow() const { return m_filterWindow; }
    PositionHistoryWindow* positionHistoryWindow() const { return m_positionHistoryWindow; }
    CalculationStepsWindow* stepsWindow() const { return m_stepsWindow; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildMenus();
    void buildControls();
    QGroupBox* buildEntryBox();
    QPushButton* addButton(const char* objectName, const QString& caption, const QString& tooltip = QString());
    void startUp();

    QWidget* buildFormulaArea();
    // The refresh chain after a change of the history or of the formula set: refill the formula
    // grid (when the formulas changed), the history grid, then back-test.
    void refreshChain(bool formulasChanged);
    void refreshAfterHistoryChange();
    void fillFormulaGrid();
    void sizeFormulaColumns();
    void runBacktest();
    void onFormulaGridClicked(const QModelIndex& index);
    void sortFormulaGrid(int column);
    void selectKind(const FormulaKind& kind, bool kill);
    void calculate();
    void showVerificationColumns();
    void buildPastRanking();
    void showCalculationSteps();
    void filterFormulas();
    void showDetailList();
    KillKeepWindow* rankingWindowFor(bool general);
    void addTypedFormula();
    void importFormulaFile();
    void clearAllFormulas();
    void showChineseForms();
    void exportAllKindsText();
    void exportCurrentKindText();
    void updateFormulasOnline();
    void openSearch();
    enum class DeleteMode { UnderMouse, Last, Selected, Unselected };
    void deleteFormulas(DeleteMode mode);
    void fillHistoryGrid();
    void showNextIssue();
    void applyEmphasis();
    void scrollHistoryToEnd();

    void onPositionClicked(int position);
    void onSelectionClicked(bool single);
    void onLotteryChosen(int index);
    void onLookBackChosen(int index);
    void onRestoreDefaults();
    void submitTypedDraw();
    void deleteLastDraw();
    void deleteAllDraws();
    void deleteToChosenIssue();
    void deleteLastCount();
    void exportHistoryText();
    void exportHistoryWorkbook();
    void updateHistoryOnline();
    void openReferenceWindow();
    void openHelp(HelpLinks::Link link);
    void rememberClickedRow(int row);
    bool requireDatabase();
    void compactAfterDeletion();
    void reportError(const QString& text);

    Workspace* m_workspace;
    QString m_startupError;
    bool m_databaseOpen = false;
    bool m_startupErrorShown = false;

    FormulaKind m_kind;
    bool m_kill = true;
    int m_lookBackDraws = 0;
    qlonglong m_clickedIssue = -1;
    int m_contextRow = -1; // formula grid row under the last right-click
    QString m_issueBoxText; // remembered for the names of exported files

    HistoryGridModel* m_historyModel;
    FormulaGridModel* m_formulaModel;
    std::unique_ptr<FormulaTableStore> m_formulaStore;
    HistoryColumns m_columns;
    int m_backtestRuns = 0;
    QTableView* m_formulaView = nullptr;
    QTabBar* m_viewTabs = nullptr;
    QLineEdit* m_formulaInput = nullptr; // Text2
    QGridLayout* m_buttonGrid = nullptr;
    int m_buttonCount = 0;
    QTableView* m_historyView = nullptr;
    QLineEdit* m_issueBox = nullptr;      // Text1: issue of the draw to enter next
    QLineEdit* m_checkIssueBox = nullptr; // Text3: newest stored issue
    std::array<QLineEdit*, 3> m_numberBoxes{};
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
    QMenu* m_manageMenu = nullptr;
    QMenu* m_historyMenu = nullptr;
    std::array<QAction*, 2> m_displayActions{};
    QAction* m_excludeCurrentAction = nullptr;
    QAction* m_weightedAction = nullptr;
    std::array<QAction*, 10> m_lookBackActions{};
    std::array<QAction*, 15> m_lotteryActions{};

    QPointer<ParameterReferenceWindow> m_referenceWindow;
    RankingWindow* m_rankingWindow = nullptr;
    AllPositionsRankingWindow* m_allPositionsWindow = nullptr;
    FormulaSortWindow* m_sortWindow = nullptr;
    FormulaFilterWindow* m_filterWindow = nullptr;
    PositionHistoryWindow* m_positionHistoryWindow = nullptr;
    CalculationStepsWindow* m_stepsWindow = nullptr;
    QCheckBox* m_verificationCheck = nullptr; // Check1
    QScrollBar* m_verificationScroll = nullptr; // HScroll1
};
