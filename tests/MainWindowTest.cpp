#include "CliRunner.h"
#include "PrivateMount.h"
#include "TestSupport.h"

#include "app/MainWindow.h"
#include "backtest/BacktestRunner.h"
#include "backtest/CalculationStepsModel.h"
#include "backtest/CalculationStepsWindow.h"
#include "backtest/FormulaGridModel.h"
#include "backtest/FormulaSortWindow.h"
#include "backtest/PositionHistoryWindow.h"
#include "formula/FormulaTableStore.h"
#include "history/HistoryGridModel.h"
#include "history/ParameterReferenceWindow.h"
#include "history/Workspace.h"
#include "killkeep/AllPositionsRankingWindow.h"
#include "killkeep/RankingPanel.h"
#include "killkeep/RankingWindow.h"
#include "ui/DesktopOpener.h"
#include "ui/MessageBoxes.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>
#include <unistd.h>

namespace {

// One window over a fresh data folder, with the settings reset to their first-start state.
class WindowFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QSettings(QSettings::IniFormat, QSettings::UserScope, "Pelq", "Pelq").clear();
        MessageBoxes::clearAnswers();
        MessageBoxes::clearShownTexts();
        open();
    }
    void TearDown() override
    {
        window.reset();
        ws.reset();
        EXPECT_EQ(MessageBoxes::pendingAnswers(), 0) << "a pre-answered dialog was never shown";
        MessageBoxes::clearAnswers();
    }
    void open()
    {
        window.reset();
        ws = std::make_unique<Workspace>();
        QString error;
        ws->open(dir.path(), &error);
        window = std::make_unique<MainWindow>(ws.get(), error);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    template <typename T> T* child(const char* name)
    {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    QAction* action(const char* name) { return child<QAction>(name); }
    QLineEdit* box(const char* name) { return child<QLineEdit>(name); }
    int rows() { return window->historyModel()->rowCount(); }

    void typeDraw(const QString& issue, const char* digits)
    {
        box("Text1")->setText(issue);
        QLineEdit* first = box("txtIpt1");
        first->setFocus();
        QApplication::processEvents();
        QTest::keyClicks(QApplication::focusWidget(), QString::fromLatin1(digits).left(1));
        QTest::keyClicks(QApplication::focusWidget(), QString::fromLatin1(digits).mid(1, 1));
        QTest::keyClicks(QApplication::focusWidget(), QString::fromLatin1(digits).mid(2, 1));
    }

    TempDataFolder dir;
    std::unique_ptr<Workspace> ws;
    std::unique_ptr<MainWindow> window;
};

} // namespace

TEST_F(WindowFixture, FirstStartDefaults)
{
    EXPECT_EQ(window->windowTitle(), "Zorvane");
    EXPECT_TRUE(action("mnuK30")->isChecked());
    EXPECT_EQ(ws->lottery().drawsPerDay, 78);
    EXPECT_TRUE(child<QRadioButton>("Option60")->isChecked());
    EXPECT_TRUE(action("mnuYsXs0")->isChecked());
    EXPECT_FALSE(action("mnuYsXs1")->isChecked());
    EXPECT_TRUE(action("mnuBuhan")->isChecked());
    EXPECT_TRUE(action("mnuZqlJq")->isChecked());
    EXPECT_TRUE(action("mnuQs3")->isChecked());
    EXPECT_EQ(window->lookBackDraws(), 300);
    EXPECT_EQ(window->formulaTable(), "Gongshi1D");
    EXPECT_EQ(window->kindLabel(), QStringLiteral("单选个位"));
    EXPECT_TRUE(child<QRadioButton>("opTDG0")->isChecked());
    EXPECT_FALSE(child<QRadioButton>("opTDG1")->isEnabled());
    EXPECT_TRUE(window->databaseOpen());
    EXPECT_EQ(rows(), 0);
    EXPECT_EQ(box("Text3")->text(), "2007001");
    EXPECT_TRUE(child<QRadioButton>("Option50")->isChecked());
    box("Text3")->setFocus();
    QApplication::processEvents();
    EXPECT_TRUE(child<QRadioButton>("Option51")->isChecked());
}

TEST_F(WindowFixture, PositionAndSelectionOptions)
{
    child<QRadioButton>("optXing2")->click();
    EXPECT_TRUE(child<QRadioButton>("opTDG1")->isEnabled());
    EXPECT_TRUE(child<QRadioButton>("opTDG0")->isChecked());
    EXPECT_EQ(window->formulaTable(), "Gongshi2D");
    child<QRadioButton>("opTDG1")->click();
    EXPECT_EQ(window->formulaTable(), "Gongshi2G");
    EXPECT_EQ(window->historyModel()->emphasisFirst(), 2);
    EXPECT_EQ(window->historyModel()->emphasisLast(), 3);
    child<QRadioButton>("optXing3")->click();
    EXPECT_EQ(window->formulaTable(), "Gongshi3G");
    EXPECT_EQ(window->historyModel()->emphasisFirst(), 1);
    child<QRadioButton>("optXing1")->click();
    EXPECT_TRUE(child<QRadioButton>("opTDG0")->isChecked());
    EXPECT_FALSE(child<QRadioButton>("opTDG1")->isEnabled());
    EXPECT_EQ(window->formulaTable(), "Gongshi1D");
    EXPECT_EQ(window->historyModel()->emphasisFirst(), 3);
    EXPECT_EQ(window->historyModel()->emphasisLast(), 3);
}

TEST_F(WindowFixture, TypingDrawsAppendsAndProposesNextIssue)
{
    typeDraw("160121077", "356");
    ASSERT_EQ(rows(), 1);
    EXPECT_EQ(ws->history().draws()[0].number(2), 5);
    EXPECT_TRUE(box("txtIpt1")->text().isEmpty());
    EXPECT_TRUE(box("txtIpt3")->text().isEmpty());
    EXPECT_EQ(QApplication::focusWidget(), box("txtIpt1"));
    EXPECT_EQ(box("Text1")->text(), "160121078");
    EXPECT_EQ(box("Text3")->text(), "160121077");
    typeDraw(box("Text1")->text(), "124");
    EXPECT_EQ(rows(), 2);
    EXPECT_EQ(box("Text1")->text(), "160122001");
}

TEST_F(WindowFixture, BadTypedDrawIsRefusedAndKept)
{
    MessageBoxes::pushAnswer(true);
    typeDraw("160121001", "376");
    EXPECT_EQ(rows(), 0);
    EXPECT_EQ(box("txtIpt2")->text(), "7");
    EXPECT_EQ(box("txtIpt3")->text(), "6");
    ASSERT_FALSE(MessageBoxes::shownTexts().isEmpty());
    EXPECT_TRUE(MessageBoxes::shownTexts().last().contains(QStringLiteral("1到6")));

    typeDraw("160121001", "123");
    MessageBoxes::pushAnswer(true);
    typeDraw("160121001", "456");
    EXPECT_EQ(rows(), 1);
    EXPECT_TRUE(MessageBoxes::shownTexts().last().contains("160121001"));
}

TEST_F(WindowFixture, DeletionsFromTheHistoryMenu)
{
    addDraws(*ws, {{"160121001", "123"},
                   {"160121002", "335"},
                   {"160121003", "456"},
                   {"160121004", "111"},
                   {"160121005", "222"}});
    open(); // the window reads the stored history at start

    // 删除到选定期 with the default after clicking row 160121004 removes it and every newer draw.
    QTest::mouseClick(
        child<QTableView>("MSFlexGrid1")->viewport(), Qt::LeftButton, {},
        child<QTableView>("MSFlexGrid1")->visualRect(window->historyModel()->index(3, 0)).center());
    MessageBoxes::pushAnswer(true, "160121003");
    action("mnuDelTo")->trigger();
    EXPECT_EQ(MessageBoxes::lastInputDefault(), "160121003");
    EXPECT_EQ(rows(), 3);
    EXPECT_EQ(box("Text3")->text(), "160121003");

    // An empty answer changes nothing silently; the others say why they change nothing.
    MessageBoxes::pushAnswer(true, "");
    action("mnuDelTo")->trigger();
    EXPECT_EQ(rows(), 3);
    for (const char* answer : {"0", "abc", "-2", "160121000", "150101001"}) {
        MessageBoxes::pushAnswer(true, answer);
        MessageBoxes::pushAnswer(true);
        action("mnuDelTo")->trigger();
        EXPECT_EQ(rows(), 3) << answer;
        EXPECT_TRUE(MessageBoxes::shownTexts().last().contains(QStringLiteral("没有删除")) ||
                    MessageBoxes::shownTexts().last().contains(QStringLiteral("不是可以保留到的期号")))
            << answer;
    }
    MessageBoxes::pushAnswer(false, "160121001");
    action("mnuDelTo")->trigger();
    EXPECT_EQ(rows(), 3);

    MessageBoxes::pushAnswer(true, "x");
    action("mnuDelLast")->trigger();
    EXPECT_EQ(rows(), 3);
    // The deletion compacts the file in place: no copy beside it, no journal left.
    MessageBoxes::pushAnswer(true, "1");
    action("mnuDelLast")->trigger();
    EXPECT_EQ(rows(), 2);
    EXPECT_FALSE(QFile::exists(dir.file("formulaTmp.mdb")));
    EXPECT_FALSE(QFile::exists(dir.file("formula.mdb-journal")));

    MessageBoxes::pushAnswer(true);
    child<QPushButton>("Command3")->click();
    EXPECT_EQ(rows(), 1);

    MessageBoxes::pushAnswer(false);
    action("mnuDelAll")->trigger();
    EXPECT_EQ(rows(), 1);
    MessageBoxes::pushAnswer(true);
    action("mnuDelAll")->trigger();
    EXPECT_EQ(rows(), 0);
    EXPECT_TRUE(ws->history().isEmpty());

    addDraws(*ws, {{"160121001", "123"}, {"160121002", "335"}, {"160121003", "456"}});
    open();
    MessageBoxes::pushAnswer(true, "5");
    action("mnuDelLast")->trigger();
    EXPECT_EQ(rows(), 0);
}

TEST_F(WindowFixture, SettingsMenusSurviveRestart)
{
    action("mnuQs0")->trigger();
    EXPECT_EQ(window->lookBackDraws(), 0);
    action("mnuBuhan")->trigger();
    action("mnuZqlJq")->trigger();
    action("mnuYsXs1")->trigger();
    action("mnuK35")->trigger();
    child<QRadioButton>("Option61")->click();
    open();
    EXPECT_TRUE(action("mnuQs0")->isChecked());
    EXPECT_FALSE(action("mnuQs3")->isChecked());
    EXPECT_FALSE(action("mnuBuhan")->isChecked());
    EXPECT_FALSE(action("mnuZqlJq")->isChecked());
    EXPECT_TRUE(action("mnuYsXs1")->isChecked());
    EXPECT_TRUE(action("mnuK35")->isChecked());
    EXPECT_FALSE(action("mnuK30")->isChecked());
    EXPECT_EQ(ws->lottery().drawsPerDay, 84);
    EXPECT_TRUE(child<QRadioButton>("Option61")->isChecked());

    action("meuHfmr")->trigger();
    EXPECT_TRUE(action("mnuQs3")->isChecked());
    open();
    EXPECT_TRUE(action("mnuQs3")->isChecked());
    EXPECT_TRUE(action("mnuBuhan")->isChecked());
    EXPECT_TRUE(action("mnuZqlJq")->isChecked());
    EXPECT_TRUE(action("mnuYsXs0")->isChecked());
    EXPECT_TRUE(action("mnuK35")->isChecked()); // the lottery is kept
    EXPECT_TRUE(child<QRadioButton>("Option61")->isChecked());
}

// "显示机会对比": on at first start; off hides the chance columns and the summary line, and is
// stored as JHDB; "恢复默认设置(&R)" turns it on again.
TEST_F(WindowFixture, ChanceComparisonItem)
{
    addDraws(*ws, {{"160121001", "123"}, {"160121002", "456"}, {"160121003", "111"}});
    addFormulas(*ws, {1, true}, true, {"L1A+1", "L1A+31"}, QString());
    open();
    QAction* item = action("mnuJhdb");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(), QStringLiteral("显示机会对比"));
    EXPECT_TRUE(item->isCheckable());
    EXPECT_TRUE(item->isChecked());
    auto* grid = child<QTableView>("MSFlexGrid2");
    auto* summary = child<QLabel>("lblChanceSummary");
    ASSERT_NE(summary, nullptr);
    EXPECT_TRUE(summary->isVisible()); // the start-up back-test wrote it
    EXPECT_TRUE(summary->text().startsWith(QStringLiteral("本类 2 条公式")));
    EXPECT_FALSE(grid->isColumnHidden(FormulaGridModel::PValueColumn));
    FormulaGridModel* m = window->formulaModel();
    EXPECT_EQ(m->data(m->index(1, FormulaGridModel::EquivalentColumn), Qt::DisplayRole).toString(), "1");

    item->trigger();
    EXPECT_FALSE(item->isChecked());
    EXPECT_TRUE(grid->isColumnHidden(FormulaGridModel::ChanceRateColumn));
    EXPECT_FALSE(summary->isVisible());
    EXPECT_EQ(QSettings(QSettings::IniFormat, QSettings::UserScope, "Pelq", "Pelq")
                  .value("IniSetting/JHDB")
                  .toString(),
              "False");
    open();
    EXPECT_FALSE(action("mnuJhdb")->isChecked());
    EXPECT_TRUE(child<QTableView>("MSFlexGrid2")->isColumnHidden(FormulaGridModel::ExcessColumn));
    action("meuHfmr")->trigger();
    EXPECT_TRUE(action("mnuJhdb")->isChecked());
    EXPECT_FALSE(child<QTableView>("MSFlexGrid2")->isColumnHidden(FormulaGridModel::ExcessColumn));
    EXPECT_TRUE(ws->settings().showChanceComparison());
}

TEST_F(WindowFixture, OnlineUpdateControls)
{
    EXPECT_EQ(child<QPushButton>("Command21")->toolTip(), QStringLiteral("从官方服务器更新历史号码"));
    MessageBoxes::pushAnswer(true, "8");
    action("mnuSetDay")->trigger();
    EXPECT_EQ(ws->settings().searchDays(), 8);
    // Declining the update's question fetches nothing.
    MessageBoxes::pushAnswer(false);
    child<QPushButton>("Command21")->click();
    EXPECT_EQ(rows(), 0);
}

TEST_F(WindowFixture, GuideButtonsOpenTheGuideOrSayWhereToSetAnAddress)
{
    child<QPushButton>("cmdSmwd")->click();
    EXPECT_TRUE(DesktopOpener::lastRequested().endsWith("README.md"));
    MessageBoxes::pushAnswer(true);
    child<QPushButton>("cmdLxxz")->click();
    ASSERT_FALSE(MessageBoxes::shownTexts().isEmpty());
    EXPECT_TRUE(MessageBoxes::shownTexts().last().contains("HelpVideoUrl"));
    QSettings(QSettings::IniFormat, QSettings::UserScope, "Pelq", "Pelq")
        .setValue("IniSetting/HelpSlidesUrl", "https://example.org/slides");
    child<QPushButton>("cmdHdsm")->click();
    EXPECT_EQ(DesktopOpener::lastRequested(), "https://example.org/slides");
}

TEST_F(WindowFixture, LotteryOutOfRangeChecksNothing)
{
    QSettings(QSettings::IniFormat, QSettings::UserScope, "Pelq", "Pelq").setValue("IniSetting/GsZl", "22");
    open();
    for (int i = 0; i < 15; ++i)
        EXPECT_FALSE(action(QStringLiteral("mnuK3%1").arg(i).toLatin1().constData())->isChecked());
    EXPECT_EQ(ws->lottery().drawsPerDay, 0);
}

TEST_F(WindowFixture, ReferenceWindowAndTextExport)
{
    addDraws(*ws, {{"160121001", "123"}, {"160121005", "335"}});
    open();
    child<QPushButton>("Command4")->click();
    ParameterReferenceWindow* ref = window->referenceWindow();
    ASSERT_NE(ref, nullptr);
    EXPECT_EQ(ref->windowTitle(), QStringLiteral("参数对照"));
    QTableWidget* grid = ref->grid();
    EXPECT_EQ(grid->item(0, 0)->text(), QStringLiteral("号码"));
    EXPECT_EQ(grid->item(0, 3)->text(), "5");
    EXPECT_EQ(grid->item(10, 1)->text(), "0"); // 除3余N: L1L
    EXPECT_EQ(grid->item(10, 3)->text(), "2"); // L3L
    EXPECT_EQ(grid->item(13 + 23, 0)->text(), QStringLiteral("连同号"));
    EXPECT_EQ(grid->item(13 + 23, 4)->text(), "1");
    EXPECT_EQ(grid->item(50, 0)->text(), QStringLiteral("日期合"));
    EXPECT_EQ(grid->item(50, 4)->text(), "3");
    emit grid->cellClicked(13 + 10, 4);
    EXPECT_EQ(QApplication::clipboard()->text(), "11");

    child<QPushButton>("cmdLsdcTxt")->click();
    const QString path = dir.file(QStringLiteral("更新至160121005期历史号码.txt"));
    EXPECT_EQ(DesktopOpener::lastRequested(), path);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("160121001 123\r\n160121005 335\r\n"));

    MessageBoxes::pushAnswer(false);
    child<QPushButton>("cmdDcexl")->click();
    EXPECT_FALSE(QFile::exists(dir.file("lishi.xlsx")));
    MessageBoxes::pushAnswer(true);
    action("mnuLsdc")->trigger();
    EXPECT_TRUE(QFile::exists(dir.file("lishi.xlsx")));
    EXPECT_EQ(DesktopOpener::lastRequested(), dir.file("lishi.xlsx"));
}

TEST_F(WindowFixture, CorruptDatabaseIsReportedAndKept)
{
    window.reset();
    ws.reset();
    {
        QFile f(dir.file("formula.mdb"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
    }
    MessageBoxes::pushAnswer(true);
    open();
    QTest::qWait(20);
    ASSERT_FALSE(MessageBoxes::shownTexts().isEmpty());
    EXPECT_TRUE(MessageBoxes::shownTexts().last().contains("formula.mdb"));
    EXPECT_FALSE(window->databaseOpen());
    MessageBoxes::pushAnswer(true);
    typeDraw("160121001", "123");
    QFile f(dir.file("formula.mdb"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray(4096, 'x'));
}

namespace {

// The Chinese forms carry a prefix, so the tests see which form the grid shows.
void addFormulas(Workspace& ws, const FormulaKind& kind, bool kill, const QStringList& codes)
{
    ::addFormulas(ws, kind, kill, codes, QStringLiteral("中文"));
}

} // namespace

TEST_F(WindowFixture, FormulaGridFollowsKindSenseAndBacktests)
{
    addDraws(*ws, {{"160121001", "123"}, {"160121002", "456"}, {"160121003", "111"}, {"160121004", "246"}});
    addFormulas(*ws, {1, true}, true, {"L1A+1", "L2A*2", "L9Z"});
    addFormulas(*ws, {1, true}, false, {"L3A"});
    addFormulas(*ws, {2, false}, true, {"LH+3"});
    open();
    FormulaGridModel* m = window->formulaModel();
    ASSERT_EQ(m->rowCount(), 3);
    EXPECT_GE(window->backtestRuns(), 1);
    ASSERT_NE(m->outcomeAt(0), nullptr);
    // L1A+1 on draws 1..3 predicts 2, 5, 2 for draws 2..4 (个位 6, 1, 6): all three kills hold.
    EXPECT_EQ(m->outcomeAt(0)->stats.finalHitRun, 3);
    EXPECT_EQ(m->data(m->index(0, FormulaGridModel::NextValueColumn), Qt::DisplayRole).toString(), "3");
    EXPECT_FALSE(m->outcomeAt(2)->valid);
    EXPECT_EQ(m->data(m->index(0, FormulaGridModel::FormulaColumn), Qt::DisplayRole).toString(),
              QStringLiteral("中文L1A+1"));

    // The view strip shows the code forms.
    emit child<QTabBar>("TabStrip1")->tabBarClicked(1);
    EXPECT_EQ(m->data(m->index(0, FormulaGridModel::FormulaColumn), Qt::DisplayRole).toString(), "L1A+1");

    // Selection: buttons and a click on the formula cell.
    child<QPushButton>("Command5")->click();
    EXPECT_EQ(m->selectedCount(), 0);
    QTableView* grid = child<QTableView>("MSFlexGrid2");
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      grid->visualRect(m->index(1, FormulaGridModel::FormulaColumn)).center());
    EXPECT_TRUE(m->isSelected(1));
    child<QPushButton>("Command8")->click();
    EXPECT_EQ(m->selectedCount(), 3);

    // The sense takes effect at the next reload; a change of kind reloads.
    child<QRadioButton>("Option21")->click();
    EXPECT_EQ(m->rowCount(), 3);
    child<QRadioButton>("optXing2")->click();
    child<QRadioButton>("optXing1")->click();
    ASSERT_EQ(m->rowCount(), 1);
    EXPECT_EQ(m->formulaAt(0).gongshi, "L3A");
    child<QRadioButton>("Option20")->click();
    child<QRadioButton>("optXing2")->click();
    child<QRadioButton>("opTDG1")->click();
    ASSERT_EQ(m->rowCount(), 1);
    EXPECT_EQ(m->formulaAt(0).gongshi, "LH+3");

    // A look-back entry re-runs the back-test.
    const int runs = window->backtestRuns();
    action("mnuQs0")->trigger();
    EXPECT_EQ(window->backtestRuns(), runs + 1);
}

TEST_F(WindowFixture, TypedDrawRerunsTheBacktestAndDoubleClickSorts)
{
    addDraws(*ws, {{"160121001", "123"}, {"160121002", "456"}});
    addFormulas(*ws, {1, true}, true, {"L1A+1", "L3A", "L2A+L3A"});
    open();
    FormulaGridModel* m = window->formulaModel();
    const int runs = window->backtestRuns();
    typeDraw("160121003", "666");
    EXPECT_EQ(window->backtestRuns(), runs + 1);
    ASSERT_NE(m->outcomeAt(0), nullptr);
    // L1A+1: 2 (kill, 6 drawn: hit) then 5 (kill, 6 drawn: hit).
    EXPECT_EQ(m->outcomeAt(0)->stats.finalHitRun, 2);
    // L3A predicts 3 then 6: the last kill fails.
    EXPECT_EQ(m->outcomeAt(1)->stats.finalMissRun, 1);
    QTableView* grid = child<QTableView>("MSFlexGrid2");
    emit grid->doubleClicked(m->index(0, FormulaGridModel::FinalHitColumn));
    EXPECT_EQ(m->formulaAt(0).gongshi, "L3A"); // fewest final hits first
}

TEST_F(WindowFixture, FormulaDeletionsKeepTheRightFlags)
{
    addDraws(*ws, {{"160121001", "123"}, {"160121002", "456"}});
    addFormulas(*ws, {1, true}, true, {"L1A", "L2A", "L3A", "LH", "LT"});
    open();
    FormulaGridModel* m = window->formulaModel();
    QTableView* grid = child<QTableView>("MSFlexGrid2");
    auto rightClick = [&](int row) {
        emit grid->customContextMenuRequested(grid->visualRect(m->index(row, 1)).center());
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
    };
    m->setSelected(3, false); // LH
    rightClick(2);
    action("mnuDelGS")->trigger();
    ASSERT_EQ(m->rowCount(), 4);
    EXPECT_EQ(m->formulaAt(2).gongshi, "LH");
    EXPECT_EQ(m->formulaAt(2).idx, 3);
    EXPECT_EQ(m->formulaAt(3).idx, 4);
    EXPECT_FALSE(m->isSelected(2)); // LH kept its flag
    EXPECT_TRUE(m->isSelected(3));

    rightClick(0);
    action("mnuDelLastGS")->trigger();
    ASSERT_EQ(m->rowCount(), 3);
    EXPECT_EQ(m->formulaAt(0).gongshi, "L2A");
    EXPECT_FALSE(m->isSelected(2)); // flags stay by row

    MessageBoxes::pushAnswer(false);
    action("mnuDelUnselected")->trigger();
    EXPECT_EQ(m->rowCount(), 3);
    MessageBoxes::pushAnswer(true);
    action("mnuDelUnselected")->trigger();
    ASSERT_EQ(m->rowCount(), 2);
    EXPECT_EQ(m->selectedCount(), 2);
    m->setSelected(0, false);
    MessageBoxes::pushAnswer(true);
    action("mnuDelSelected")->trigger();
    ASSERT_EQ(m->rowCount(), 1);
    EXPECT_EQ(m->formulaAt(0).idx, 1);
    EXPECT_TRUE(m->isSelected(0));
    std::vector<FormulaRecord> stored;
    QString error;
    ASSERT_TRUE(FormulaTableStore(&ws->database()).loadSubset({1, true}, true, &stored, &error));
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].gongshi, m->formulaAt(0).gongshi);
}

TEST_F(WindowFixture, TypedFormulasImportClearAndExports)
{
    addDraws(*ws, {{"160121001", "123"}, {"160121002", "456"}, {"160121003", "111"}});
    open();
    FormulaGridModel* m = window->formulaModel();
    MessageBoxes::pushAnswer(true);
    child<QPushButton>("Command1")->click();
    EXPECT_EQ(MessageBoxes::shownTexts().last(), QStringLiteral("请在左边文本框输入需要添加的公式"));

    box("Text2")->setText(QStringLiteral("十位码+和数+3=下期生码十位通选"));
    child<QPushButton>("Command1")->click();
    EXPECT_EQ(window->formulaTable(), "Gongshi2G");
    EXPECT_FALSE(window->killSense());
    EXPECT_TRUE(child<QRadioButton>("opTDG1")->isChecked());
    ASSERT_EQ(m->rowCount(), 1);
    EXPECT_EQ(m->formulaAt(0).gongshi, "L2A+LH+3");
    EXPECT_TRUE(box("Text2")->text().isEmpty());

    MessageBoxes::pushAnswer(true);
    box("Text2")->setText(QStringLiteral("十位码+千位码"));
    child<QPushButton>("Command1")->click();
    EXPECT_EQ(m->rowCount(), 1);

    // A file with one good line and one banner line: the question offers the rejected lines.
    const QString file = dir.file(QStringLiteral("公式.txt"));
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(
            QStringLiteral("本组公式由《Zorvane》软件搜索而来\r\n[十位通选生]十位码+跨度+1\r\n").toUtf8());
    }
    MessageBoxes::pushAnswer(true, file);
    MessageBoxes::pushAnswer(false);
    box("Text2")->setText(QStringLiteral("百位码+千位码"));
    child<QPushButton>("Command10")->click();
    EXPECT_EQ(m->rowCount(), 2);
    EXPECT_TRUE(box("Text2")->text().isEmpty()); // a file that added formulas empties the box
    EXPECT_TRUE(QFile::exists(dir.file(QStringLiteral("无法识别公式.txt"))));

    child<QPushButton>("Command20")->click();
    EXPECT_TRUE(QFile::exists(dir.file(QStringLiteral("160121003期快3彩十位通选生公式.txt"))));
    child<QPushButton>("Command11")->click();
    EXPECT_TRUE(QFile::exists(dir.file(QStringLiteral("160121003期快3彩公式.txt"))));
    action("mnuGsdc")->trigger();
    EXPECT_TRUE(QFile::exists(dir.file("gongshi.xlsx")));

    MessageBoxes::pushAnswer(false);
    child<QPushButton>("cmdGsgx")->click(); // declined: nothing fetched
    EXPECT_EQ(m->rowCount(), 2);
    MessageBoxes::pushAnswer(false);
    child<QPushButton>("Command2")->click();
    EXPECT_EQ(m->rowCount(), 2);
    MessageBoxes::pushAnswer(true);
    child<QPushButton>("Command2")->click();
    EXPECT_EQ(m->rowCount(), 0);
}

TEST_F(WindowFixture, CalculationVotesIntoTheRankingWindows)
{
    addDraws(*ws, {{"160121001", "123"}, {"160121002", "456"}, {"160121003", "111"}});
    addFormulas(*ws, {2, false}, true, {"2", "2", "5", "1", "L1A+10"});
    addFormulas(*ws, {1, true}, true, {"13", "L1A"});
    addFormulas(*ws, {2, true}, true, {"17"});
    open();
    child<QRadioButton>("optXing2")->click();
    child<QRadioButton>("opTDG1")->click();
    FormulaGridModel* m = window->formulaModel();
    ASSERT_EQ(m->rowCount(), 5);
    m->setSelected(4, false);

    // Selected formulas, next draw: votes 2, 2, 5, 1.
    child<QRadioButton>("Option61")->click();
    child<QPushButton>("Command23")->click();
    RankingWindow* ranking = window->rankingWindow();
    ASSERT_NE(ranking, nullptr);
    EXPECT_TRUE(ranking->isVisible());
    EXPECT_FALSE(ranking->detailButton()->isHidden());
    QAbstractItemModel* rm = ranking->panel()->rankingView()->model();
    ASSERT_EQ(rm->rowCount(), 6);
    // Kill sense: the numbers nobody named come first (3, 4, 6), then 1, 5, then 2 with two votes.
    EXPECT_EQ(rm->data(rm->index(0, 1)).toString(), "3");
    EXPECT_EQ(rm->data(rm->index(5, 1)).toString(), "2");
    EXPECT_EQ(rm->data(rm->index(5, 2)).toString(), "2");

    // Best method: the sort window opens; the walk stops after 3 distinct numbers (L = 3).
    child<QRadioButton>("Option60")->click();
    m->selectAll();
    QTimer::singleShot(0, [this] { window->sortWindow()->confirmButton()->click(); });
    child<QPushButton>("Command23")->click();
    EXPECT_TRUE(ranking->detailButton()->isHidden());

    // Verification of the oldest issue is refused.
    box("Text3")->setText("160121001");
    child<QRadioButton>("Option51")->click();
    MessageBoxes::pushAnswer(true);
    child<QRadioButton>("Option61")->click();
    child<QPushButton>("Command23")->click();
    EXPECT_TRUE(MessageBoxes::shownTexts().last().contains("160121001"));

    // Single selection at 十位: 个位 and 十位 tables vote into their own positions.
    box("Text3")->setText("160121003");
    child<QRadioButton>("opTDG0")->click();
    child<QPushButton>("Command23")->click();
    AllPositionsRankingWindow* all = window->allPositionsWindow();
    ASSERT_NE(all, nullptr);
    EXPECT_TRUE(all->isVisible());
    ASSERT_EQ(all->panelCount(), 2);
    // 个位 (L1A on draw 2 = 4 -> 4; 13 -> 3), 十位 (17 -> 7): each digit has one vote in its position.
    QAbstractItemModel* units = all->panelAt(0)->rankingView()->model();
    EXPECT_EQ(units->rowCount(), 10);
    EXPECT_EQ(units->data(units->index(9, 2)).toString(), "1");
}

TEST_F(WindowFixture, PerDrawColumnsPastRankingAndSteps)
{
    addDraws(*ws, {{"160121001", "123"}, {"160121002", "456"}, {"160121003", "111"}});
    addFormulas(*ws, {1, true}, true, {"L1A+1", "L2A*2"});
    open();
    child<QCheckBox>("Check1")->setChecked(true);
    HistoryGridModel* h = window->historyModel();
    ASSERT_EQ(h->columnCount(), 6);
    EXPECT_EQ(h->headerData(4, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("公式1"));
    // PreCanshu: row 2 shows the prediction made on draw 1 (L1A+1 = 2), a hit against 个位 3? 2 ≠ 6: hit.
    EXPECT_EQ(h->data(h->index(1, 4), Qt::DisplayRole).toString(), "2");
    typeDraw("160121004", "222");
    EXPECT_EQ(h->columnCount(), 6); // the back-test repaints the columns
    child<QCheckBox>("Check1")->setChecked(false);
    EXPECT_EQ(h->columnCount(), 4);

    MessageBoxes::pushAnswer(true);
    child<QPushButton>("Command12")->click();
    ASSERT_NE(window->positionHistoryWindow(), nullptr);
    EXPECT_TRUE(window->positionHistoryWindow()->isVisible());

    QTableView* grid = child<QTableView>("MSFlexGrid2");
    emit grid->customContextMenuRequested(grid->visualRect(window->formulaModel()->index(1, 1)).center());
    if (QWidget* popup = QApplication::activePopupWidget())
        popup->close();
    action("mnuGsbz")->trigger();
    ASSERT_NE(window->stepsWindow(), nullptr);
    EXPECT_EQ(window->stepsWindow()->model()->rowCount(), 4);
}

TEST_F(WindowFixture, SearchWindowOpensModallyAndClosesCleanly)
{
    bool sawSearch = false;
    QTimer::singleShot(0, [&] {
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            sawSearch = d->windowTitle() == QStringLiteral("公式搜索设置以及搜索结果");
            d->reject();
        }
    });
    const int runs = window->backtestRuns();
    child<QPushButton>("Command22")->click();
    EXPECT_TRUE(sawSearch);
    EXPECT_EQ(window->backtestRuns(), runs); // nothing saved: no refresh
}

// The command line deletes a draw (and so compacts the file) while the window has the folder
// open: the window's next write notices, reads the history afresh and stores what it is given;
// the file it holds is still the file in the folder.
TEST_F(WindowFixture, SavesAfterADeletionByTheCommandLine)
{
    addDraws(*ws, {{"160121001", "123"}, {"160121002", "456"}, {"160121003", "111"}});
    addFormulas(*ws, {1, true}, true, {"L1A+1", "L2A+2"});
    open();
    ASSERT_EQ(rows(), 3);
    const CliResult cut = runCli(dir.path(), {"history", "delete", "--last", "1"});
    ASSERT_EQ(cut.exitCode, 0) << cut.err.toStdString();
    ASSERT_EQ(runCli(dir.path(), {"formula", "add", "--kind", "2G", "L2A+9"}).exitCode, 0);

    // The window still lists 160121003; typed again, it takes the deleted draw's place.
    MessageBoxes::clearShownTexts();
    typeDraw("160121003", "246");
    EXPECT_TRUE(MessageBoxes::shownTexts().isEmpty()) << MessageBoxes::shownTexts().join('\n').toStdString();
    ASSERT_EQ(rows(), 3);
    EXPECT_EQ(ws->history().newest()->number(1), 2);
    typeDraw(box("Text1")->text(), "135");
    EXPECT_EQ(rows(), 4);
    box("Text2")->setText(QStringLiteral("百位码+和数+5"));
    child<QPushButton>("Command1")->click();
    EXPECT_TRUE(MessageBoxes::shownTexts().isEmpty()) << MessageBoxes::shownTexts().join('\n').toStdString();

    // Another program sees all of it.
    Workspace other;
    QString error;
    ASSERT_TRUE(other.open(dir.path(), &error)) << error.toStdString();
    ASSERT_EQ(other.history().draws().size(), 4u);
    EXPECT_EQ(other.history().draws()[2].issue, "160121003");
    EXPECT_EQ(other.history().draws()[2].number(3), 6);
    std::vector<FormulaRecord> oneD, twoG;
    ASSERT_TRUE(FormulaTableStore(&other.database()).loadTable({1, true}, &oneD, &error));
    ASSERT_TRUE(FormulaTableStore(&other.database()).loadTable({2, false}, &twoG, &error));
    EXPECT_EQ(oneD.size(), 3u);
    EXPECT_EQ(oneD.back().gongshi, "L1A+LH+5");
    ASSERT_EQ(twoG.size(), 1u);
}

// A data folder that cannot be written is still opened, listed and back-tested; the window says
// once that the figures are not stored. Without write permission to take away (as root), the
// folder is a tmpfs remounted read-only in a namespace of its own, and the test runs itself
// there (ZORVANE_READ_ONLY_FOLDER names the folder).
TEST(MainWindowReadOnly, BacktestsAndSaysOnceThatTheFiguresAreNotStored)
{
    const QString given = qEnvironmentVariable("ZORVANE_READ_ONLY_FOLDER");
    TempDataFolder dir;
    if (given.isEmpty()) {
        {
            Workspace ws;
            QString error;
            ASSERT_TRUE(ws.open(dir.path(), &error)) << error.toStdString();
            addDraws(
                ws, {{"160121001", "123"}, {"160121002", "456"}, {"160121003", "111"}, {"160121004", "246"}});
            addFormulas(ws, {1, true}, true, {"L1A+1", "L2A*2"});
        }
        if (geteuid() != 0) {
            QFile::setPermissions(dir.file("formula.mdb"), QFile::ReadOwner);
            QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
        } else {
            QString why;
            if (!PrivateMount::available(&why))
                GTEST_SKIP() << why.toStdString();
            using PrivateMount::quoted;
            const QString mount = dir.file(QStringLiteral("read-only"));
            QDir().mkpath(mount);
            QString output;
            const int code = PrivateMount::run(
                QStringLiteral(
                    "M=%1; mount -t tmpfs -o size=8m tmpfs \"$M\" && cp %2/formula.mdb \"$M/\" && "
                    "mount -o remount,ro \"$M\" && ZORVANE_READ_ONLY_FOLDER=\"$M\" exec timeout 300 %3 "
                    "--gtest_filter=MainWindowReadOnly.*")
                    .arg(quoted(mount), quoted(dir.path()), quoted(QCoreApplication::applicationFilePath())),
                &output);
            EXPECT_EQ(code, 0) << output.toStdString();
            EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
            return;
        }
    }
    const QString folder = given.isEmpty() ? dir.path() : given;
    QSettings(QSettings::IniFormat, QSettings::UserScope, "Pelq", "Pelq").clear();
    MessageBoxes::clearAnswers();
    MessageBoxes::clearShownTexts();
    // The note is answered; a second answer stays unused unless the note comes twice.
    MessageBoxes::pushAnswer(true);
    MessageBoxes::pushAnswer(true);
    {
        Workspace ws;
        QString error;
        ASSERT_TRUE(ws.open(folder, &error)) << error.toStdString();
        EXPECT_TRUE(ws.database().isReadOnly());
        MainWindow window(&ws, error);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        EXPECT_EQ(window.historyModel()->rowCount(), 4);
        FormulaGridModel* m = window.formulaModel();
        ASSERT_EQ(m->rowCount(), 2);
        ASSERT_NE(m->outcomeAt(0), nullptr);
        EXPECT_EQ(m->outcomeAt(0)->stats.finalHitRun, 3);
        const int runs = window.backtestRuns();
        window.findChild<QAction*>(QStringLiteral("mnuQs0"))->trigger();
        EXPECT_EQ(window.backtestRuns(), runs + 1);
        const QStringList shown = MessageBoxes::shownTexts();
        EXPECT_EQ(shown.count(BacktestRunner::notStoredNote()), 1) << shown.join('\n').toStdString();
        EXPECT_EQ(shown.size(), 1) << shown.join('\n').toStdString();
        EXPECT_EQ(MessageBoxes::pendingAnswers(), 1);
        MessageBoxes::clearAnswers();
    }
    if (given.isEmpty()) {
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::setPermissions(dir.file("formula.mdb"), QFile::ReadOwner | QFile::WriteOwner);
    }
}

TEST(MainWindowStart, DataFolderThatCannotBeMadeIsReported)
{
    TempDataFolder dir;
    QFile blocker(dir.file("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Workspace ws;
    QString error;
    EXPECT_FALSE(ws.open(dir.file("file/sub"), &error));
    EXPECT_FALSE(error.isEmpty());
    MainWindow window(&ws, error);
    EXPECT_FALSE(window.databaseOpen());
    EXPECT_EQ(window.historyModel()->rowCount(), 0);
}

TEST(HistoryGridModel, PassesModelTesterAndEmphasis)
{
    std::vector<DrawRecord> draws(40);
    for (int i = 0; i < 40; ++i) {
        draws[i].issue = QString::number(160121001 + i);
        draws[i].values[0] = 1;
        draws[i].values[1] = 2;
        draws[i].values[2] = 3;
    }
    HistoryGridModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setDraws(&draws);
    model.setEmphasis(2, 3);
    EXPECT_EQ(model.rowCount(), 40);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("期号"));
    EXPECT_EQ(model.data(model.index(5, 0), Qt::DisplayRole).toString(), "160121006");
    EXPECT_EQ(model.data(model.index(5, 3), Qt::DisplayRole).toInt(), 3);
    EXPECT_TRUE(model.data(model.index(5, 2), Qt::FontRole).value<QFont>().bold());
    EXPECT_EQ(model.data(model.index(5, 2), Qt::ForegroundRole).value<QBrush>().color(), QColor(Qt::blue));
    EXPECT_FALSE(model.data(model.index(5, 1), Qt::FontRole).isValid());
}
