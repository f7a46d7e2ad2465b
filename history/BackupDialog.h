#pragma once

#include "store/BackupFolder.h"

#include <QDialog>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class Settings;
class QPushButton;
class QStandardItemModel;
class QTableView;
class Workspace;

// "恢复备份(&B)...": the backups of the database in the data folder's "备份", newest first, with
// their time, the operation they were taken before and how many draws and formulas of each kind
// they hold. "恢复所选备份(&R)" puts the chosen one in place of the database after a question
// (the current state is backed up first); "立即备份(&N)" writes one now.
class BackupDialog : public QDialog
{
    Q_OBJECT
public:
    BackupDialog(Workspace* workspace, QWidget* parent = nullptr);

    static QString title(); // "恢复备份"
    // The check box of the settings menu that turns the backups on and off ("AutoBackup").
    static QAction* addSettingsEntry(QMenu* menu, Settings* settings);
    // True once a backup was restored: the window shows the data afresh.
    bool restored() const { return m_restored; }
    QTableView* view() const { return m_view; }
    // Restores the backup of row `row`, asking first.
    void restoreRow(int row);
    void backUpNow();

private:
    void showBackups();

    Workspace* m_workspace;
    std::vector<BackupInfo> m_backups;
    QStandardItemModel* m_model;
    QTableView* m_view;
    QLabel* m_folderLabel;
    QPushButton* m_restoreButton;
    bool m_restored = false;
};
