#include "TestSupport.h"

#include "killkeep/AllPositionsRankingWindow.h"
#include "killkeep/DistributionTableModel.h"
#include "killkeep/RankingPanel.h"
#include "killkeep/RankingTableModel.h"
#include "killkeep/RankingWindow.h"
#include "killkeep/VoteTally.h"
#include "ui/DesktopOpener.h"
#include "ui/MessageBoxes.h"

#include <QAbstractItemModelTester>
#include <QBrush>
#include <QFile>
#include <QHeaderView>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

namespace {

VoteTally exampleTally(bool kill)
{
    VoteTally t;
    const int votes[] = {0, 3, 0, 1, 3, 0};
    for (int n = 1; n <= 6; ++n)
        for (int i = 0; i < votes[n - 1]; ++i)
            t.vote(VoteTally::kGeneralPosition, n);
    if (!kill)
        t.moveKillToKeep(VoteTally::kGeneralPosition);
    return t;
}

QString text(const QAbstractItemModel& m, int row, int column)
{
    return m.data(m.index(row, column), Qt::DisplayRole).toString();
}

QStringList column(const QAbstractItemModel& m, int c)
{
    QStringList out;
    for (int r = 0; r < m.rowCount(); ++r)
        out << text(m, r, c);
    return out;
}

void doubleClickCell(QTableView* view, int row, int column)
{
    // The view acts on a double-click only over the cell the press went to, as with a real mouse.
    const QPoint at = view->visualRect(view->model()->index(row, column)).center();
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
}

// The 号码 column (B) of an exported sheet below its header, read from the .xlsx with python3's zipfile.
QStringList exportedNumbers(const QString& xlsx)
{
    QProcess p;
    p.start("python3",
            {"-c",
             "import sys,re,zipfile;x=zipfile.ZipFile(sys.argv[1]).read('xl/worksheets/sheet1.xml').decode();"
             "print(' '.join(re.findall(r'<c r=\"B[0-9]+\"[^>]*><v>([^<]*)</v>', x)[1:]))",
             xlsx});
    p.waitForFinished();
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed().split(' ', Qt::SkipEmptyParts);
}

struct MessageBoxScope
{
    MessageBoxScope()
    {
        MessageBoxes::clearAnswers();
        MessageBoxes::clearShownTexts();
    }
    ~MessageBoxScope() { MessageBoxes::clearAnswers(); }
};

} // namespace

TEST(RankingModels, PassTheModelTesterAndColourFilteredRows)
{
    RankingTableModel ranking;
    QAbstractItemModelTester rankingTester(&ranking, QAbstractItemModelTester::FailureReportingMode::Fatal);
    DistributionTableModel distribution;
    QAbstractItemModelTester distributionTester(&distribution,
                                                QAbstractItemModelTester::FailureReportingMode::Fatal);

    RankingBuilder built(RankingBuilder::entriesOf(exampleTally(true), 0), true);
    distribution.setRows(built.distribution());
    ranking.setRanking(built);
    ASSERT_EQ(ranking.rowCount(), 6);
    EXPECT_EQ(column(ranking, 1), (QStringList{"1", "3", "6", "4", "2", "5"}));
    EXPECT_EQ(text(ranking, 3, 5), QStringLiteral("滤杀"));
    for (int c = 0; c < 6; ++c) {
        EXPECT_EQ(ranking.data(ranking.index(3, c), Qt::ForegroundRole).value<QBrush>().color(),
                  QColor(0, 255, 0));
        EXPECT_EQ(ranking.data(ranking.index(0, c), Qt::ForegroundRole).value<QBrush>().color(),
                  QColor(Qt::black));
    }
    EXPECT_EQ(ranking.headerData(3, Qt::Horizontal).toString(), QStringLiteral("杀码Err值"));
    ranking.resortByColumn(RankingBuilder::NumberColumn);
    EXPECT_EQ(column(ranking, 1), (QStringList{"6", "5", "4", "3", "2", "1"}));
    EXPECT_EQ(column(ranking, 0), (QStringList{"1", "2", "3", "4", "5", "6"}));
    EXPECT_EQ(ranking.headerData(3, Qt::Horizontal).toString(), QStringLiteral("杀码Err值（公式错误值）"));

    ASSERT_EQ(distribution.rowCount(), 3);
    EXPECT_EQ(distribution.headerData(0, Qt::Horizontal).toString(), QStringLiteral("杀留次数"));
    EXPECT_EQ(text(distribution, 0, 2), "1 3 6 ");
    EXPECT_EQ(text(distribution, 2, 0), "3");
    EXPECT_EQ(text(distribution, 2, 1), "2");
    EXPECT_TRUE(distribution.data(distribution.index(0, 2), Qt::TextAlignmentRole).value<Qt::Alignment>() &
                Qt::AlignLeft);
}

TEST(RankingWindow, ActivationShowsTheGeneralRankingAndTheDetailButton)
{
    TempDataFolder dir;
    RankingWindow w(dir.path());
    w.activate(exampleTally(true), true, 1, true);
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.isModal());
    EXPECT_EQ(w.windowTitle(), QStringLiteral("杀留值排序(鼠标双击列表反向排序)"));
    EXPECT_TRUE(w.detailButton()->isVisible());
    EXPECT_EQ(column(w.panel()->rankingModel(), 1), (QStringList{"1", "3", "6", "4", "2", "5"}));
    EXPECT_EQ(w.panel()->distributionModel().rowCount(), 3);
    EXPECT_EQ(w.panel()->rankingView()->columnWidth(2), 66);

    QSignalSpy detail(&w, &KillKeepWindow::detailListRequested);
    w.detailButton()->click();
    EXPECT_EQ(detail.count(), 1);

    // A best-formula calculation hides the button; a new calculation rebuilds in place.
    w.activate(exampleTally(false), false, 1, false);
    EXPECT_FALSE(w.detailButton()->isVisible());
    EXPECT_EQ(column(w.panel()->rankingModel(), 1), (QStringList{"2", "5", "4", "1", "3", "6"}));
    EXPECT_EQ(column(w.panel()->distributionModel(), 0), (QStringList{"3", "1", "0"}));
}

TEST(RankingWindow, DoubleClicksResortAndActivationResetsTheFlag)
{
    TempDataFolder dir;
    RankingWindow w(dir.path());
    w.activate(exampleTally(true), true, 1, false);
    QTableView* view = w.panel()->rankingView();

    doubleClickCell(view, 2, RankingBuilder::NumberColumn);
    EXPECT_EQ(column(w.panel()->rankingModel(), 1), (QStringList{"6", "5", "4", "3", "2", "1"}));
    EXPECT_EQ(w.panel()->rankingModel().headerData(2, Qt::Horizontal).toString(),
              QStringLiteral("杀留Err值（公式错误值）"));
    doubleClickCell(view, 0, RankingBuilder::NumberColumn);
    EXPECT_EQ(column(w.panel()->rankingModel(), 1), (QStringList{"1", "2", "3", "4", "5", "6"}));

    // Double-click on a column header sorts by that column too.
    QHeaderView* header = view->horizontalHeader();
    const int x = header->sectionViewportPosition(RankingBuilder::AllColumn) +
                  header->sectionSize(RankingBuilder::AllColumn) / 2;
    QTest::mouseDClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    EXPECT_TRUE(w.panel()->ranking().sortFlag());
    EXPECT_EQ(column(w.panel()->rankingModel(), 1), (QStringList{"2", "5", "4", "1", "3", "6"}));

    w.activate(exampleTally(true), true, 1, false);
    EXPECT_FALSE(w.panel()->ranking().sortFlag());
    EXPECT_EQ(w.panel()->rankingModel().headerData(2, Qt::Horizontal).toString(),
              QStringLiteral("杀留Err值"));
    doubleClickCell(w.panel()->rankingView(), 0, RankingBuilder::NumberColumn);
    EXPECT_EQ(column(w.panel()->rankingModel(), 1), (QStringList{"6", "5", "4", "3", "2", "1"}));
}

TEST(AllPositionsRankingWindow, OneTabPerPositionUpToTheCurrentOne)
{
    TempDataFolder dir;
    AllPositionsRankingWindow w(dir.path());
    VoteTally t;
    t.vote(1, 7);
    t.vote(2, 3);
    t.vote(3, 5);
    w.activate(t, true, 2, true);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("杀留值排序(鼠标双击列表反向排序)"));
    ASSERT_EQ(w.panelCount(), 2);
    EXPECT_EQ(w.tabs()->tabText(0), QStringLiteral("个位"));
    EXPECT_EQ(w.tabs()->tabText(1), QStringLiteral("十位"));
    EXPECT_EQ(w.tabs()->currentIndex(), 0);
    EXPECT_EQ(w.panelAt(0)->rankingModel().rowCount(), 10);
    EXPECT_EQ(w.panelAt(1)->rankingModel().rowCount(), 10);
    EXPECT_EQ(text(w.panelAt(0)->rankingModel(), 9, 1), "7");
    EXPECT_EQ(text(w.panelAt(1)->rankingModel(), 9, 1), "3");
    EXPECT_EQ(text(w.panelAt(1)->distributionModel(), 0, 1), "9");

    // Each tab re-sorts on its own.
    doubleClickCell(w.panelAt(0)->rankingView(), 0, RankingBuilder::NumberColumn);
    EXPECT_TRUE(w.panelAt(0)->ranking().sortFlag());
    EXPECT_FALSE(w.panelAt(1)->ranking().sortFlag());

    w.activate(t, true, 3, false);
    ASSERT_EQ(w.panelCount(), 3);
    EXPECT_EQ(w.tabs()->tabText(2), QStringLiteral("百位"));
    EXPECT_FALSE(w.panelAt(0)->ranking().sortFlag());
    EXPECT_FALSE(w.detailButton()->isVisible());
    w.activate(t, true, 1, false);
    EXPECT_EQ(w.panelCount(), 1);
}

TEST(KillKeepWindow, ExportWritesTheRankingAndOpensIt)
{
    MessageBoxScope boxes;
    TempDataFolder dir;
    RankingWindow w(dir.path());
    w.activate(exampleTally(true), true, 1, false);
    w.exportButton()->click();
    const QString path = dir.file("ErrarrLei.xlsx");
    ASSERT_TRUE(QFile::exists(path));
    EXPECT_EQ(DesktopOpener::lastRequested(), path);
    EXPECT_TRUE(MessageBoxes::shownTexts().isEmpty());
    if (QStandardPaths::findExecutable("python3").isEmpty())
        GTEST_SKIP() << "python3 is needed to look inside the workbook";
    EXPECT_EQ(exportedNumbers(path), (QStringList{"1", "3", "6", "4", "2", "5"}));
}

TEST(KillKeepWindow, ExportOfTheAllPositionsWindowWritesTheTabInFront)
{
    if (QStandardPaths::findExecutable("python3").isEmpty())
        GTEST_SKIP() << "python3 is needed to look inside the workbook";
    TempDataFolder dir;
    AllPositionsRankingWindow w(dir.path());
    VoteTally t;
    t.vote(1, 0);
    t.vote(2, 9);
    w.activate(t, true, 2, false);
    w.tabs()->setCurrentIndex(1);
    w.exportButton()->click();
    const QStringList numbers = exportedNumbers(dir.file("ErrarrLei.xlsx"));
    ASSERT_EQ(numbers.size(), 10);
    EXPECT_EQ(numbers.front(), "0");
    EXPECT_EQ(numbers.back(), "9");
}

TEST(KillKeepWindow, ExportFailureIsExplained)
{
    MessageBoxScope boxes;
    TempDataFolder dir;
    RankingWindow w(dir.file("missing/folder"));
    w.activate(exampleTally(true), true, 1, false);
    MessageBoxes::pushAnswer(true);
    w.exportButton()->click();
    ASSERT_EQ(MessageBoxes::shownTexts().size(), 1);
    EXPECT_TRUE(MessageBoxes::shownTexts()[0].startsWith(
        QStringLiteral("您的电脑没有安装Microsoft Excel表格软件，多参数列表无法显示")));
}
