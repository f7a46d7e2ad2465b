#include "history/HistoryPanel.h"

#include "history/BackupDialog.h"
#include "history/HistoryImportDialog.h"
#include "history/HistorySession.h"
#include "history/HistoryTextFile.h"
#include "history/OnlineUpdateDialog.h"
#include "history/Workspace.h"
#include "ui/BusyCursor.h"
#include "ui/DatabaseGuard.h"
#include "ui/DesktopOpener.h"
#include "ui/GridColumns.h"
#include "ui/GridExport.h"
#include "ui/MessageBoxes.h"

#include <QCheckBox>
#include <QDate>
#include <QDir>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

HistoryPanel::HistoryPanel(HistorySession* session, const DatabaseGuard* database, QWidget* parent)
    : QWidget(parent), m_session(session), m_workspace(&session->workspace()), m_database(database),
      m_model(new HistoryGridModel(this))
{
    buildMenu();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    m_view = new QTableView;
    m_view->setObjectName("MSFlexGrid1");
    m_view->setModel(m_model);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->verticalHeader()->setDefaultSectionSize(22);
    m_view->verticalHeader()->hide();
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_view, &QTableView::pressed, this,
            [this](const QModelIndex& i) { rememberClickedRow(i.row()); });
    connect(m_view, &QTableView::customContextMenuRequested, this, [this](const QPoint& p) {
        const QModelIndex i = m_view->indexAt(p);
        if (i.isValid())
            rememberClickedRow(i.row());
        m_menu->popup(m_view->viewport()->mapToGlobal(p));
    });
    layout->addWidget(m_view, 1);

    m_verificationScroll = new QScrollBar(Qt::Horizontal);
    m_verificationScroll->setObjectName("HScroll1");
    m_verificationScroll->setRange(1, 1);
    m_verificationScroll->setSingleStep(VerificationBlock::kBlockSize);
    m_verificationScroll->setPageStep(VerificationBlock::kBlockSize);
    m_verificationScroll->setEnabled(false);
    connect(m_verificationScroll, &QScrollBar::valueChanged, this, [this] { showVerificationColumns(); });
    layout->addWidget(m_verificationScroll);
    m_verificationCheck =
        new QCheckBox(QStringLiteral("历史列表显示公式各期验算结果(时间较长，请耐性等待...)"));
    m_verificationCheck->setObjectName("Check1");
    connect(m_verificationCheck, &QCheckBox::toggled, this, [this](bool on) {
        m_verificationScroll->setEnabled(on);
        m_verificationScroll->setRange(1, VerificationBlock::scrollMaximum(m_session->shownFormulaCount()));
        if (on)
            showVerificationColumns();
        else
            m_model->clearVerificationBlock();
    });
    layout->addWidget(m_verificationCheck);
    layout->addWidget(buildEntryBox());
    connect(m_session, &HistorySession::shownFormulasChanged, this, &HistoryPanel::refreshVerification);
}

void HistoryPanel::buildMenu()
{
    m_menu = new QMenu(QStringLiteral("历史管理"), this);
    auto add = [this](const char* objectName, const QString& caption, void (HistoryPanel::*handler)()) {
        QAction* action = m_menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(objectName));
        connect(action, &QAction::triggered, this, handler);
    };
    add("mnuLsdc", QStringLiteral("导出历史号码(&O)"), &HistoryPanel::exportWorkbook);
    add("mnuLsdr", QStringLiteral("从文件导入历史号码(&I)..."), &HistoryPanel::importFromFile);
    add("mnuLszt", QStringLiteral("粘贴历史号码(&P)"), &HistoryPanel::pasteDraws);
    add("mnuDelAll", QStringLiteral("删除所有历史(&A）"), &HistoryPanel::deleteAllDraws);
    add("mnuDelTo", QStringLiteral("删除到选定期(&D)"), &HistoryPanel::deleteToChosenIssue);
    add("mnuDelLast", QStringLiteral("删除最后指定数量期历史(&E)"), &HistoryPanel::deleteLastCount);
    m_menu->addSeparator();
    add("mnuRestore", QStringLiteral("恢复备份(&B)..."), &HistoryPanel::restoreBackup);
}

QWidget* HistoryPanel::buildEntryBox()
{
    auto* box = new QGroupBox(QStringLiteral("手工输入已经开出的历史号码记录下一期:"));
    auto* row = new QHBoxLayout(box);
    m_issueBox = new QLineEdit;
    m_issueBox->setObjectName("Text1");
    m_issueBox->setMaxLength(12);
    m_issueBox->setMinimumWidth(110);
    row->addWidget(new QLabel(QStringLiteral("期号：")));
    row->addWidget(m_issueBox);
    row->addSpacing(12);
    row->addWidget(new QLabel(QStringLiteral("开奖号：")));
    static const char* const tips[] = {"百位", "十位", "个位"};
    for (int i = 0; i < 3; ++i) {
        auto* e = new QLineEdit;
        e->setObjectName(QStringLiteral("txtIpt%1").arg(i + 1));
        e->setMaxLength(1);
        e->setFixedWidth(32);
        e->setAlignment(Qt::AlignCenter);
        e->setToolTip(QString::fromUtf8(tips[i]));
        e->installEventFilter(this);
        row->addWidget(e);
        m_numberBoxes[i] = e;
    }
    row->addStretch();
    return box;
}

void HistoryPanel::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Rows can only be scrolled into view once the grid has its size.
    QTimer::singleShot(0, this, &HistoryPanel::scrollToEnd);
}

bool HistoryPanel::eventFilter(QObject* watched, QEvent* event)
{
    // A digit typed into a number box moves on to the next box; the third submits the draw.
    const auto box = std::find(m_numberBoxes.begin(), m_numberBoxes.end(), watched);
    if (box == m_numberBoxes.end())
        return QWidget::eventFilter(watched, event);
    const int i = int(box - m_numberBoxes.begin());
    if (event->type() == QEvent::FocusIn && i == 0) {
        for (QLineEdit* e : m_numberBoxes)
            e->clear();
    } else if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        if (text.size() == 1 && text[0].isDigit()) {
            m_numberBoxes[i]->setText(text);
            if (i < 2)
                m_numberBoxes[i + 1]->setFocus();
            else
                submitTypedDraw();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void HistoryPanel::showDraws(int position, bool single)
{
    m_model->setDraws(&m_workspace->history().draws());
    const int column = 4 - position; // 个位 -> 3, 十位 -> 2, 百位 -> 1
    m_model->setEmphasis(column, single ? column : 3);
    m_view->setColumnWidth(0, 100);
    for (int c = 1; c <= 3; ++c)
        m_view->setColumnWidth(c, 44);
    GridColumns::fitNumbers(m_view, {0});
    scrollToEnd();
}

void HistoryPanel::scrollToEnd()
{
    const int rows = m_model->rowCount();
    // The grid counts its header as a row: 29 draws make 30 rows.
    if (rows + 1 >= 30)
        m_view->scrollTo(m_model->index(rows - 1, 0), QAbstractItemView::PositionAtTop);
}

void HistoryPanel::showNextIssue()
{
    if (!m_workspace->history().newest())
        return;
    const QString next = m_workspace->nextIssue();
    if (!next.isEmpty())
        m_issueBox->setText(next);
}

void HistoryPanel::refreshVerification()
{
    if (!m_verificationCheck->isChecked())
        return;
    m_verificationScroll->setRange(1, VerificationBlock::scrollMaximum(m_session->shownFormulaCount()));
    showVerificationColumns();
}

void HistoryPanel::showVerificationColumns()
{
    if (!m_verificationCheck->isChecked())
        return;
    BusyCursor busy;
    m_model->setVerificationBlock(m_session->verificationBlock(m_verificationScroll->value()));
    // Predictions are one or two characters; the captions ("式32767") decide the width.
    for (int c = HistoryGridModel::kFixedColumns; c < m_model->columnCount(); ++c)
        m_view->setColumnWidth(c, std::max(HistoryGridModel::kFormulaColumnWidthPixels,
                                           m_view->horizontalHeader()->sectionSizeHint(c)));
}

void HistoryPanel::rememberClickedRow(int row)
{
    const DrawRecord* draw = m_model->drawAt(row);
    if (!draw)
        return;
    bool ok = false;
    const qlonglong issue = draw->issue.right(10).toLongLong(&ok);
    m_clickedIssue = ok ? issue : 0;
}

void HistoryPanel::cutDraws(const QString& operation, const std::function<int(QString* error)>& removeDraws)
{
    QString error;
    BusyCursor busy;
    if (!m_workspace->backupBefore(operation, &error) || removeDraws(&error) < 0) {
        MessageBoxes::error(this, error);
        return;
    }
    if (!m_workspace->compact(&error))
        MessageBoxes::error(this, error);
    m_session->storeWasReplaced();
}

void HistoryPanel::submitTypedDraw()
{
    if (!m_database->require(this))
        return;
    std::array<int, 3> numbers{};
    for (int i = 0; i < 3; ++i)
        numbers[i] = m_numberBoxes[i]->text().toInt(); // a box that holds no number reads as 0
    QString error;
    const quint64 shown = m_workspace->history().generation();
    {
        BusyCursor busy;
        // Dated issues, or under 北京快3 a running count dated today; after the newest draw or
        // into a gap of the history.
        if (m_workspace->addTypedDraw(m_issueBox->text(), numbers, QDate::currentDate(), &error)) {
            m_session->historyWasChanged();
            m_numberBoxes[0]->setFocus();
            for (QLineEdit* e : m_numberBoxes)
                e->clear();
            return;
        }
    }
    showWhenReadAfresh(shown);
    MessageBoxes::error(this, error);
}

void HistoryPanel::deleteLastDraw()
{
    if (!m_database->require(this))
        return;
    const DrawRecord* newest = m_workspace->history().newest();
    if (!newest)
        return;
    // A single key press (Alt+D) must not lose a draw: the button asks first.
    const QString title = QStringLiteral("删除最后历史");
    if (!MessageBoxes::question(this, title,
                                QStringLiteral("确定要删除最后一期历史号码 %1（开奖号 %2%3%4）吗？\n\n%5")
                                    .arg(newest->issue)
                                    .arg(newest->number(1))
                                    .arg(newest->number(2))
                                    .arg(newest->number(3))
                                    .arg(m_workspace->undoNote())))
        return;
    QString error;
    if (!m_workspace->backupBefore(title, &error) || m_workspace->history().deleteLast(1, &error) < 0)
        MessageBoxes::error(this, error);
    m_session->historyWasChanged();
    m_numberBoxes[0]->setFocus();
}

void HistoryPanel::deleteAllDraws()
{
    if (!m_database->require(this))
        return;
    const QString title = QStringLiteral("删除所有历史");
    if (!MessageBoxes::question(this, title,
                                QStringLiteral("确定要删除所有历史号码吗？\n\n") + m_workspace->undoNote()))
        return;
    QString error;
    {
        BusyCursor busy;
        if (m_workspace->backupBefore(title, &error) && m_workspace->history().deleteAll(&error) >= 0) {
            m_session->historyWasChanged();
            return;
        }
    }
    MessageBoxes::error(this, error);
}

void HistoryPanel::deleteToChosenIssue()
{
    if (!m_database->require(this))
        return;
    // Before any row was clicked there is no sensible default: an answer such as "-2" would
    // sort before every issue and delete the whole history.
    const QString suggestion = m_clickedIssue > 0 ? QString::number(m_clickedIssue - 1) : QString();
    QString answer;
    if (!MessageBoxes::input(this, QStringLiteral("删除期数"),
                             QStringLiteral("请输入需要删除到的期数(保留到该期），例如‘160121001’"),
                             suggestion, &answer))
        return;
    // An empty answer is a change of mind; anything else the command line would refuse is
    // refused here too, with the reason.
    if (answer.trimmed().isEmpty())
        return;
    QString keepUpTo, error;
    if (!HistoryStore::checkKeepUpTo(answer, m_workspace->history().draws(), &keepUpTo, &error)) {
        MessageBoxes::warning(this, QStringLiteral("删除期数"), error);
        return;
    }
    cutDraws(QStringLiteral("删除到选定期"), [this, &keepUpTo](QString* error) {
        return m_workspace->history().deleteAfter(keepUpTo, error);
    });
}

void HistoryPanel::deleteLastCount()
{
    if (!m_database->require(this))
        return;
    QString answer;
    if (!MessageBoxes::input(
            this, QStringLiteral("删除期数"),
            QStringLiteral("请输入需要删除最后多少期历史号码（例如输入3，那么就将删除最后的3期历史号码）"),
            QStringLiteral("1"), &answer))
        return;
    const int count = answer.trimmed().toInt(); // not a number counts as 0
    if (count <= 0)
        return;
    cutDraws(QStringLiteral("删除最后指定数量期历史"),
             [this, count](QString* error) { return m_workspace->history().deleteLast(count, error); });
}

void HistoryPanel::exportText(const QString& newestIssue)
{
    if (!m_database->require(this))
        return;
    if (m_workspace->history().isEmpty()) {
        MessageBoxes::information(this, QStringLiteral("历史号码导出文本文件"),
                                  QStringLiteral("没有历史号码，没有可以导出的内容。"));
        return;
    }
    const QString path = HistoryTextFile::exportPath(m_workspace->dataFolder(), newestIssue);
    QString error;
    if (!HistoryTextFile::write(path, m_workspace->history().draws(), &error)) {
        MessageBoxes::error(this, error);
        return;
    }
    if (!DesktopOpener::open(path))
        MessageBoxes::error(this, QStringLiteral("文件已保存为“%1”，但没有找到可以打开它的程序。")
                                      .arg(QDir::toNativeSeparators(path)));
}

void HistoryPanel::exportWorkbook()
{
    if (!MessageBoxes::question(
            this, QStringLiteral("查询等待确认"),
            QStringLiteral(
                "将本表导出到EXCEL，因为公式每一期验证数据较多可能需要数分钟，确认需要执行并等待吗？")))
        return;
    BusyCursor busy;
    // The workbook names the formula columns by their Chinese form, which the grid has no room for.
    const VerificationBlock& block = m_model->verificationBlock();
    const auto header = [this, &block](int column) {
        std::optional<QString> name;
        if (column >= HistoryGridModel::kFixedColumns)
            name = m_session->shownFormulaName(block.numberAt(column - HistoryGridModel::kFixedColumns));
        return name ? *name : m_model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    };
    GridExport::exportAndOpen(this, *m_model,
                              QDir(m_workspace->dataFolder()).filePath(QStringLiteral("lishi.xlsx")), header);
}

void HistoryPanel::showWhenReadAfresh(quint64 shownGeneration)
{
    // A write refused because another program had changed the history read it afresh: the grid
    // shows that history, not the one it showed.
    if (m_workspace->history().generation() != shownGeneration)
        m_session->historyWasChanged();
}

void HistoryPanel::importFromFile()
{
    if (!m_database->require(this))
        return;
    const quint64 shown = m_workspace->history().generation();
    if (importHistoryFromFile(this, *m_workspace))
        m_session->historyWasChanged();
    else
        showWhenReadAfresh(shown);
}

void HistoryPanel::pasteDraws()
{
    if (!m_database->require(this))
        return;
    const quint64 shown = m_workspace->history().generation();
    if (importHistoryFromClipboard(this, *m_workspace))
        m_session->historyWasChanged();
    else
        showWhenReadAfresh(shown);
}

void HistoryPanel::restoreBackup()
{
    BackupDialog dialog(m_workspace, this);
    dialog.exec();
    if (!dialog.restored())
        return;
    // The window's guard keeps the state the window started with: a database that did not open
    // then is opened again by the next start.
    if (!m_database->isOpen()) {
        MessageBoxes::information(this, BackupDialog::title(),
                                  QStringLiteral("已恢复备份。请关闭程序后重新启动，以便使用恢复的数据库。"));
        return;
    }
    m_session->storeWasReplaced();
}

void HistoryPanel::updateOnline()
{
    if (!m_database->require(this))
        return;
    QString summary;
    const quint64 shown = m_workspace->history().generation();
    if (runOnlineHistoryUpdate(this, *m_workspace, &summary))
        m_session->historyWasChanged();
    else
        showWhenReadAfresh(shown);
}
