#include "history/HistoryImportDialog.h"

#include "history/Workspace.h"
#include "store/BoundedInput.h"
#include "store/TextFileCodec.h"
#include "ui/BackgroundTask.h"
#include "ui/BusyCursor.h"
#include "ui/MessageBoxes.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

namespace {

const QString kTitle = QStringLiteral("导入历史号码");

// A draw as it will be stored: the issue and the three numbers.
QString storedText(const DrawRecord& d)
{
    return QStringLiteral("%1 %2 %3 %4").arg(d.issue).arg(d.number(1)).arg(d.number(2)).arg(d.number(3));
}

HistoryImport::Options optionsOf(Workspace& workspace)
{
    HistoryImport::Options options;
    options.drawsPerDay = workspace.lottery().drawsPerDay;
    options.runningCount = workspace.isRunningCountLottery();
    options.lottery = workspace.lottery().caption;
    return options;
}

} // namespace

HistoryImportDialog::HistoryImportDialog(const HistoryImportSource& source, const HistoryStore& store,
                                         const HistoryImport::Options& options, const QString& sourceName,
                                         QWidget* parent)
    : QDialog(parent), m_source(source), m_store(store), m_options(options), m_sourceName(sourceName)
{
    setWindowTitle(kTitle);
    auto* layout = new QVBoxLayout(this);

    if (source.sheets.size() > 1) {
        auto* row = new QHBoxLayout;
        auto* label = new QLabel(QStringLiteral("工作表(&W)："), this);
        m_sheetBox = new QComboBox(this);
        m_sheetBox->setObjectName("sheet");
        for (const WorkbookSheet& s : source.sheets)
            m_sheetBox->addItem(s.name);
        m_sheetBox->setCurrentIndex(std::max(0, options.sheet));
        label->setBuddy(m_sheetBox);
        row->addWidget(label);
        row->addWidget(m_sheetBox, 1);
        layout->addLayout(row);
        connect(m_sheetBox, &QComboBox::currentIndexChanged, this, [this](int index) {
            m_options.sheet = index;
            BusyCursor busy;
            showPlan();
        });
    }

    m_summary = new QLabel(this);
    m_summary->setObjectName("importSummary");
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_summary->setWordWrap(true);
    layout->addWidget(m_summary);

    m_unreadModel = new QStandardItemModel(0, 3, this);
    m_unreadModel->setHorizontalHeaderLabels(
        {QStringLiteral("行号"), QStringLiteral("原因"), QStringLiteral("内容")});
    m_unreadView = new QTableView(this);
    m_unreadView->setObjectName("unreadLines");
    m_unreadView->setModel(m_unreadModel);
    m_unreadView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_unreadView->verticalHeader()->hide();
    m_unreadView->horizontalHeader()->setStretchLastSection(true);
    m_unreadView->setMinimumHeight(160);
    layout->addWidget(m_unreadView, 1);

    m_skipBad = new QCheckBox(QStringLiteral("跳过无法导入的行，只添加能识别的号码(&S)"), this);
    m_skipBad->setObjectName("skipBad");
    connect(m_skipBad, &QCheckBox::toggled, this, &HistoryImportDialog::updateButton);
    layout->addWidget(m_skipBad);

    m_nothing = new QLabel(this);
    layout->addWidget(m_nothing);

    auto* buttons = new QDialogButtonBox(this);
    m_importButton = buttons->addButton(QStringLiteral("导入(&O)"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    showPlan();
}

void HistoryImportDialog::showPlan()
{
    m_plan = HistoryImport::plan(m_store, m_source, m_options);
    const HistoryImportPlan& plan = m_plan;
    QStringList lines;
    lines << QStringLiteral("来源：%1").arg(m_sourceName);
    if (!plan.refusal.isEmpty()) {
        lines << plan.refusal;
    } else {
        lines << QStringLiteral("识别为：%1").arg(plan.formatText());
        if (plan.toAdd.empty()) {
            lines << QStringLiteral("将添加：0 期");
        } else {
            lines << QStringLiteral("将添加：%1 期（第一期 %2，最后一期 %3）")
                         .arg(plan.toAdd.size())
                         .arg(plan.firstIssue(), plan.lastIssue())
                  << QStringLiteral("第一期保存为：%1（来自%2）")
                         .arg(storedText(plan.toAdd.front()), plan.firstLine)
                  << QStringLiteral("最后一期保存为：%1（来自%2）")
                         .arg(storedText(plan.toAdd.back()), plan.lastLine);
        }
        // Draws that fall between stored ones are counted apart: they change the draws after them.
        if (plan.gapFills > 0)
            lines << QStringLiteral("其中补齐 %1 期（已存的各期之间缺少的），接在最新一期之后的新号码 %2 期；"
                                    "已存的期中有 %3 期的“重上期号”“同上期数”随之改变")
                         .arg(plan.gapFills)
                         .arg(plan.newDraws())
                         .arg(plan.rederived.size());
        lines << QStringLiteral("已经存在（跳过）：%1 期").arg(plan.alreadyStored)
              << QStringLiteral("无法导入的行：%1 行").arg(plan.unread.size());
        if (plan.read.ignoredLines > 0)
            lines
                << QStringLiteral("忽略的其他行（表头、没有期号的文字）：%1 行").arg(plan.read.ignoredLines);
    }
    m_summary->setText(lines.join('\n'));

    m_unreadModel->setRowCount(0);
    for (const UnreadLine& u : plan.unread) {
        auto* number = new QStandardItem(QString::number(u.lineNumber));
        number->setData(u.lineNumber, Qt::UserRole);
        m_unreadModel->appendRow({number, new QStandardItem(u.reason), new QStandardItem(u.text)});
    }
    const bool someUnread = !plan.unread.empty();
    m_unreadView->setVisible(someUnread);
    m_unreadView->resizeColumnsToContents();
    m_skipBad->setVisible(someUnread);
    m_skipBad->setChecked(false);
    m_nothing->setVisible(plan.toAdd.empty());
    m_nothing->setText(plan.refusal.isEmpty() && plan.read.draws.empty() && plan.unread.empty()
                           ? HistoryImport::nothingFoundText(plan, m_options.runningCount)
                           : QStringLiteral("没有可以添加的新号码。"));
    m_nothing->setWordWrap(true);
    updateButton();
    resize(someUnread ? QSize(760, 460) : QSize(560, 0));
}

QString HistoryImportDialog::summaryText() const
{
    return m_summary->text();
}

void HistoryImportDialog::updateButton()
{
    const bool skipped = m_plan.unread.empty() || m_skipBad->isChecked();
    m_importButton->setEnabled(m_plan.refusal.isEmpty() && !m_plan.toAdd.empty() && skipped);
}

bool runHistoryImport(QWidget* parent, Workspace& workspace, const HistoryImportSource& source,
                      const QString& sourceName)
{
    HistoryImport::Options options = optionsOf(workspace);
    // Tens of thousands of lines take a while to read and check: that runs in the background
    // (only the draws in memory are read; the window takes no input meanwhile).
    HistoryImportPlan plan;
    if (!BackgroundTask::run(parent, QStringLiteral("正在读取历史号码，请稍候..."), [&](TaskProgress&) {
            plan = HistoryImport::plan(workspace.history(), source, options);
        }))
        return false;
    // A workbook with several sheets goes to the preview whatever its first sheet holds: the
    // user may pick another.
    const bool severalSheets = source.sheets.size() > 1;
    if (!plan.refusal.isEmpty() && !severalSheets) {
        MessageBoxes::warning(parent, kTitle, plan.refusal);
        return false;
    }
    if (plan.refusal.isEmpty() && plan.read.draws.empty() && plan.unread.empty() && !severalSheets) {
        MessageBoxes::warning(parent, kTitle, HistoryImport::nothingFoundText(plan, options.runningCount));
        return false;
    }

    HistoryImportDialog dialog(source, workspace.history(), options, sourceName, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    QString error;
    bool stored = false;
    {
        BusyCursor busy;
        stored = HistoryImport::store(&workspace.history(), dialog.plan(), &error);
    }
    if (!stored) {
        MessageBoxes::warning(parent, kTitle, error);
        return false;
    }
    return true;
}

bool runHistoryImport(QWidget* parent, Workspace& workspace, const QStringList& lines,
                      const QString& sourceName)
{
    HistoryImportSource source;
    source.lines = lines;
    return runHistoryImport(parent, workspace, source, sourceName);
}

QString historyFileFilter()
{
    return QStringLiteral("历史号码文件 (*.txt *.csv *.tsv *.xlsx *.xls);;所有文件 (*)");
}

bool importHistoryFromFile(QWidget* parent, Workspace& workspace)
{
    QString path;
    if (!MessageBoxes::openFile(parent, QStringLiteral("从文件导入历史号码"), workspace.dataFolder(),
                                historyFileFilter(), &path))
        return false;
    QByteArray bytes;
    QString error;
    HistoryImportSource source;
    if (!BackgroundTask::run(parent, QStringLiteral("正在读取文件，请稍候..."), [&](TaskProgress&) {
            if (BoundedInput::readFile(path, &bytes, &error))
                source = HistoryImport::source(bytes);
        }))
        return false;
    if (!error.isEmpty()) {
        MessageBoxes::warning(parent, kTitle, error);
        return false;
    }
    return runHistoryImport(parent, workspace, source, QFileInfo(path).fileName());
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
