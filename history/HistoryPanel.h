#pragma once

#include "history/HistoryGridModel.h"

#include <QWidget>
#include <array>
#include <functional>
#include <optional>

class DatabaseGuard;
class QCheckBox;
class QLineEdit;
class QMenu;
class QScrollBar;
class QTableView;
class Workspace;

// The right half of the main window: the history grid (MSFlexGrid1) with the formulas' per-draw
// verification columns (Check1, HScroll1), the box for typing the next draw (Text1, txtIpt1..3)
// and the 历史管理 menu, which the grid also opens on its right button.
//
// The panel changes the stored history and then says so; the main window passes that on to the
// analysis session once, upon which every window on the session follows (the main window with its
// refresh chain: formula grid, history grid, back-test, and the next issue).
class HistoryPanel : public QWidget
{
    Q_OBJECT
public:
    HistoryPanel(Workspace* workspace, const DatabaseGuard* database, QWidget* parent = nullptr);

    HistoryGridModel* model() const { return m_model; }
    // 历史管理: the main window puts it into its menu bar.
    QMenu* menu() const { return m_menu; }

    // Shows the stored draws again (after every change of the history). The number columns the
    // current kind predicts are emphasised: `position` 1 个位, 2 十位, 3 百位; a single selection
    // its own column, a general one the columns from it to 个位.
    void showDraws(int position, bool single);
    // Text1 proposes the issue after the newest stored draw (kept as it is with an empty history).
    void showNextIssue();

    // Where the verification columns come from: how many formulas the list holds, and the block
    // of columns a scroll value shows.
    struct VerificationSource
    {
        std::function<int()> formulaCount;
        std::function<VerificationBlock(int scrollValue)> block;
    };
    void setVerificationSource(VerificationSource source) { m_verification = std::move(source); }
    // After a back-test: while the columns are shown, the scroll range and the columns follow the
    // new list.
    void refreshVerification();
    // For the workbook's headers: the Chinese form of formula number n, or nothing when the list
    // holds no such formula.
    void setFormulaNames(std::function<std::optional<QString>(int number)> names)
    {
        m_formulaName = std::move(names);
    }

    // The handlers of the main window's buttons and of the 历史管理 menu.
    void exportWorkbook(); // "导出列表到Excel", "导出历史号码(&O)"
    // "历史号码导出文本文件(&X)": the file is named after `newestIssue`, the issue the window shows.
    void exportText(const QString& newestIssue);
    void deleteLastDraw();
    void deleteAllDraws();
    void deleteToChosenIssue();
    void deleteLastCount();
    // "从文件导入历史号码(&I)...", "粘贴历史号码(&P)": the import preview, then the draws it stores.
    void importFromFile();
    void pasteDraws();
    void updateOnline();
    // "恢复备份(&B)...": the backups, and the restore of the one chosen.
    void restoreBackup();

signals:
    // Draws were added or the newest one deleted: the grids and the back-test follow.
    void historyChanged();
    // Draws were cut off the end and the database compacted, or a backup restored: the formula list
    // reloads as well.
    void historyCut();
    // The whole history was deleted: both grids are shown again, without a back-test.
    void historyCleared();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildMenu();
    QWidget* buildEntryBox();
    void submitTypedDraw();
    void showWhenReadAfresh(quint64 shownGeneration);
    void showVerificationColumns();
    void scrollToEnd();
    void rememberClickedRow(int row);
    // Backs up the database before `operation`, removes draws from the end (`removeDraws` returns
    // how many, or −1 with the error), then compacts the database and says so.
    void cutDraws(const QString& operation, const std::function<int(QString* error)>& removeDraws);

    Workspace* m_workspace;
    const DatabaseGuard* m_database;
    HistoryGridModel* m_model;
    VerificationSource m_verification;
    std::function<std::optional<QString>(int number)> m_formulaName;
    qlonglong m_clickedIssue = -1;

    QMenu* m_menu = nullptr;
    QTableView* m_view = nullptr;
    QScrollBar* m_verificationScroll = nullptr; // HScroll1
    QCheckBox* m_verificationCheck = nullptr;   // Check1
    QLineEdit* m_issueBox = nullptr;            // Text1: issue of the draw to enter next
    std::array<QLineEdit*, 3> m_numberBoxes{};
};
