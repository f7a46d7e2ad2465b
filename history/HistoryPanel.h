#pragma once

#include "history/HistoryGridModel.h"

#include <QWidget>
#include <array>
#include <functional>

class DatabaseGuard;
class HistorySession;
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
// The panel changes the stored history and tells the session once, upon which every window on the
// session follows (the main window with its refresh chain: formula grid, history grid, back-test,
// and the next issue). Its verification columns and the workbook's formula headers come from the
// list the session says is shown, and follow each new one.
class HistoryPanel : public QWidget
{
    Q_OBJECT
public:
    // `session` and `database` outlive the panel.
    HistoryPanel(HistorySession* session, const DatabaseGuard* database, QWidget* parent = nullptr);

    HistoryGridModel* model() const { return m_model; }
    // 历史管理: the main window puts it into its menu bar.
    QMenu* menu() const { return m_menu; }

    // Shows the stored draws again (after every change of the history). The number columns the
    // current kind predicts are emphasised: `position` 1 个位, 2 十位, 3 百位; a single selection
    // its own column, a general one the columns from it to 个位.
    void showDraws(int position, bool single);
    // Text1 proposes the issue after the newest stored draw (kept as it is with an empty history).
    void showNextIssue();

    // While the columns are shown, the scroll range and the columns follow the list shown now
    // (the session's shownFormulasChanged calls it).
    void refreshVerification();

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
    // how many, or −1 with the error), then compacts the database and tells the session the store
    // was rewritten.
    void cutDraws(const QString& operation, const std::function<int(QString* error)>& removeDraws);

    HistorySession* m_session;
    Workspace* m_workspace;
    const DatabaseGuard* m_database;
    HistoryGridModel* m_model;
    qlonglong m_clickedIssue = -1;

    QMenu* m_menu = nullptr;
    QTableView* m_view = nullptr;
    QScrollBar* m_verificationScroll = nullptr; // HScroll1
    QCheckBox* m_verificationCheck = nullptr;   // Check1
    QLineEdit* m_issueBox = nullptr;            // Text1: issue of the draw to enter next
    std::array<QLineEdit*, 3> m_numberBoxes{};
};
