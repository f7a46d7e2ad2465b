#include "history/HistoryImportDialog.h"

#include "history/Workspace.h"
#include "store/TextFileCodec.h"
#include "ui/BusyCursor.h"
#include "ui/MessageBoxes.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

namespace {

const QString kTitle = QStringLiteral("导入历史号码");

QString nothingFoundText(const Workspace& workspace)
{
    QString text =
        QStringLiteral("没有找到开奖号码。每一期应有期号（9位数字，例如160121001）和三个1到6的号码，"
                       "例如“160121001 356”“160121001,3,5,6”或从开奖网页复制的文字。");
    if (!workspace.isRunningCountLottery())
        text += QStringLiteral("北京快3的流水号期号只在彩种选择为北京快3时识别。");
    return text;
}

} // namespace

HistoryImportDialog::HistoryImportDialog(const HistoryImportPlan& plan, const QString& source,
                                         QWidget* parent)
    : QDialog(parent), m_plan(plan)
{
    setWindowTitle(kTitle);
    auto* layout = new QVBoxLayout(this);

    m_summary = new QLabel(this);
    m_summary->setObjectName("importSummary");
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QStringList lines;
    lines << QStringLiteral("来源：%1").arg(source)
          << QStringLiteral("识别为：%1").arg(HistoryTextReader::formatName(plan.read));
    if (plan.toAdd.empty())
        lines << QStringLiteral("将添加：0 期");
    else
        lines << QStringLiteral("将添加：%1 期（第一期 %2，最后一期 %3）")
                     .arg(plan.toAdd.size())
                     .arg(plan.firstIssue(), plan.lastIssue());
    lines << QStringLiteral("已经存在（跳过）：%1 期").arg(plan.alreadyStored)
          << QStringLiteral("无法导入的行：%1 行").arg(plan.unread.size());
    if (plan.read.ignoredLines > 0)
        lines << QStringLiteral("忽略的其他行（表头、没有期号的文字）：%1 行").arg(plan.read.ignoredLines);
    m_summary->setText(lines.join('\n'));
    layout->addWidget(m_summary);

    if (!plan.unread.empty()) {
        auto* model = new QStandardItemModel(int(plan.unread.size()), 3, this);
        model->setHorizontalHeaderLabels(
            {QStringLiteral("行号"), QStringLiteral("原因"), QStringLiteral("内容")});
        for (int r = 0; r < int(plan.unread.size()); ++r) {
            const UnreadLine& u = plan.unread[r];
            auto* number = new QStandardItem(QString::number(u.lineNumber));
            number->setData(u.lineNumber, Qt::UserRole);
            model->setItem(r, 0, number);
            model->setItem(r, 1, new QStandardItem(u.reason));
            model->setItem(r, 2, new QStandardItem(u.text));
        }
        m_unreadView = new QTableView(this);
        m_unreadView->setObjectName("unreadLines");
        m_unreadView->setModel(model);
        m_unreadView->setEditTriggers(QAbstractItemView::NoEditTriggers);
        m_unreadView->verticalHeader()->hide();
        m_unreadView->horizontalHeader()->setStretchLastSection(true);
        m_unreadView->resizeColumnsToContents();
        m_unreadView->setMinimumHeight(160);
        layout->addWidget(m_unreadView, 1);

        m_skipBad = new QCheckBox(QStringLiteral("跳过无法导入的行，只添加能识别的号码(&S)"), this);
        m_skipBad->setObjectName("skipBad");
        connect(m_skipBad, &QCheckBox::toggled, this, &HistoryImportDialog::updateButton);
        layout->addWidget(m_skipBad);
    }
    if (plan.toAdd.empty()) {
        auto* none = new QLabel(QStringLiteral("没有可以添加的新号码。"), this);
        layout->addWidget(none);
    }

    auto* buttons = new QDialogButtonBox(this);
    m_importButton = buttons->addButton(QStringLiteral("导入(&O)"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    updateButton();
    resize(plan.unread.empty() ? QSize(460, 0) : QSize(720, 420));
}

QString HistoryImportDialog::summaryText() const
{
    return m_summary->text();
}

void HistoryImportDialog::updateButton()
{
    const bool skipped = m_plan.unread.empty() || (m_skipBad && m_skipBad->isChecked());
    m_importButton->setEnabled(!m_plan.toAdd.empty() && skipped);
}

bool runHistoryImport(QWidget* parent, Workspace& workspace, const QStringList& lines, const QString& source)
{
    HistoryImport::Options options;
    options.drawsPerDay = workspace.lottery().drawsPerDay;
    options.runningCount = workspace.isRunningCountLottery();
    const HistoryImportPlan plan = [&] {
        BusyCursor busy;
        return HistoryImport::plan(workspace.history(), lines, options);
    }();
    if (plan.read.draws.empty() && plan.unread.empty()) {
        MessageBoxes::warning(parent, kTitle, nothingFoundText(workspace));
        return false;
    }

    HistoryImportDialog dialog(plan, source, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    QString error;
    bool stored = false;
    {
        BusyCursor busy;
        stored = HistoryImport::store(&workspace.history(), plan, &error);
    }
    if (!stored) {
        MessageBoxes::warning(parent, kTitle, error);
        return false;
    }
    return true;
}

bool importHistoryFromFile(QWidget* parent, Workspace& workspace)
{
    QString path;
    if (!MessageBoxes::openFile(parent, QStringLiteral("从文件导入历史号码"), workspace.dataFolder(),
                                QStringLiteral("历史号码文件 (*.txt *.csv);;所有文件 (*)"), &path))
        return false;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        MessageBoxes::warning(
            parent, kTitle,
            QStringLiteral("无法读取文件“%1”：%2").arg(QDir::toNativeSeparators(path), f.errorString()));
        return false;
    }
    QString text;
    TextFileCodec::Refusal refusal;
    if (!TextFileCodec::decode(f.readAll(), TextFileCodec::nonChineseTextChars, &text, &refusal)) {
        MessageBoxes::warning(parent, kTitle,
                              TextFileCodec::refusalText(refusal, QStringLiteral("历史号码")));
        return false;
    }
    return runHistoryImport(parent, workspace, TextFileCodec::splitLines(text), QFileInfo(path).fileName());
}

bool importHistoryFromClipboard(QWidget* parent, Workspace& workspace)
{
    const QString text = QApplication::clipboard()->text();
    if (text.trimmed().isEmpty()) {
        MessageBoxes::warning(parent, kTitle,
                              QStringLiteral("剪贴板里没有文字。请先在开奖网页或表格里选中开奖号码并复制。"));
        return false;
    }
    return runHistoryImport(parent, workspace, TextFileCodec::splitLines(text), QStringLiteral("剪贴板"));
}
