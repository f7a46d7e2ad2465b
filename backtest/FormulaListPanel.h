#pragma once

#include "formula/FormulaKind.h"

#include <QWidget>
#include <memory>
#include <optional>

class AnalysisSession;
class CalculationStepsWindow;
class DatabaseGuard;
class FormulaFilterWindow;
class FormulaGridColumns;
class FormulaGridModel;
class FormulaTableStore;
class PositionHistoryWindow;
class QLabel;
class QLineEdit;
class QMenu;
class QTabBar;
class QTableView;
class Workspace;

// The formula list of the main window: the view strip (公式中文显示 / 公式英文显示), the line
// comparing the back-test with pure chance, the formula grid (MSFlexGrid2) with its back-test
// figures, the selection buttons, the box for typing a formula (Text2) and the 管理 menu, which
// the grid also opens on its right button (export, the calculation steps and the trend chart of
// one formula, deletions, the deletion of equivalent formulas). A double click on a figure column sorts the
// list.
//
// The panel shows the subset of the session's kind and sense (the sense takes effect at the next
// reload) over the session's history and options. After it changed the stored formulas it tells
// the session; like every other change of the formulas that session announces, the list then
// shows them afresh, and the window goes on with its refresh chain.
class FormulaListPanel : public QWidget
{
    Q_OBJECT
public:
    // `session` and `database` outlive the panel.
    FormulaListPanel(AnalysisSession* session, const DatabaseGuard* database, QWidget* parent = nullptr);
    ~FormulaListPanel() override;

    FormulaGridModel* model() const { return m_model; }
    // The sense of the formulas listed now (the session's sense as it was at the last reload).
    bool shownSense() const { return m_shownKill; }
    void scrollToLastRow();
    // Scrolls the grid to its last row when it holds 30 rows or more (the header row included).
    void scrollToLastRowWhenLong();
    // 管理: the main window puts it into its menu bar.
    QMenu* menu() const { return m_menu; }
    CalculationStepsWindow* stepsWindow() const { return m_stepsWindow; }
    FormulaFilterWindow* filterWindow() const { return m_filterWindow; }
    PositionHistoryWindow* positionHistoryWindow() const { return m_positionHistoryWindow; }

    // Lists the current subset afresh, every formula selected, without figures.
    void showFormulas();
    enum class BacktestOutcome
    {
        NotRun,
        Cancelled,
        Done
    };
    // Back-tests the listed subset with the session's options behind a progress dialog, finds its
    // equivalent formulas, writes the figures back and shows them with the summary line against
    // chance.
    BacktestOutcome runBacktest();
    // "显示机会对比" (the session's option, followed by the panel): shows or hides the 机会率, 超出 and p值
    // columns and the summary line.
    void setChanceComparisonShown(bool shown);
    bool chanceComparisonShown() const { return m_chanceShown; }
    // The summary line above the grid (empty before the first back-test).
    QLabel* summaryLabel() const { return m_summary; }

    // Empties the box for typing a formula: a file import that added formulas does so.
    void clearInput();
    // The row of the formula last clicked (outside the 公式 column, where a click selects) or
    // right-clicked, found again by its idx whatever order the list shows; -1 when none was chosen
    // or it is no longer listed. Choosing never changes the selection.
    int chartRow() const;

    // The handlers of the main window's buttons.
    void filterFormulas();        // "公式过滤设置"
    void buildPastRanking();      // "公式往期位置值结果列表"
    void exportAllKindsText();    // "所有类公式中文导出"
    void exportCurrentKindText(); // "所选类公式中文导出"

signals:
    // 管理 → "查看该公式走势图" on grid row `row`: the window shows that formula's trend chart.
    void trendChartRequested(int row);
    // A click or right-click chose the formula of grid row `row` for the trend chart.
    void chartFormulaChosen(int row);
    // An action on the list wants the list of the window's current kind and sense: the window
    // reloads it (and back-tests) before the action goes on.
    void currentListWanted();

private:
    enum class DeleteMode
    {
        UnderMouse,
        Last,
        Selected,
        Unselected
    };
    void buildMenu();
    void onGridClicked(const QModelIndex& index);
    void sortByColumn(int column);
    // Tells the session the list shown now, in its order: the history grid's verification columns
    // number the formulas as the grid does.
    void announceShownList();
    void sizeColumns();
    void rememberFormulaAt(int row);
    void chooseChartFormula(int row);
    // The row of the formula remembered at the last right-click; -1, after telling the user,
    // when none was right-clicked or that formula is no longer listed.
    int rememberedRow();
    void showChineseForms();
    void showCalculationSteps();
    void addTypedFormula();
    void deleteFormulas(DeleteMode mode);
    // "删除等价公式(&Q)".
    void deleteEquivalentFormulas();
    // After a deletion: compacts the database (a failure is only reported: the deletion is kept)
    // and tells the session that the formulas changed.
    void compactAndAnnounce();
    // One back-test; none when another program changed the table before the figures were written
    // back and this is not the last attempt.
    std::optional<BacktestOutcome> runBacktestOnce(bool lastAttempt);

    AnalysisSession* m_session;
    Workspace* m_workspace;
    const DatabaseGuard* m_database;
    FormulaGridModel* m_model;
    std::unique_ptr<FormulaTableStore> m_store;
    bool m_shownKill = true;
    // The formula under the last right-click, found again by its idx (and text) whatever order the
    // list shows: the 管理 entries that act on one formula act on this one.
    struct RememberedFormula
    {
        FormulaKind kind;
        bool kill = true;
        int idx = 0;
        QString gongshi;
        QString gongshiCN;
    };
    std::optional<RememberedFormula> m_remembered;
    std::optional<RememberedFormula> m_chartFormula; // last clicked or right-clicked
    // The row of `r` in the list shown, or -1.
    int rowOf(const RememberedFormula& r) const;
    bool m_chanceShown = true;
    bool m_toldNotStored = false; // a read-only database: said once that figures are not stored

    QMenu* m_menu = nullptr;
    QTabBar* m_viewTabs = nullptr;
    QLabel* m_summary = nullptr;
    QTableView* m_view = nullptr;
    FormulaGridColumns* m_columns = nullptr;
    QLineEdit* m_input = nullptr; // Text2
    CalculationStepsWindow* m_stepsWindow = nullptr;
    FormulaFilterWindow* m_filterWindow = nullptr;
    PositionHistoryWindow* m_positionHistoryWindow = nullptr;
};
