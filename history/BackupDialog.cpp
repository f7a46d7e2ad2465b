#include "history/BackupDialog.h"

#include "history/Workspace.h"
#include "ui/BusyCursor.h"
#include "ui/MessageBoxes.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

#include <numeric>

namespace {

// The formula tables in the order of Database::formulaTables().
const char* const kKindCaptions[] = {"个位单选", "十位单选", "百位单选", "十位通选", "百位通选"};

} // namespace

QString BackupDialog::title()
{
    return QStringLiteral("恢复备份");
}

QAction* BackupDialog::addSettingsEntry(QMenu* menu, Settings* settings)
{
    QAction* action = menu->addAction(Workspace::backupSettingCaption() + QStringLiteral("(&B)"));
    action->setObjectName("mnuAutoBackup");
    action->setCheckable(true);
    action->setChecked(settings->backupBeforeChanges());
    action->setToolTip(QStringLiteral("删除或替换历史号码和公式之前，把数据库复制到数据文件夹的“%1”文件夹")
                           .arg(BackupFolder::folderName()));
    QObject::connect(action, &QAction::toggled, menu,
                     [settings](bool on) { settings->setBackupBeforeChanges(on); });
    return action;
}

BackupDialog::BackupDialog(Workspace* workspace, QWidget* parent)
    : QDialog(parent), m_workspace(workspace), m_model(new QStandardItemModel(this))
{
    setObjectName("frmBackups");
    setWindowTitle(title());
    auto* layout = new QVBoxLayout(this);
    m_folderLabel = new QLabel;
    m_folderLabel->setWordWrap(true);
    layout->addWidget(m_folderLabel);
    m_view = new QTableView;
    m_view->setObjectName("grdBackups");
    m_view->setModel(m_model);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->verticalHeader()->hide();
    layout->addWidget(m_view, 1);

    auto* buttons = new QDialogButtonBox;
    m_restoreButton = buttons->addButton(QStringLiteral("恢复所选备份(&R)"), QDialogButtonBox::ActionRole);
    m_restoreButton->setObjectName("cmdRestore");
    QPushButton* now = buttons->addButton(QStringLiteral("立即备份(&N)"), QDialogButtonBox::ActionRole);
    now->setObjectName("cmdBackupNow");
    buttons->addButton(QStringLiteral("关闭"), QDialogButtonBox::RejectRole);
    connect(m_restoreButton, &QPushButton::clicked, this, [this] {
        const QModelIndexList rows = m_view->selectionModel()->selectedRows();
        if (!rows.isEmpty())
            restoreRow(rows.first().row());
    });
    connect(now, &QPushButton::clicked, this, &BackupDialog::backUpNow);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_view, &QTableView::doubleClicked, this, [this](const QModelIndex& i) { restoreRow(i.row()); });
    layout->addWidget(buttons);
    showBackups();
    resize(900, 420);
}

void BackupDialog::showBackups()
{
    m_backups = m_workspace->backups().list();
    m_folderLabel->setText(
        QStringLiteral("备份保存在“%1”：删除或替换历史号码和公式之前自动备份，保留最新的%2份和最近%3天的。%4")
            .arg(QDir::toNativeSeparators(m_workspace->backups().path()))
            .arg(BackupFolder::kKeepNewest)
            .arg(BackupFolder::kKeepDays)
            .arg(m_workspace->settings().backupBeforeChanges()
                     ? QString()
                     : QStringLiteral("（“%1”现在是关闭的。）").arg(Workspace::backupSettingCaption())));
    m_model->clear();
    QStringList headers{QStringLiteral("时间"), QStringLiteral("备份前的操作"), QStringLiteral("历史期数")};
    for (const char* caption : kKindCaptions)
        headers << QString::fromUtf8(caption);
    headers << QStringLiteral("文件");
    m_model->setHorizontalHeaderLabels(headers);
    const auto count = [](qint64 n) { return n < 0 ? QStringLiteral("?") : QString::number(n); };
    for (const BackupInfo& b : m_backups) {
        QList<QStandardItem*> row{new QStandardItem(b.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))),
                                  new QStandardItem(b.operation), new QStandardItem(count(b.draws))};
        for (qint64 n : b.formulas)
            row << new QStandardItem(count(n));
        row << new QStandardItem(b.problem.isEmpty() ? QDir(b.path).dirName() : b.problem);
        for (int c = 2; c < row.size() - 1; ++c)
            row[c]->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_model->appendRow(row);
    }
    m_view->resizeColumnsToContents();
    m_restoreButton->setEnabled(!m_backups.empty());
    if (!m_backups.empty())
        m_view->selectRow(0);
}

void BackupDialog::restoreRow(int row)
{
    if (row < 0 || row >= int(m_backups.size()))
        return;
    const BackupInfo& b = m_backups[std::size_t(row)];
    const qint64 formulas =
        std::accumulate(b.formulas.begin(), b.formulas.end(), qint64(0),
                        [](qint64 sum, qint64 n) { return sum + std::max<qint64>(n, 0); });
    const QString keep =
        m_workspace->settings().backupBeforeChanges()
            ? QStringLiteral("现在的数据会先备份，需要时还可以再恢复。")
            : QStringLiteral("“%1”已关闭：现在的数据不会保留。").arg(Workspace::backupSettingCaption());
    if (!MessageBoxes::question(
            this, title(),
            QStringLiteral("确定要恢复%1（%2之前）的备份吗？现在的全部历史号码和公式将被备份中的"
                           "%3期历史号码和%4个公式替换。\n\n%5")
                .arg(b.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), b.operation)
                .arg(b.draws)
                .arg(formulas)
                .arg(keep)))
        return;
    QString error;
    bool ok;
    {
        BusyCursor busy;
        ok = m_workspace->restoreBackup(b.path, &error);
    }
    if (!ok) {
        MessageBoxes::warning(this, title(), error);
        showBackups();
        return;
    }
    m_restored = true;
    MessageBoxes::information(
        this, title(), QStringLiteral("已恢复备份：%1期历史号码，%2个公式。").arg(b.draws).arg(formulas));
    accept();
}

void BackupDialog::backUpNow()
{
    QString path, error;
    bool ok;
    {
        BusyCursor busy;
        ok = m_workspace->backups().write(m_workspace->database(), QStringLiteral("手动备份"),
                                          QDateTime::currentDateTime(), &path, &error);
    }
    if (!ok)
        MessageBoxes::warning(this, title(), error);
    showBackups();
}
