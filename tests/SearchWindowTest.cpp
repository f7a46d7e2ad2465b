#include "SearchTestSupport.h"
#include "TestSupport.h"

#include "app/MainWindow.h"
#include "backtest/AnalysisSession.h"
#include "backtest/FormulaEquivalence.h"
#include "backtest/FormulaGridModel.h"
#include "formula/FormulaTableStore.h"
#include "formula/FormulaTextFile.h"
#include "history/HistoryColumns.h"
#include "history/Workspace.h"
#include "search/SchemePanel.h"
#include "search/SearchPanel.h"
#include "search/SearchResultModel.h"
#include "search/SearchSettings.h"
#include "search/SearchWindow.h"
#include "store/Settings.h"
#include "ui/DesktopOpener.h"
#include "ui/MessageBoxes.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <set>

namespace {

const QStringList kEverything{"0", "100", "0", "32768", "0", "32768", "0", "32768", "0", "32768"};
// Units kill formulas right at least 86 % of the time (weighted): a few in a hundred qualify.
const QStringList kSome{"86", "100", "0", "32768", "0", "32768", "0", "32768", "0", "32768"};
const QStringList kNothing{"101", "102", "0", "32768", "0", "32768", "0", "32768", "0", "32768"};

class SearchWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Pelq"), QStringLiteral("Pelq"))
            .clear();
        MessageBoxes::clearAnswers();
        MessageBoxes::clearShownTexts();
        QString error;
        ASSERT_TRUE(m_ws.open(m_dir.path(), &error)) << error.toStdString();
        storeDraws(m_ws, searchTestDraws(400, 4));
    }
    void TearDown() override { EXPECT_EQ(MessageBoxes::pendingAnswers(), 0); }

    template <typename T> T* child(QWidget& w, const char* name)
    {
        T* c = w.findChild<T*>(QLatin1String(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    QLineEdit* box(QWidget& w, const char* name) { return child<QLineEdit>(w, name); }
    void click(QWidget& w, const char* name) { child<QAbstractButton>(w, name)->click(); }
    QStringList ranges(QWidget& w)
    {
        QStringList out;
        for (int j = 0; j < 10; ++j)
            out << box(w, QStringLiteral("range%1").arg(j).toLatin1().constData())->text();
        return out;
    }
    void setRanges(QWidget& w, const QStringList& texts)
    {
        for (int j = 0; j < 10; ++j)
            box(w, QStringLiteral("range%1").arg(j).toLatin1().constData())->setText(texts[j]);
    }
    void waitIdle(SearchWindow& w)
    {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !w.isSearching(); }, 20000));
    }
    std::size_t stored(FormulaKind kind)
    {
        std::vector<FormulaRecord> rows;
        QString error;
        EXPECT_TRUE(FormulaTableStore(&m_ws.database()).loadTable(kind, &rows, &error));
        return rows.size();
    }
    void storeRangesForAllKinds(const QStringList& texts, bool kill = true)
    {
        SearchSettings s(&m_ws.settings());
        for (int k : {0, 1, 2, 4, 5})
            s.saveRanges(k, kill, texts);
    }

    TempDataFolder m_dir;
    Workspace m_ws;
};

QColor labelColour(QLabel* label)
{
    return label->palette().color(QPalette::WindowText);
}

} // namespace

TEST_F(SearchWindowTest, OpensOnTheUnitsKillRangesAndFollowsTheKindButtons)
{
    AnalysisSession session(&m_ws);
    SearchWindow w(&session);
    EXPECT_EQ(w.objectName(), "frmGSGL");
    EXPECT_EQ(w.windowTitle(), QStringLiteral("公式搜索设置以及搜索结果"));
    EXPECT_EQ(ranges(w), (QStringList{"94.6", "100", "0", "2", "48", "32768", "0", "0", "32", "32768"}));
    EXPECT_EQ(box(w, "txtOperands")->text(), "8");
    EXPECT_FALSE(child<QRadioButton>(w, "optGeneral")->isEnabled());
    EXPECT_EQ(box(w, "txtAutoStop")->text(), "50");
    EXPECT_EQ(box(w, "txtTail")->text(), "0");
    EXPECT_TRUE(child<QCheckBox>(w, "chkAutoUpdate")->isChecked());
    EXPECT_FALSE(child<QCheckBox>(w, "chkAutoAppend")->isChecked());
    EXPECT_EQ(child<QPushButton>(w, "cmdAppend")->toolTip(),
              QStringLiteral("保留软件现有公式然后将所有合格公式追加到软件数据库。"));

    click(w, "optKeep");
    EXPECT_EQ(ranges(w), (QStringList{"12", "100", "0", "28", "2", "32768", "0", "0", "2", "32768"}));
    click(w, "optPosition2");
    EXPECT_TRUE(child<QRadioButton>(w, "optGeneral")->isEnabled());
    click(w, "optGeneral");
    EXPECT_EQ(w.currentSlot(), 5);
    EXPECT_EQ(ranges(w)[0], "26");
    // The operand count is kept per kind.
    child<QScrollBar>(w, "hsbOperands")->setValue(5);
    EXPECT_EQ(box(w, "txtOperands")->text(), "5");
    click(w, "optPosition1"); // 个位 with 通选 chosen: back to 单选
    EXPECT_TRUE(child<QRadioButton>(w, "optSingle")->isChecked());
    EXPECT_FALSE(child<QRadioButton>(w, "optGeneral")->isEnabled());
    EXPECT_EQ(w.currentSlot(), 1);
    EXPECT_EQ(ranges(w)[0], "12");
    EXPECT_EQ(box(w, "txtOperands")->text(), "8");
    click(w, "optPosition2");
    click(w, "optGeneral");
    EXPECT_EQ(box(w, "txtOperands")->text(), "5");

    // "保存当前种类参数设置" stores the boxes for the kind and sense.
    box(w, "range0")->setText("27.5");
    click(w, "cmdSaveKind");
    EXPECT_FLOAT_EQ(SearchSettings(&m_ws.settings()).ranges(4, false).bounds[0], 27.5f);
}

TEST_F(SearchWindowTest, SchemeTotalsFollowTheTargetsAndCountMode)
{
    QString error;
    FormulaRecord f;
    f.gongshi = "LH+1";
    f.gongshiCN = "x";
    ASSERT_TRUE(FormulaTableStore(&m_ws.database()).append(FormulaKind{1, true}, {f, f, f}, &error));
    AnalysisSession session(&m_ws);
    SearchWindow w(&session);
    EXPECT_EQ(child<QLabel>(w, "lblStored1")->text(), "3");
    EXPECT_EQ(child<QLabel>(w, "lblTotal")->text(), "3");
    click(w, "cmdLoadScheme");
    for (int slot : {1, 2, 3, 5, 6})
        EXPECT_EQ(box(w, QStringLiteral("txtTarget%1").arg(slot).toLatin1().constData())->text(), "60");
    EXPECT_EQ(box(w, "txtTarget4")->text(), "0");
    EXPECT_EQ(child<QLabel>(w, "lblTotal")->text(), "300");
    click(w, "optHeldCount"); // checks the append box: 57 + 4 * 60 still to find, plus the 3 stored
    EXPECT_TRUE(child<QCheckBox>(w, "chkAutoAppend")->isChecked());
    EXPECT_FALSE(child<QCheckBox>(w, "chkAutoUpdate")->isChecked());
    EXPECT_EQ(child<QLabel>(w, "lblTotal")->text(), "300");
    click(w, "optNewCount");
    EXPECT_TRUE(child<QCheckBox>(w, "chkAutoUpdate")->isChecked());
    EXPECT_EQ(child<QLabel>(w, "lblTotal")->text(), "300");
    child<QCheckBox>(w, "chkAutoAppend")->click();
    EXPECT_FALSE(child<QCheckBox>(w, "chkAutoUpdate")->isChecked());
    EXPECT_EQ(child<QLabel>(w, "lblTotal")->text(), "303");

    box(w, "txtTarget2")->setText("15");
    click(w, "cmdSaveScheme");
    EXPECT_EQ(SearchSettings(&m_ws.settings()).schemeTargetText(2, true), "15");
}

TEST_F(SearchWindowTest, SingleSearchAutoStopsAtTheTargetAndSavingAppends)
{
    AnalysisSession session(&m_ws);
    SearchWindow w(&session);
    QSignalSpy changed(&session, &AnalysisSession::formulasChanged);
    click(w, "optPosition3");
    setRanges(w, kEverything);
    child<QCheckBox>(w, "chkAutoStop")->setChecked(true);
    box(w, "txtAutoStop")->setText("3");
    click(w, "cmdStart");
    waitIdle(w);
    EXPECT_EQ(w.pendingResults().size(), 3u);
    EXPECT_EQ(box(w, "txtQualified")->text(), "3");
    EXPECT_EQ(box(w, "txtTried")->text(), "3");
    EXPECT_EQ(w.resultModel()->rowCount(), 3);
    EXPECT_TRUE(w.resultModel()->forms()[0].startsWith(QStringLiteral("[百位单选杀]")));
    EXPECT_FALSE(box(w, "txtCurrentFormula")->text().isEmpty());

    // A new start continues the list; the target is already met, so one candidate is tried.
    click(w, "cmdStart");
    waitIdle(w);
    EXPECT_EQ(w.pendingResults().size(), 4u);
    EXPECT_EQ(box(w, "txtTried")->text(), "1");

    // Saving after switching to 十位 and 生: the entries go to their own kind's table, as keep
    // formulas, and the window goes back to the last entry's kind.
    click(w, "optPosition2");
    click(w, "optKeep");
    MessageBoxes::pushAnswer(true);
    click(w, "cmdAppend");
    EXPECT_TRUE(MessageBoxes::shownTexts().contains(QStringLiteral("公式追加完毕！")));
    EXPECT_EQ(changed.count(), 1);
    EXPECT_TRUE(w.formulasChangedFlag());
    EXPECT_GE(stored(FormulaKind{3, true}), 1u);
    EXPECT_EQ(stored(FormulaKind{2, true}), 0u);
    std::vector<FormulaRecord> rows;
    QString error;
    ASSERT_TRUE(FormulaTableStore(&m_ws.database()).loadTable(FormulaKind{3, true}, &rows, &error));
    EXPECT_FALSE(rows[0].bolKill);
    EXPECT_TRUE(w.pendingResults().empty());
    // The list box and the qualified count agree: the saved formulas leave the list.
    EXPECT_EQ(box(w, "txtQualified")->text(), "0");
    EXPECT_EQ(w.resultModel()->rowCount(), 0);
    EXPECT_TRUE(child<QRadioButton>(w, "optPosition3")->isChecked());

    // A new search lists only its own results, and the export writes what the list box shows.
    box(w, "txtAutoStop")->setText("2");
    click(w, "cmdStart");
    waitIdle(w);
    EXPECT_EQ(box(w, "txtQualified")->text(), "2");
    ASSERT_EQ(w.resultModel()->rowCount(), 2);
    EXPECT_EQ(w.resultModel()->forms()[0], w.pendingResults()[0].chinese);
    click(w, "cmdExport");
    const QString path = DesktopOpener::lastRequested();
    EXPECT_TRUE(path.endsWith(m_ws.nextIssue() + QStringLiteral("期快3彩公式.txt"))) << path.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = FormulaTextFile::decodeLines(file.readAll());
    EXPECT_EQ(lines.size(), 4 + 2 + 1);
    EXPECT_EQ(lines[4], w.resultModel()->forms()[0]);
}

TEST_F(SearchWindowTest, AGivenTailOutsideSixteenBitsIsRefusedAtStart)
{
    AnalysisSession session(&m_ws);
    SearchWindow w(&session);
    box(w, "txtTail")->setText("40000");
    MessageBoxes::pushAnswer(true);
    click(w, "cmdStart");
    EXPECT_FALSE(w.isSearching());
    ASSERT_FALSE(MessageBoxes::shownTexts().isEmpty());
    EXPECT_TRUE(MessageBoxes::shownTexts().last().contains(QStringLiteral("超出范围")));
}

TEST_F(SearchWindowTest, OnlyOneSearchRunsAndClosingAsksAboutUnsavedResults)
{
    AnalysisSession session(&m_ws);
    SearchWindow w(&session);
    setRanges(w, kSome);
    w.show();
    click(w, "cmdStart");
    EXPECT_TRUE(w.isSearching());
    EXPECT_FALSE(child<QPushButton>(w, "cmdSchemeStart")->isEnabled());
    EXPECT_FALSE(child<QPushButton>(w, "cmdStart")->isEnabled());
    EXPECT_FALSE(child<QPushButton>(w, "cmdAppend")->isEnabled());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.pendingResults().empty(); }, 5000));
    click(w, "cmdStop");
    EXPECT_FALSE(w.isSearching());
    EXPECT_TRUE(child<QPushButton>(w, "cmdSchemeStart")->isEnabled());
    const std::size_t found = w.pendingResults().size();
    EXPECT_GT(found, 0u);
    EXPECT_EQ(box(w, "txtQualified")->text(), QString::number(found));
    EXPECT_GT(box(w, "txtTried")->text().toLongLong(), qint64(found));

    MessageBoxes::pushAnswer(false);
    w.close();
    EXPECT_TRUE(w.isVisible());
    MessageBoxes::pushAnswer(true);
    w.close();
    EXPECT_FALSE(w.isVisible());
}

TEST_F(SearchWindowTest, SchemeSearchVisitsTheKindsColoursTheirLabelsAndSavesAtTheEnd)
{
    storeRangesForAllKinds(kEverything);
    AnalysisSession session(&m_ws);
    SearchWindow w(&session);
    QSignalSpy changed(&session, &AnalysisSession::formulasChanged);
    for (int slot : {1, 2, 3, 5, 6})
        box(w, QStringLiteral("txtTarget%1").arg(slot).toLatin1().constData())->setText("2");
    box(w, "txtTarget2")->setText(""); // no number: skipped
    MessageBoxes::pushAnswer(true);    // "公式追加完毕！"
    click(w, "cmdSchemeStart");
    waitIdle(w);
    ASSERT_TRUE(QTest::qWaitFor([&] { return changed.count() == 1; }, 5000));
    EXPECT_TRUE(MessageBoxes::shownTexts().contains(QStringLiteral("公式追加完毕！")));
    // Nothing was stored, so nothing to lose: no question before the start. Saved, the results
    // leave the list box, as the qualified count says.
    EXPECT_EQ(MessageBoxes::shownTexts().size(), 1);
    EXPECT_EQ(w.resultModel()->rowCount(), 0);
    EXPECT_EQ(box(w, "txtQualified")->text(), "0");
    EXPECT_EQ(box(w, "txtTried")->text(), "8");
    EXPECT_LE(stored(FormulaKind{1, true}) + stored(FormulaKind{3, true}) + stored(FormulaKind{2, false}) +
                  stored(FormulaKind{3, false}),
              8u); // equal candidates of a kind are stored once
    EXPECT_GE(stored(FormulaKind{1, true}), 1u);
    EXPECT_EQ(stored(FormulaKind{2, true}), 0u);
    EXPECT_GE(stored(FormulaKind{3, false}), 1u);
    for (int slot : {1, 2, 3, 5, 6})
        EXPECT_EQ(labelColour(child<QLabel>(w, QStringLiteral("lblSlot%1").arg(slot).toLatin1().constData())),
                  QColor(0, 0, 255))
            << slot;
    EXPECT_TRUE(w.pendingResults().empty());
    // The last kind's buttons stay chosen, with its target in the auto-stop box.
    EXPECT_EQ(w.currentSlot(), 6);
    EXPECT_EQ(box(w, "txtAutoStop")->text(), "2");
}

// "搜索完毕公式自动更新到数据库" replaces every searched kind's stored formulas: one question before
// the run names each kind and its count; Cancel starts nothing and deletes nothing; OK runs, and the
// save at the end keeps a backup first and asks nothing more.
TEST_F(SearchWindowTest, SchemeReplacingAsksOnceBeforeTheRunNamingEachKind)
{
    storeRangesForAllKinds(kEverything);
    addFormulas(m_ws, FormulaKind{1, true}, true, {"L1A+1", "L2A+2"}, QString());
    addFormulas(m_ws, FormulaKind{1, true}, false, {"L3A"}, QString());
    addFormulas(m_ws, FormulaKind{2, false}, true, {"L2A+L3A"}, QString());
    addFormulas(m_ws, FormulaKind{3, true}, true, {"L1A"}, QString()); // no target: not searched
    AnalysisSession session(&m_ws);
    SearchWindow w(&session);
    QSignalSpy changed(&session, &AnalysisSession::formulasChanged);
    box(w, "txtTarget1")->setText("2");
    box(w, "txtTarget2")->setText("1"); // holds nothing: nothing to lose
    box(w, "txtTarget5")->setText("1");
    ASSERT_TRUE(child<QCheckBox>(w, "chkAutoUpdate")->isChecked());
    const QString question =
        QStringLiteral(
            "个位单选：将删除已有的 3 条公式（生码和杀码）\n十位通选：将删除已有的 1 条公式（生码和杀码）\n"
            "方案搜索完毕后，搜索到合格公式的类换成新公式（没有搜索到的类保持不变）。确定开始方案搜索吗？\n"
            "\n") +
        m_ws.undoNote();

    MessageBoxes::pushAnswer(false);
    click(w, "cmdSchemeStart");
    ASSERT_EQ(MessageBoxes::shownTexts(), QStringList{question});
    EXPECT_FALSE(w.isSearching());
    EXPECT_EQ(box(w, "txtTried")->text(), "0");
    EXPECT_EQ(stored(FormulaKind{1, true}), 3u);
    EXPECT_EQ(stored(FormulaKind{2, false}), 1u);
    EXPECT_TRUE(m_ws.backups().list().empty());

    MessageBoxes::pushAnswer(true); // the question
    MessageBoxes::pushAnswer(true); // "公式追加完毕！"
    click(w, "cmdSchemeStart");
    waitIdle(w);
    ASSERT_TRUE(QTest::qWaitFor([&] { return changed.count() == 1; }, 5000));
    EXPECT_EQ(MessageBoxes::shownTexts(),
              (QStringList{question, question, QStringLiteral("公式追加完毕！")}));
    // The kinds that found formulas hold only them; the kind without a target keeps its own.
    std::vector<FormulaRecord> units;
    QString error;
    ASSERT_TRUE(FormulaTableStore(&m_ws.database()).loadTable(FormulaKind{1, true}, &units, &error));
    ASSERT_FALSE(units.empty());
    for (const FormulaRecord& r : units) {
        EXPECT_TRUE(r.bolKill);
        EXPECT_NE(r.gongshi, "L1A+1");
    }
    EXPECT_EQ(stored(FormulaKind{3, true}), 1u);
    const std::vector<BackupInfo> backups = m_ws.backups().list();
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(backups.front().operation, QStringLiteral("公式更新到数据库"));
    EXPECT_EQ(w.resultModel()->rowCount(), 0);
    EXPECT_EQ(box(w, "txtQualified")->text(), "0");
}

TEST_F(SearchWindowTest, SchemePauseHoldsAndResumeContinues)
{
    storeRangesForAllKinds(kNothing); // nothing ever qualifies: the first kind runs until closed
    AnalysisSession session(&m_ws);
    SearchWindow w(&session);
    w.show();
    box(w, "txtTarget1")->setText("1");
    click(w, "cmdSchemeStart");
    EXPECT_TRUE(w.isSearching());
    EXPECT_EQ(labelColour(child<QLabel>(w, "lblSlot1")),
              child<QLabel>(w, "lblSlot2")->palette().color(QPalette::WindowText));
    EXPECT_FALSE(child<QPushButton>(w, "cmdStart")->isEnabled());
    EXPECT_TRUE(QTest::qWaitFor([&] { return box(w, "txtTried")->text().toLongLong() > 0; }, 5000));
    click(w, "cmdSchemePause");
    EXPECT_FALSE(child<QPushButton>(w, "cmdSchemePause")->isEnabled());
    EXPECT_TRUE(child<QPushButton>(w, "cmdSchemeResume")->isEnabled());
    EXPECT_TRUE(child<QPushButton>(w, "cmdAppend")->isEnabled());
    QTest::qWait(300);
    const QString held = box(w, "txtTried")->text();
    QTest::qWait(300);
    EXPECT_EQ(box(w, "txtTried")->text(), held);
    click(w, "cmdSchemeResume");
    EXPECT_TRUE(QTest::qWaitFor([&] { return box(w, "txtTried")->text() != held; }, 5000));
    w.close(); // nothing unsaved: no question
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(w.isSearching());
}

TEST_F(SearchWindowTest, OptimumFillsFiveBoxesAndTheAllKindsOptimumStoresEveryKind)
{
    AnalysisSession session(&m_ws);
    SearchWindow w(&session);
    const QStringList before = ranges(w);
    click(w, "cmdOptimum");
    const QStringList after = ranges(w);
    for (int j : {1, 2, 5, 6, 9})
        EXPECT_EQ(after[j], before[j]) << j;
    EXPECT_GE(after[8].toInt(), 1);
    EXPECT_EQ(box(w, "txtTried")->text(), "20");
    EXPECT_EQ(m_ws.settings().readString("0", "0", "-"), "-"); // nothing stored

    MessageBoxes::pushAnswer(false);
    click(w, "cmdOptimumAll");
    EXPECT_EQ(m_ws.settings().readString("5", "0", "-"), "-");

    MessageBoxes::pushAnswer(true);
    click(w, "cmdOptimumAll");
    for (const char* section : {"0", "1", "2", "4", "5"}) {
        EXPECT_NE(m_ws.settings().readString(section, "0", "-"), "-") << section;
        EXPECT_EQ(m_ws.settings().readString(section, "1", "-"), "100") << section;
    }
    EXPECT_EQ(m_ws.settings().readString("3", "0", "-"), "-");
    EXPECT_EQ(w.currentSlot(), 1);
    EXPECT_EQ(ranges(w)[0], m_ws.settings().readString("0", "0", "-"));
}

// The two halves without the window: the single search on its own, and the all-kinds search
// driving it.
TEST_F(SearchWindowTest, SingleSearchPanelRunsAndSavesWithNoSchemeBesideIt)
{
    AnalysisSession session(&m_ws);
    SearchPanel search(&session);
    setRanges(search, kEverything);
    child<QCheckBox>(search, "chkAutoStop")->setChecked(true);
    box(search, "txtAutoStop")->setText("2");
    click(search, "cmdStart");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !search.isRunning(); }, 20000));
    EXPECT_EQ(search.pendingResults().size(), 2u);
    EXPECT_EQ(box(search, "txtQualified")->text(), "2");

    MessageBoxes::pushAnswer(true);
    click(search, "cmdAppend");
    EXPECT_TRUE(search.pendingResults().empty());
    EXPECT_EQ(box(search, "txtQualified")->text(), "0"); // no all-kinds search holds the box
    EXPECT_TRUE(search.formulasChangedFlag());

    // While a search runs elsewhere the kind stays and nothing new starts.
    search.enableControls(true, false);
    EXPECT_FALSE(child<QPushButton>(search, "cmdStart")->isEnabled());
    EXPECT_FALSE(child<QPushButton>(search, "cmdAppend")->isEnabled());
    EXPECT_FALSE(child<QGroupBox>(search, "fraPosition")->isEnabled());
    EXPECT_FALSE(child<QPushButton>(*search.optimumFrame(), "cmdOptimum")->isEnabled());
}

TEST_F(SearchWindowTest, SchemePanelDrivesTheSearchPanelsKindAndKeepsTargetsPerItsSense)
{
    storeRangesForAllKinds(kNothing); // nothing qualifies: the first kind keeps running
    AnalysisSession session(&m_ws);
    SearchPanel search(&session);
    SchemePanel scheme(&session, &search);

    // The targets are stored under the sense the single search shows.
    box(scheme, "txtTarget5")->setText("7");
    click(scheme, "cmdSaveScheme");
    click(search, "optKeep");
    click(scheme, "cmdLoadScheme");
    EXPECT_EQ(box(scheme, "txtTarget5")->text(), "60");
    click(search, "optKill");
    click(scheme, "cmdLoadScheme");
    EXPECT_EQ(box(scheme, "txtTarget5")->text(), "7");

    // Only 十位通选 has a target: the search starts there and shows it in the single search's frames.
    for (int slot : {1, 2, 3, 6})
        box(scheme, QStringLiteral("txtTarget%1").arg(slot).toLatin1().constData())->setText("");
    click(scheme, "cmdSchemeStart");
    EXPECT_TRUE(scheme.isInProgress());
    EXPECT_TRUE(scheme.isRunning());
    EXPECT_EQ(search.currentSlot(), 5);
    EXPECT_TRUE(child<QRadioButton>(search, "optGeneral")->isChecked());
    EXPECT_EQ(box(search, "txtAutoStop")->text(), "7");
    EXPECT_TRUE(QTest::qWaitFor([&] { return box(search, "txtTried")->text().toLongLong() > 0; }, 5000));

    scheme.pause();
    EXPECT_TRUE(scheme.isInProgress());
    EXPECT_FALSE(scheme.isRunning());
    scheme.discard();
    EXPECT_FALSE(scheme.isInProgress());
}

// "跳过等价公式": off at first, stored with the search settings; on, the single search keeps no
// candidate that predicts as a stored formula of its kind and sense, or as one already listed.
TEST_F(SearchWindowTest, SkipEquivalentsCheckBox)
{
    addFormulas(m_ws, FormulaKind{1, true}, true, {"L1A+L2A+0"}, QString());
    {
        AnalysisSession session(&m_ws);
        SearchWindow w(&session);
        QCheckBox* distinct = child<QCheckBox>(w, "chkDistinct");
        ASSERT_NE(distinct, nullptr);
        EXPECT_EQ(distinct->text(), QStringLiteral("跳过等价公式"));
        EXPECT_FALSE(distinct->isChecked());
        distinct->setChecked(true);
    }
    EXPECT_TRUE(SearchSettings(&m_ws.settings()).skipEquivalents());
    AnalysisSession session(&m_ws);
    SearchWindow w(&session);
    ASSERT_TRUE(child<QCheckBox>(w, "chkDistinct")->isChecked());
    // Two operands: A+B and B+A come up often. The seed is not fixed, so the run is long enough
    // for an equivalent pair to come up whatever it is: 120 candidates without one happened about
    // once in 60 runs, and the odds of none fall exponentially with the square of the count.
    child<QScrollBar>(w, "hsbOperands")->setValue(2);
    setRanges(w, kEverything);
    child<QCheckBox>(w, "chkAutoStop")->setChecked(true);
    box(w, "txtAutoStop")->setText("300");
    click(w, "cmdStart");
    waitIdle(w);
    ASSERT_EQ(w.pendingResults().size(), 300u);
    EXPECT_GT(box(w, "txtTried")->text().toInt(), 300); // equivalents were tried and left out
    const HistoryColumns history(m_ws.history().draws());
    std::set<std::vector<std::uint8_t>> seen = {PredictionTokens::ofFormula(
        history, CompiledFormula::compile("L1A+L2A+0"), PredictionTokens::Reduction::NumberAndDigit)};
    for (const SearchResult& r : w.pendingResults())
        EXPECT_TRUE(seen.insert(PredictionTokens::ofFormula(history, CompiledFormula::compile(r.code),
                                                            PredictionTokens::Reduction::NumberAndDigit))
                        .second)
            << r.code.toStdString();
    // A new start does not repeat what the list already holds.
    box(w, "txtAutoStop")->setText("330");
    click(w, "cmdStart");
    waitIdle(w);
    ASSERT_EQ(w.pendingResults().size(), 330u);
    for (std::size_t i = 300; i < 330; ++i)
        EXPECT_TRUE(seen.insert(PredictionTokens::ofFormula(
                                    history, CompiledFormula::compile(w.pendingResults()[i].code),
                                    PredictionTokens::Reduction::NumberAndDigit))
                        .second);
}

TEST_F(SearchWindowTest, AutoStopAppliesAtOnceWhileTheSingleSearchRuns)
{
    AnalysisSession session(&m_ws);
    SearchWindow w(&session);
    setRanges(w, kSome);
    w.show();
    click(w, "cmdStart");
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.pendingResults().size() >= 2; }, 10000));
    ASSERT_TRUE(w.isSearching());
    // Checked with a number the list already reaches: the search ends now.
    box(w, "txtAutoStop")->setText("1");
    child<QCheckBox>(w, "chkAutoStop")->setChecked(true);
    waitIdle(w);
    EXPECT_TRUE(child<QPushButton>(w, "cmdStart")->isEnabled());

    // A new number typed while it runs is the new target.
    child<QCheckBox>(w, "chkAutoStop")->setChecked(false);
    click(w, "cmdStart");
    ASSERT_TRUE(w.isSearching());
    const std::size_t before = w.pendingResults().size();
    child<QCheckBox>(w, "chkAutoStop")->setChecked(true);
    box(w, "txtAutoStop")->setText(QString::number(before + 2));
    waitIdle(w);
    EXPECT_GE(w.pendingResults().size(), before + 2);
    MessageBoxes::pushAnswer(true);
    w.close();
}

TEST_F(SearchWindowTest, SchemeTargetsStopButtonColoursAndTheQuestionBeforeDiscarding)
{
    storeRangesForAllKinds(kEverything);
    AnalysisSession session(&m_ws);
    SearchWindow w(&session);
    w.show();
    // "保存设置" keeps an empty box empty, so "调用设置" skips that kind again.
    for (int slot : {1, 3, 5, 6})
        box(w, QStringLiteral("txtTarget%1").arg(slot).toLatin1().constData())->setText("");
    box(w, "txtTarget2")->setText("1");
    click(w, "cmdSaveScheme");
    EXPECT_EQ(SearchSettings(&m_ws.settings()).schemeTargetText(1, true), "");
    for (int slot : {1, 2, 3, 5, 6})
        box(w, QStringLiteral("txtTarget%1").arg(slot).toLatin1().constData())->setText("9");
    click(w, "cmdLoadScheme");
    EXPECT_EQ(box(w, "txtTarget1")->text(), "");
    EXPECT_EQ(box(w, "txtTarget2")->text(), "1");

    // Unsaved results of a single search: the all-kinds search asks before it drops them.
    setRanges(w, kEverything);
    child<QCheckBox>(w, "chkAutoStop")->setChecked(true);
    box(w, "txtAutoStop")->setText("2");
    click(w, "cmdStart");
    waitIdle(w);
    ASSERT_EQ(w.pendingResults().size(), 2u);
    MessageBoxes::clearShownTexts();
    MessageBoxes::pushAnswer(false);
    click(w, "cmdSchemeStart");
    EXPECT_FALSE(w.isSearching());
    EXPECT_EQ(w.pendingResults().size(), 2u);
    ASSERT_EQ(MessageBoxes::shownTexts().size(), 1);
    EXPECT_EQ(
        MessageBoxes::shownTexts()[0],
        QStringLiteral("还有2条搜索合格的公式没有保存到数据库，开始方案搜索将放弃这些公式，是否开始？"));

    // Agreed: the scheme runs (十位单选 only), "暂停搜索(&E)" is idle meanwhile, and it saves at the end.
    MessageBoxes::pushAnswer(true);
    MessageBoxes::pushAnswer(true); // "公式追加完毕！"
    click(w, "cmdSchemeStart");
    EXPECT_TRUE(w.isSearching());
    EXPECT_FALSE(child<QPushButton>(w, "cmdStop")->isEnabled());
    waitIdle(w);
    ASSERT_TRUE(QTest::qWaitFor([&] { return MessageBoxes::pendingAnswers() == 0; }, 5000));
    EXPECT_TRUE(child<QPushButton>(w, "cmdStop")->isEnabled());
    EXPECT_EQ(labelColour(child<QLabel>(w, "lblSlot2")), QColor(0, 0, 255));

    // The counts beside the targets and the total follow the save.
    EXPECT_EQ(child<QLabel>(w, "lblStored2")->text(), QString::number(stored(FormulaKind{2, true})));
    EXPECT_EQ(child<QLabel>(w, "lblStored2")->text(), "1");

    // A new run starts with the colours of the last one gone; 十位单选 now holds what it found, so
    // the run that would replace it asks first.
    storeRangesForAllKinds(kNothing);
    MessageBoxes::clearShownTexts();
    MessageBoxes::pushAnswer(true);
    click(w, "cmdSchemeStart");
    ASSERT_EQ(MessageBoxes::shownTexts().size(), 1);
    EXPECT_TRUE(MessageBoxes::shownTexts()[0].startsWith(
        QStringLiteral("十位单选：将删除已有的 1 条公式（生码和杀码）\n")));
    EXPECT_TRUE(w.isSearching());
    EXPECT_NE(labelColour(child<QLabel>(w, "lblSlot2")), QColor(0, 0, 255));
    w.close();
    EXPECT_FALSE(w.isSearching());
}

TEST_F(SearchWindowTest, EachSaveRefreshesTheMainWindowAndTheStoredCounts)
{
    MainWindow main(&m_ws, QString());
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    ASSERT_EQ(main.formulaModel()->rowCount(), 0);
    const int runs = main.backtestRuns();
    bool checked = false;
    QTimer::singleShot(0, [&] {
        auto* w = qobject_cast<SearchWindow*>(QApplication::activeModalWidget());
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(child<QLabel>(*w, "lblStored1")->text(), "0");
        EXPECT_EQ(child<QLabel>(*w, "lblTotal")->text(), "0");
        setRanges(*w, kEverything);
        child<QCheckBox>(*w, "chkAutoStop")->setChecked(true);
        box(*w, "txtAutoStop")->setText("2");
        click(*w, "cmdStart");
        waitIdle(*w);
        MessageBoxes::pushAnswer(true);
        click(*w, "cmdAppend");
        // While the search window stays open, the main window shows the formulas saved.
        EXPECT_EQ(main.formulaModel()->rowCount(), int(stored(FormulaKind{1, true})));
        EXPECT_GE(main.formulaModel()->rowCount(), 1);
        EXPECT_EQ(main.backtestRuns(), runs + 1);
        EXPECT_EQ(child<QLabel>(*w, "lblStored1")->text(), QString::number(stored(FormulaKind{1, true})));
        EXPECT_EQ(child<QLabel>(*w, "lblTotal")->text(), QString::number(stored(FormulaKind{1, true})));
        checked = true;
        w->close();
    });
    child<QPushButton>(main, "Command22")->click();
    EXPECT_TRUE(checked);
    EXPECT_EQ(main.backtestRuns(), runs + 1); // no second refresh on closing
}

// A long search tries millions of formulas: the 当前验证公式数 box shows ten digits whole, at the
// smallest size of the window and at 1366×768.
TEST_F(SearchWindowTest, TheTriedCountShowsTenDigits)
{
    AnalysisSession session(&m_ws);
    SearchWindow w(&session);
    for (const QSize size : {w.minimumSizeHint(), QSize(1366, 768)}) {
        w.resize(size);
        w.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
        QLineEdit* tried = box(w, "txtTried");
        tried->setText(QStringLiteral("1344615000"));
        QApplication::processEvents();
        // The room for text inside the frame and QLineEdit's own margins.
        const int room = tried->contentsRect().width() - 4;
        EXPECT_GE(room, tried->fontMetrics().horizontalAdvance(QStringLiteral("8888888888")))
            << size.width() << "x" << size.height() << ": " << tried->width() << " px";
    }
}
