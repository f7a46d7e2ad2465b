#pragma once

#include "history/HistoryImport.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QStandardItemModel;
class QTableView;
class QWidget;
class Workspace;

// The preview of a history import: the format found (and where the numbers stand), how many
// draws will be added, the first and the last of them as they will be stored with the lines they
// come from, how many are stored already (skipped), and the lines that cannot be imported with
// their line numbers and why. A workbook with several sheets offers them in a list; choosing one
// reads it afresh. "导入" is offered only when there is something to add and, if some lines
// cannot be imported, once the user has chosen to skip them.
class HistoryImportDialog : public QDialog
{
    Q_OBJECT
public:
    HistoryImportDialog(const HistoryImportSource& source, const HistoryStore& store,
                        const HistoryImport::Options& options, const QString& sourceName,
                        QWidget* parent = nullptr);

    const HistoryImportPlan& plan() const { return m_plan; }
    QString summaryText() const;
    QPushButton* importButton() const { return m_importButton; }
    QCheckBox* skipBadBox() const { return m_skipBad; }
    QTableView* unreadView() const { return m_unreadView; }
    QComboBox* sheetBox() const { return m_sheetBox; } // null unless the workbook has several sheets

private:
    void showPlan();
    void updateButton();

    const HistoryImportSource& m_source;
    const HistoryStore& m_store;
    HistoryImport::Options m_options;
    QString m_sourceName;
    HistoryImportPlan m_plan;
    QComboBox* m_sheetBox = nullptr;
    QLabel* m_summary = nullptr;
    QLabel* m_nothing = nullptr;
    QCheckBox* m_skipBad = nullptr;
    QStandardItemModel* m_unreadModel = nullptr;
    QTableView* m_unreadView = nullptr;
    QPushButton* m_importButton = nullptr;
};

// Reads the source (a file's bytes or the clipboard's lines, from `sourceName`, a file name or
// "剪贴板"), shows the preview and, on "导入", stores the draws in one transaction. Messages go
// through MessageBoxes. Returns true when the history changed: the caller then refreshes its
// grids and re-runs the back-test.
bool runHistoryImport(QWidget* parent, Workspace& workspace, const HistoryImportSource& source,
                      const QString& sourceName);
bool runHistoryImport(QWidget* parent, Workspace& workspace, const QStringList& lines,
                      const QString& sourceName);

// The file dialog's filter: texts, tables and workbooks.
QString historyFileFilter();
// "从文件导入历史号码(&I)...": a file dialog for texts, tables and workbooks, then the preview.
bool importHistoryFromFile(QWidget* parent, Workspace& workspace);
// "粘贴历史号码(&P)": the clipboard's text, then the preview.
bool importHistoryFromClipboard(QWidget* parent, Workspace& workspace);
