#pragma once

#include "history/HistoryImport.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;
class QTableView;
class QWidget;
class Workspace;

// The preview of a history import: the format found, how many draws will be added, how many are
// stored already (skipped), the first and last issue, and the lines that cannot be imported with
// their line numbers and why. "导入" is offered only when there is something to add and, if some
// lines cannot be imported, once the user has chosen to skip them.
class HistoryImportDialog : public QDialog
{
    Q_OBJECT
public:
    HistoryImportDialog(const HistoryImportPlan& plan, const QString& source, QWidget* parent = nullptr);

    const HistoryImportPlan& plan() const { return m_plan; }
    QString summaryText() const;
    QPushButton* importButton() const { return m_importButton; }
    QCheckBox* skipBadBox() const { return m_skipBad; }
    QTableView* unreadView() const { return m_unreadView; }

private:
    void updateButton();

    HistoryImportPlan m_plan;
    QLabel* m_summary = nullptr;
    QCheckBox* m_skipBad = nullptr;
    QTableView* m_unreadView = nullptr;
    QPushButton* m_importButton = nullptr;
};

// Reads `lines` (from `source`, a file name or the clipboard), shows the preview and, on
// "导入", stores the draws in one transaction. Messages go through MessageBoxes. Returns true
// when the history changed: the caller then refreshes its grids and re-runs the back-test.
bool runHistoryImport(QWidget* parent, Workspace& workspace, const QStringList& lines, const QString& source);

// "从文件导入历史号码(&I)...": a file dialog for .txt and .csv files, then the preview.
bool importHistoryFromFile(QWidget* parent, Workspace& workspace);
// "粘贴历史号码(&P)": the clipboard's text, then the preview.
bool importHistoryFromClipboard(QWidget* parent, Workspace& workspace);
