#include "SyntheticHistory.h"
#include "WindowTestFixture.h"

#include "app/MainWindow.h"
#include "backtest/AnalysisSession.h"
#include "backtest/BacktestEngine.h"
#include "backtest/FormulaGridModel.h"
#include "formula/FormulaKind.h"
#include "history/HistoryGridModel.h"
#include "history/HistoryImportDialog.h"
#include "history/HistoryPanel.h"
#include "history/HistoryTextFile.h"
#include "history/Workspace.h"
#include "ui/DatabaseGuard.h"
#include "ui/MessageBoxes.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QStringEncoder>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <array>
#include <functional>
#include <gtest/gtest.h>
#include <xlsxwriter.h>

namespace {

class HistoryImportWindow : public WindowTestFixture
{
protected:
    void SetUp() override
    {
        WindowTestFixture::SetUp();
        addDraws(ws, {{"160121001", "123"}, {"160121002", "335"}});
    }

    // Runs `act` on the preview once it is shown (the lines are read in the background first,
    // with the window's event loop running); the test sees m_previewShown false when none appears.
    void onPreview(std::function<void(HistoryImportDialog*)> act)
    {
        m_previewShown = false;
        auto* poll = new QTimer;
        QObject::connect(poll, &QTimer::timeout, poll, [this, act, poll] {
            auto* d = qobject_cast<HistoryImportDialog*>(QApplication::activeModalWidget());
            if (!d)
                return;
            poll->deleteLater();
            poll->stop();
            m_previewShown = true;
            act(d);
            if (d->isVisible())
                d->reject();
        });
        poll->start(5);
        m_polls.push_back(poll);
    }
    void TearDown() override
    {
        for (const QPointer<QTimer>& poll : m_polls)
            delete poll.data();
        WindowTestFixture::TearDown();
    }

    QStringList storedIssues() const
    {
        QStringList out;
        for (const auto& d : const_cast<Workspace&>(ws).history().draws())
            out << d.issue;
        return out;
    }

    bool m_previewShown = false;
    std::vector<QPointer<QTimer>> m_polls;
};

// A page copied newest first: a draw stored already, two new ones, one older than the oldest
// stored draw, a pending draw.
const QStringList kPage = {
    QStringLiteral("期号 开奖时间 开奖号码"),           QStringLiteral("160121005 2016-01-21 10:10 等待开奖"),
    QStringLiteral("160121004 2016-01-21 10:00 1 1 1"), QStringLiteral("160121003 2016-01-21 09:50 4 5 6"),
    QStringLiteral("160121002 2016-01-21 09:40 3 3 5"), QStringLiteral("160120078 2016-01-20 22:00 6 6 6"),
};

} // namespace

TEST_F(HistoryImportWindow, PreviewCountsAndCancelStoresNothing)
{
    QString summary;
    int unreadRows = 0;
    QList<int> unreadLines;
    bool enabledAtFirst = true, enabledWhenSkipping = false;
    onPreview([&](HistoryImportDialog* d) {
        summary = d->summaryText();
        const QAbstractItemModel* m = d->unreadView()->model();
        unreadRows = m->rowCount();
        for (int r = 0; r < m->rowCount(); ++r)
            unreadLines << m->index(r, 0).data().toInt();
        enabledAtFirst = d->importButton()->isEnabled();
        d->skipBadBox()->setChecked(true);
        enabledWhenSkipping = d->importButton()->isEnabled();
        d->reject();
    });
    EXPECT_FALSE(runHistoryImport(nullptr, ws, kPage, QStringLiteral("剪贴板")));
    EXPECT_TRUE(m_previewShown);
    EXPECT_TRUE(summary.contains(QStringLiteral("来源：剪贴板")));
    EXPECT_TRUE(summary.contains(QStringLiteral("识别为：开奖结果网页的文字")));
    EXPECT_TRUE(summary.contains(QStringLiteral("将添加：2 期（第一期 160121003，最后一期 160121004）")));
    EXPECT_TRUE(summary.contains(QStringLiteral("已经存在（跳过）：1 期")));
    EXPECT_TRUE(summary.contains(QStringLiteral("无法导入的行：2 行")));
    EXPECT_TRUE(summary.contains(QStringLiteral("忽略的其他行（表头、没有期号的文字）：1 行")));
    EXPECT_EQ(unreadRows, 2);
    EXPECT_EQ(unreadLines, QList<int>({2, 6}));
    EXPECT_FALSE(enabledAtFirst);
    EXPECT_TRUE(enabledWhenSkipping);
    // Cancel stores nothing.
    EXPECT_EQ(storedIssues(), QStringList({"160121001", "160121002"}));
}

TEST_F(HistoryImportWindow, ImportStoresInIssueOrderChained)
{
    onPreview([](HistoryImportDialog* d) {
        d->skipBadBox()->setChecked(true);
        d->importButton()->click();
    });
    EXPECT_TRUE(runHistoryImport(nullptr, ws, kPage, QStringLiteral("剪贴板")));
    EXPECT_EQ(storedIssues(), QStringList({"160121001", "160121002", "160121003", "160121004"}));
    // 1 1 1 chained from 4 5 6 (the draw before it in the text), not from the stored 3 3 5.
    Workspace typed;
    TempDataFolder other;
    QString error;
    ASSERT_TRUE(typed.open(other.path(), &error));
    addDraws(typed, {{"160121001", "123"}, {"160121002", "335"}, {"160121003", "456"}, {"160121004", "111"}});
    EXPECT_EQ(ws.history().draws()[3].values, typed.history().draws()[3].values);
}

TEST_F(HistoryImportWindow, PasteOfStoredDrawAddsNothing)
{
    QApplication::clipboard()->setText(QStringLiteral("第160121002期 开奖号码：3 3 5\r\n"));
    QString summary;
    bool enabled = true;
    onPreview([&](HistoryImportDialog* d) {
        summary = d->summaryText();
        enabled = d->importButton()->isEnabled();
        EXPECT_TRUE(d->unreadView()->isHidden());
    });
    EXPECT_FALSE(importHistoryFromClipboard(nullptr, ws));
    EXPECT_TRUE(summary.contains(QStringLiteral("将添加：0 期")));
    EXPECT_TRUE(summary.contains(QStringLiteral("已经存在（跳过）：1 期")));
    EXPECT_FALSE(enabled);
    EXPECT_EQ(ws.history().draws().size(), 2u);

    // Text without any draw gets a message and no preview.
    QApplication::clipboard()->setText(QStringLiteral("开奖公告 暂无数据"));
    MessageBoxes::pushAnswer(true);
    EXPECT_FALSE(importHistoryFromClipboard(nullptr, ws));
    EXPECT_TRUE(MessageBoxes::shownTexts().last().startsWith(QStringLiteral("没有找到开奖号码")));
}

TEST_F(HistoryImportWindow, SpreadsheetFileThroughTheFileDialog)
{
    // A GBK CSV as a Chinese spreadsheet saves it.
    const QString path = dir.file(QStringLiteral("开奖记录.csv"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    QStringEncoder gbk("GB18030");
    f.write(gbk.encode(
        QStringLiteral("期号,百位,十位,个位,和值\r\n160121003,4,5,6,15\r\n160121004,1,1,1,3\r\n")));
    f.close();
    MessageBoxes::pushAnswer(true, path);
    QString summary;
    onPreview([&](HistoryImportDialog* d) {
        summary = d->summaryText();
        EXPECT_TRUE(d->importButton()->isEnabled());
        d->importButton()->click();
    });
    EXPECT_TRUE(importHistoryFromFile(nullptr, ws));
    EXPECT_TRUE(summary.contains(QStringLiteral("来源：开奖记录.csv")));
    EXPECT_TRUE(summary.contains(QStringLiteral("CSV 表格（逗号分隔）")));
    EXPECT_EQ(storedIssues().size(), 4);

    // A cancelled file dialog does nothing.
    MessageBoxes::pushAnswer(false);
    EXPECT_FALSE(importHistoryFromFile(nullptr, ws));
}

TEST_F(HistoryImportWindow, HistoryMenuEntriesImportAndAnnounceTheChange)
{
    DatabaseGuard guard;
    AnalysisSession session(&ws);
    HistoryPanel panel(&session, &guard);
    QAction* fromFile = panel.findChild<QAction*>("mnuLsdr");
    QAction* paste = panel.findChild<QAction*>("mnuLszt");
    ASSERT_NE(fromFile, nullptr);
    ASSERT_NE(paste, nullptr);
    EXPECT_EQ(fromFile->text(), QStringLiteral("从文件导入历史号码(&I)..."));
    EXPECT_EQ(paste->text(), QStringLiteral("粘贴历史号码(&P)"));
    EXPECT_TRUE(panel.menu()->actions().contains(paste));

    QSignalSpy changed(&session, &HistorySession::historyChanged);
    QApplication::clipboard()->setText(QStringLiteral("160121003\t4 5 6\n"));
    onPreview([](HistoryImportDialog* d) { d->importButton()->click(); });
    paste->trigger();
    EXPECT_TRUE(m_previewShown);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(storedIssues().size(), 3);

    // Cancelled: nothing changed, nothing announced.
    QApplication::clipboard()->setText(QStringLiteral("160121004\t1 1 1\n"));
    onPreview([](HistoryImportDialog* d) { d->reject(); });
    paste->trigger();
    EXPECT_EQ(changed.count(), 1);

    // Without a database the entries explain why and read nothing.
    DatabaseGuard closed(QStringLiteral("无法打开数据库"));
    HistoryPanel closedPanel(&session, &closed);
    MessageBoxes::pushAnswer(true);
    closedPanel.findChild<QAction*>("mnuLsdr")->trigger();
    EXPECT_TRUE(MessageBoxes::shownTexts().last().contains(QStringLiteral("数据库没有打开")));
}

TEST_F(HistoryImportWindow, PreviewShowsTheFirstAndLastDrawsAsStoredAndRefusesTheSeventyNinth)
{
    // A full-year table that writes the sum before the numbers, and the 79th draw of a 78-draw day.
    const QStringList lines = {QStringLiteral("20160121003,6,1,2,3"), QStringLiteral("20160121004,5,1,1,3"),
                               QStringLiteral("20160121079,4,1,1,2")};
    QString summary;
    QStringList reasons;
    onPreview([&](HistoryImportDialog* d) {
        summary = d->summaryText();
        const QAbstractItemModel* m = d->unreadView()->model();
        for (int r = 0; r < m->rowCount(); ++r)
            reasons << m->index(r, 1).data().toString();
    });
    EXPECT_FALSE(runHistoryImport(nullptr, ws, lines, QStringLiteral("剪贴板")));
    EXPECT_TRUE(
        summary.contains(QStringLiteral("第一期保存为：160121003 1 2 3（来自第1行“20160121003,6,1,2,3”）")))
        << summary.toStdString();
    EXPECT_TRUE(summary.contains(
        QStringLiteral("最后一期保存为：160121004 1 1 3（来自第2行“20160121004,5,1,1,3”）")));
    EXPECT_TRUE(summary.contains(QStringLiteral("开奖号码在第3到5列，第2列是和值"))) << summary.toStdString();
    ASSERT_EQ(reasons.size(), 1);
    EXPECT_TRUE(reasons[0].startsWith(QStringLiteral("期号160121079：福建快3每天只有78期")))
        << reasons[0].toStdString();

    // Rows that read two ways are refused with a message, without a preview.
    MessageBoxes::pushAnswer(true);
    EXPECT_FALSE(
        runHistoryImport(nullptr, ws, {"160121003,1,2,3,4", "160121004,2,3,4,5"}, QStringLiteral("剪贴板")));
    EXPECT_TRUE(MessageBoxes::shownTexts().last().contains(QStringLiteral("两种同样可能的读法")));
    EXPECT_EQ(storedIssues(), QStringList({"160121001", "160121002"}));
}

TEST_F(HistoryImportWindow, AWorkbookSheetIsPickedInThePreview)
{
    EXPECT_TRUE(historyFileFilter().contains("*.xlsx"));
    EXPECT_TRUE(historyFileFilter().contains("*.xls)"));
    const QString path = dir.file(QStringLiteral("历史.xlsx"));
    lxw_workbook* book = workbook_new(QFile::encodeName(path).constData());
    worksheet_write_string(workbook_add_worksheet(book, "说明"), 0, 0, "见第二页", nullptr);
    lxw_worksheet* sheet = workbook_add_worksheet(book, "开奖");
    worksheet_write_string(sheet, 0, 0, "期号", nullptr);
    worksheet_write_string(sheet, 0, 1, "开奖号码", nullptr);
    worksheet_write_number(sheet, 1, 0, 160121003, nullptr);
    worksheet_write_string(sheet, 1, 1, "4 5 6", nullptr);
    ASSERT_EQ(workbook_close(book), LXW_NO_ERROR);

    MessageBoxes::pushAnswer(true, path);
    QString before, after;
    onPreview([&](HistoryImportDialog* d) {
        before = d->summaryText();
        EXPECT_FALSE(d->importButton()->isEnabled());
        ASSERT_NE(d->sheetBox(), nullptr);
        d->sheetBox()->setCurrentIndex(1);
        after = d->summaryText();
        EXPECT_TRUE(d->importButton()->isEnabled());
        d->importButton()->click();
    });
    EXPECT_TRUE(importHistoryFromFile(nullptr, ws));
    EXPECT_TRUE(before.contains(QStringLiteral("将添加：0 期"))) << before.toStdString();
    EXPECT_TRUE(after.contains(QStringLiteral("工作表“开奖”"))) << after.toStdString();
    EXPECT_TRUE(after.contains(QStringLiteral("第一期保存为：160121003 4 5 6")));
    EXPECT_EQ(storedIssues(), QStringList({"160121001", "160121002", "160121003"}));
}

// Thirty thousand pasted lines are read and checked in the background: the window's event loop
// keeps running (timers fire, the window repaints) before the preview appears, with the progress
// dialog of the other long tasks when it takes a while; the import then stores them all.
TEST_F(HistoryImportWindow, ALargePasteIsReadInTheBackground)
{
    QStringList lines;
    unsigned seed = 12345;
    auto die = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return int((seed >> 16) % 6) + 1;
    };
    const QDate first(2016, 1, 22);
    for (int i = 0; i < 30000; ++i) {
        std::array<int, 3> n{die(), die(), die()};
        std::sort(n.begin(), n.end()); // as results pages publish them
        lines << QStringLiteral("%1%2 %3 %4 %5")
                     .arg(first.addDays(i / 78).toString(QStringLiteral("yyMMdd")))
                     .arg(i % 78 + 1, 3, 10, QLatin1Char('0'))
                     .arg(n[0])
                     .arg(n[1])
                     .arg(n[2]);
    }
    QWidget window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    int ticksWhileReading = 0;
    bool reading = true;
    QElapsedTimer clock;
    // A tick long after the reading began (the progress dialog comes at 400 ms), while the
    // background work still holds its busy cursor: the progress dialog must be up by then.
    // (Building the preview afterwards takes a while too, without a progress dialog, so the time
    // until the preview shows proves nothing.)
    qint64 lateBusyMs = -1;
    bool progressShownLate = false;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (!reading)
            return;
        if (qobject_cast<HistoryImportDialog*>(QApplication::activeModalWidget())) {
            reading = false;
            return;
        }
        ++ticksWhileReading;
        if (clock.elapsed() > 1500 && QApplication::overrideCursor() &&
            QApplication::overrideCursor()->shape() == Qt::BusyCursor && lateBusyMs < 0) {
            lateBusyMs = clock.elapsed();
            for (QWidget* w : QApplication::topLevelWidgets())
                if (qobject_cast<QProgressDialog*>(w) && w->isVisible())
                    progressShownLate = true;
        }
    });
    ticker.start(10);
    onPreview([](HistoryImportDialog* d) { d->importButton()->click(); });
    clock.start();
    EXPECT_TRUE(runHistoryImport(&window, ws, lines, QStringLiteral("剪贴板")));
    EXPECT_TRUE(m_previewShown);
    EXPECT_GT(ticksWhileReading, 0) << "the window's events waited for the reading";
    if (lateBusyMs >= 0) {
        EXPECT_TRUE(progressShownLate)
            << "still reading after " << lateBusyMs << " ms without a progress dialog";
    }
    EXPECT_EQ(storedIssues().size(), 30002);
}

// The main window over a few thousand draws imported with lines refused: a paste of the missing
// lines (newest first, as a results page shows them) previews the gaps apart from the new draws,
// stores them in their places, and the window refreshes once: the history grid and the formula
// list show what a window opened on the whole history shows.
TEST_F(HistoryImportWindow, APasteThatFillsGapsRefreshesTheWindowOnce)
{
    QString error;
    ASSERT_GE(ws.history().deleteAll(&error), 0) << error.toStdString();
    const std::vector<DrawRecord> all = syntheticDraws(2000, 41, true);
    // Gaps inside the look-back window (the newest 300 draws), where they change the figures.
    const std::vector<size_t> gaps = {1750, 1751, 1800, 1899, 1950};
    std::vector<DrawRecord> stored;
    for (size_t i = 0; i < 1990; ++i)
        if (std::find(gaps.begin(), gaps.end(), i) == gaps.end())
            stored.push_back(all[i]);
    HistoryImport::Options options;
    options.drawsPerDay = 78;
    const HistoryImportPlan first =
        HistoryImport::plan(ws.history(), HistoryTextFile::format(stored), options);
    ASSERT_TRUE(HistoryImport::store(&ws.history(), first, &error)) << error.toStdString();
    addFormulas(ws, {1, true}, true, {"LX+LY+L1A", "LY+L3A+1", "L2A+2"}, QString());

    MainWindow window(&ws, QString());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const int runs = window.backtestRuns();

    QStringList page;
    for (size_t i = all.size(); i-- > 0;)
        if (i >= 1990 || std::find(gaps.begin(), gaps.end(), i) != gaps.end())
            page << QStringLiteral("%1期 开奖号码：%2 %3 %4")
                        .arg(all[i].issue)
                        .arg(all[i].number(1))
                        .arg(all[i].number(2))
                        .arg(all[i].number(3));
    QApplication::clipboard()->setText(page.join('\n'));
    QString summary;
    onPreview([&](HistoryImportDialog* d) {
        summary = d->summaryText();
        d->importButton()->click();
    });
    QAction* paste = window.findChild<QAction*>("mnuLszt");
    ASSERT_NE(paste, nullptr);
    paste->trigger();
    ASSERT_TRUE(m_previewShown);
    EXPECT_TRUE(summary.contains(
        QStringLiteral("将添加：15 期（第一期 %1，最后一期 %2）").arg(all[1750].issue, all[1999].issue)))
        << summary.toStdString();
    EXPECT_TRUE(summary.contains(
        QStringLiteral("其中补齐 5 期（已存的各期之间缺少的），接在最新一期之后的新号码 10 期")))
        << summary.toStdString();

    EXPECT_EQ(window.backtestRuns(), runs + 1);
    ASSERT_EQ(window.historyModel()->rowCount(), 2000);
    EXPECT_EQ(window.historyModel()->drawAt(1750)->issue, all[1750].issue);
    for (size_t i = 0; i < all.size(); ++i)
        ASSERT_EQ(ws.history().draws()[i].values, all[i].values) << all[i].issue.toStdString();

    // A window opened afresh on the stored history shows the same figures.
    std::vector<FormulaStats> shown;
    for (int row = 0; row < 3; ++row) {
        ASSERT_NE(window.formulaModel()->outcomeAt(row), nullptr);
        shown.push_back(window.formulaModel()->outcomeAt(row)->stats);
    }
    MainWindow fresh(&ws, QString());
    for (int row = 0; row < 3; ++row) {
        ASSERT_NE(fresh.formulaModel()->outcomeAt(row), nullptr);
        EXPECT_EQ(fresh.formulaModel()->outcomeAt(row)->stats, shown[size_t(row)]) << row;
    }
}

// A draw typed by hand into a gap: stored in its place, chained from its true previous draw, the
// window refreshed once and the next issue still the one after the newest draw; an issue before
// the oldest draw is refused with the reason.
TEST_F(HistoryImportWindow, ADrawTypedIntoAGapRefreshesTheWindowOnce)
{
    addDraws(ws, {{"160121004", "556"}});
    addFormulas(ws, {1, true}, true, {"LX+LY+L1A"}, QString());
    MainWindow window(&ws, QString());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const int runs = window.backtestRuns();
    auto type = [&window](const QString& issue, const QString& digits) {
        window.findChild<QLineEdit*>("Text1")->setText(issue);
        window.findChild<QLineEdit*>("txtIpt1")->setFocus();
        QApplication::processEvents();
        for (QChar c : digits)
            QTest::keyClicks(QApplication::focusWidget(), QString(c));
    };
    type(QStringLiteral("160121003"), QStringLiteral("566"));
    EXPECT_EQ(window.backtestRuns(), runs + 1);
    ASSERT_EQ(window.historyModel()->rowCount(), 4);
    EXPECT_EQ(window.historyModel()->drawAt(2)->issue, "160121003");
    // 5 6 6 after 3 3 5 (160121002): only the 5 occurs; chained from 5 5 6 it would read LX 2.
    EXPECT_EQ(ws.history().draws()[2].value("LX"), 0);
    EXPECT_EQ(ws.history().draws()[2].value("LY"), 1);
    EXPECT_EQ(ws.history().draws()[3].value("LX"), 2); // 5 5 6 chained again from 5 6 6
    EXPECT_EQ(window.findChild<QLineEdit*>("Text1")->text(), "160121005");

    MessageBoxes::pushAnswer(true);
    type(QStringLiteral("160120078"), QStringLiteral("111"));
    EXPECT_EQ(window.backtestRuns(), runs + 1);
    EXPECT_EQ(window.historyModel()->rowCount(), 4);
    ASSERT_FALSE(MessageBoxes::shownTexts().isEmpty());
    EXPECT_TRUE(MessageBoxes::shownTexts().last().contains(QStringLiteral("早于已存的最早一期160121001")));
}
