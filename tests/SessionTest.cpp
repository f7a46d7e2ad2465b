// A whole session in the real main window, as a newcomer would work through it on a fresh data
// folder: fetch the history from a results server, type draws, import a formula file, look at the
// kinds and senses, change the look-back, calculate with both methods, search and save, export,
// delete, then restart and find everything as it was left.

#include "FixtureResultsPages.h"
#include "FixtureResultsServer.h"
#include "TestSupport.h"

#include "app/MainWindow.h"
#include "backtest/FormulaGridModel.h"
#include "backtest/FormulaSortWindow.h"
#include "formula/FormulaTableStore.h"
#include "formula/FormulaTextFile.h"
#include "history/HistoryGridModel.h"
#include "history/Workspace.h"
#include "killkeep/AllPositionsRankingWindow.h"
#include "killkeep/RankingPanel.h"
#include "killkeep/RankingWindow.h"
#include "search/SearchWindow.h"
#include "ui/DesktopOpener.h"
#include "ui/MessageBoxes.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QNetworkProxy>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace {

QString u(const char* text)
{
    return QString::fromUtf8(text);
}

const FormulaKind k1D{1, true}, k2D{2, true}, k3D{3, true}, k2G{2, false}, k3G{3, false};
const FormulaKind kAllKinds[] = {k1D, k2D, k3D, k2G, k3G};

// What the user keeps: every draw and every formula table, compared across a restart.
struct StoredState
{
    using Tables = std::map<QString, QStringList>; // table -> "gongshi|kill" in idx order
    QStringList draws;                             // "ISSUE DDD"
    Tables formulas;
    bool operator==(const StoredState&) const = default;
};

class SessionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QSettings(QSettings::IniFormat, QSettings::UserScope, "Pelq", "Pelq").clear();
        MessageBoxes::clearAnswers();
        MessageBoxes::clearShownTexts();
        // The window builds the results page's address from the stored lottery and host; the
        // fixture server stands in for that host as an HTTP proxy, so the request it sees is the
        // address the window built.
        QNetworkProxy::setApplicationProxy(
            QNetworkProxy(QNetworkProxy::HttpProxy, "127.0.0.1", m_server.port()));
    }
    void TearDown() override
    {
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
        m_window.reset();
        m_ws.reset();
        EXPECT_EQ(MessageBoxes::pendingAnswers(), 0) << "a pre-answered dialog was never shown";
        MessageBoxes::clearAnswers();
    }

    void start()
    {
        m_window.reset();
        m_ws = std::make_unique<Workspace>();
        QString error;
        ASSERT_TRUE(m_ws->open(m_dir.path(), &error)) << error.toStdString();
        m_window = std::make_unique<MainWindow>(m_ws.get(), error);
        m_window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
    }

    template <typename T> T* child(const char* name)
    {
        T* c = m_window->findChild<T*>(QLatin1String(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    void click(const char* name) { child<QAbstractButton>(name)->click(); }
    void trigger(const char* name) { child<QAction>(name)->trigger(); }
    QLineEdit* box(const char* name) { return child<QLineEdit>(name); }
    FormulaGridModel* formulas() { return m_window->formulaModel(); }
    QString cell(int row, int column)
    {
        return formulas()->data(formulas()->index(row, column), Qt::DisplayRole).toString();
    }

    void typeDraw(const char* digits)
    {
        // A dialog of the last step may have taken the activation; typing goes to the main window.
        m_window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
        QLineEdit* first = box("txtIpt1");
        first->setFocus();
        QApplication::processEvents();
        for (int i = 0; i < 3; ++i)
            QTest::keyClicks(QApplication::focusWidget(), QString(QLatin1Char(digits[i])));
    }

    // Shows a kind and sense the way the user does: the sense first, then the position (which
    // reloads the list), then the selection mode.
    void showKind(const FormulaKind& kind, bool kill)
    {
        click(kill ? "Option20" : "Option21");
        click(QStringLiteral("optXing%1").arg(kind.position).toLatin1().constData());
        if (kind.position > 1)
            click(kind.single ? "opTDG0" : "opTDG1");
        ASSERT_EQ(m_window->kind(), kind);
        ASSERT_EQ(m_window->killSense(), kill);
    }

    QStringList gridCodes()
    {
        QStringList out;
        for (int r = 0; r < formulas()->rowCount(); ++r)
            out << formulas()->formulaAt(r).gongshi;
        return out;
    }

    StoredState stored()
    {
        StoredState s;
        for (const DrawRecord& d : m_ws->history().draws())
            s.draws << d.issue + ' ' + QString::number(d.number(1)) + QString::number(d.number(2)) +
                           QString::number(d.number(3));
        FormulaTableStore store(&m_ws->database());
        for (const FormulaKind& kind : kAllKinds) {
            std::vector<FormulaRecord> rows;
            QString error;
            EXPECT_TRUE(store.loadTable(kind, &rows, &error)) << error.toStdString();
            QStringList& list = s.formulas[kind.tableName()];
            for (const FormulaRecord& f : rows)
                list << f.gongshi + (f.bolKill ? "|kill" : "|keep");
        }
        return s;
    }

    // The "(hits/total)" tail a formula that always names `value` must show for the current
    // history: the newest `lookBack` draws scored (all but the oldest when 0), weights 1, 4, 9, …
    // from the oldest scored draw, a kill right when the units number differs from the value.
    QString constantKillTail(int value, int lookBack)
    {
        const std::vector<DrawRecord>& draws = m_ws->history().draws();
        const int n = int(draws.size());
        const int first = lookBack == 0 ? 1 : std::max(1, n - lookBack);
        qint64 hits = 0, total = 0;
        for (int r = first; r < n; ++r) {
            const qint64 w = qint64(r - first + 1) * (r - first + 1);
            total += w;
            if (draws[r].number(3) != value)
                hits += w;
        }
        return QStringLiteral("(%1/%2)").arg(hits).arg(total);
    }

    int rowOf(const QString& code) { return int(gridCodes().indexOf(code)); }

    TempDataFolder m_dir;
    FixtureResultsServer m_server;
    std::unique_ptr<Workspace> m_ws;
    std::unique_ptr<MainWindow> m_window;
};

// The formula file the user brings: a banner and a stray line the import cannot read, kill
// formulas of several kinds in bracket form (which names the kind; the sense is the window's),
// then keep formulas in next-draw form (which names both, and the sense stays for what follows).
QByteArray formulaFile()
{
    return FormulaTextFile::encode({
        FormulaTextFile::banner(),
        u("[个位单选杀]3"),
        u("[个位单选杀]百位码+十位码+1"),
        u("[个位单选杀]跨度*2+和数"),
        u("[十位通选杀]十位码+和数+3"),
        u("[十位通选杀]百位码+5"),
        u("[十位通选杀]跨度+个位码"),
        u("[百位单选杀]百位码+十位码+5"),
        u("个位码+2=下期生码个位单选"),
        u("十位码+跨度+1=下期生码十位通选"),
        u("这不是公式"),
    });
}

// Only the formulas of one sense, as the text exports write them.
StoredState::Tables ofSense(const StoredState::Tables& tables, bool kill)
{
    StoredState::Tables out;
    for (const auto& [table, list] : tables)
        out[table] = list.filter(kill ? "|kill" : "|keep");
    return out;
}

} // namespace

TEST_F(SessionTest, ANewcomersWholeSessionSurvivesARestart)
{
    start();
    EXPECT_EQ(m_window->historyModel()->rowCount(), 0);

    // --- History: the online update fills two days, then draws are typed by hand. ---
    const QDate today = QDate::currentDate();
    std::vector<FixtureDraw> page = FixtureResultsPages::datedDraws(today.addDays(-1), 1, today, 40, 78);
    m_server.setPage(FixtureResultsPages::page(page));
    MessageBoxes::pushAnswer(true); // update now?
    MessageBoxes::pushAnswer(true); // the summary
    click("Command21");
    EXPECT_EQ(m_server.lastTarget(), QStringLiteral("http://fj.kuai3.zorvane.example/?n=468"));
    ASSERT_EQ(m_window->historyModel()->rowCount(), 118);
    const QString todayPrefix = today.toString("yyMMdd");
    EXPECT_EQ(box("Text1")->text(), todayPrefix + "041");

    for (const char* digits : {"123", "456", "111", "246", "635"})
        typeDraw(digits);
    ASSERT_EQ(m_window->historyModel()->rowCount(), 123);
    EXPECT_EQ(m_ws->history().draws().back().issue, todayPrefix + "045");
    EXPECT_EQ(box("Text1")->text(), todayPrefix + "046");
    EXPECT_TRUE(MessageBoxes::shownTexts().size() == 2)
        << MessageBoxes::shownTexts().join('\n').toStdString();

    // --- Formulas: import a file from the folder 公式文本. ---
    const QString folder = m_dir.file(u("公式文本"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString file = folder + u("/我的公式.txt");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(formulaFile());
    }
    MessageBoxes::pushAnswer(true, file); // the file dialog
    MessageBoxes::pushAnswer(true);       // look at the lines that could not be read?
    click("Command10");
    EXPECT_EQ(DesktopOpener::lastRequested(), m_dir.file(u("无法识别公式.txt")));
    {
        QFile rejected(m_dir.file(u("无法识别公式.txt")));
        ASSERT_TRUE(rejected.open(QIODevice::ReadOnly));
        const QStringList lines = FormulaTextFile::decodeLines(rejected.readAll());
        EXPECT_TRUE(lines.contains(u("这不是公式")));
        EXPECT_FALSE(lines.join(' ').contains(u("码")));
    }

    // --- Kinds and senses: each table holds its own lines, back-tested. ---
    showKind(k1D, true);
    EXPECT_EQ(gridCodes(), (QStringList{"3", "L1A+L2A+1", "LT*2+LH"}));
    EXPECT_EQ(formulas()->selectedCount(), 3);
    const int constantRow = rowOf("3");
    ASSERT_TRUE(cell(constantRow, FormulaGridModel::RateColumn).endsWith(constantKillTail(3, 300)));
    EXPECT_EQ(cell(constantRow, FormulaGridModel::NextValueColumn), "3");
    showKind(k1D, false);
    EXPECT_EQ(gridCodes(), QStringList{"L3A+2"});
    showKind(k2G, true);
    EXPECT_EQ(gridCodes(), (QStringList{"L2A+LH+3", "L1A+5", "LT+L3A"}));
    showKind(k2G, false);
    EXPECT_EQ(gridCodes(), QStringList{"L2A+LT+1"});
    showKind(k3D, true);
    EXPECT_EQ(gridCodes(), QStringList{"L1A+L2A+5"});
    EXPECT_TRUE(cell(0, FormulaGridModel::FormulaColumn).contains(u("百位码")));

    // --- The look-back: 前100期 scores the newest hundred draws only. ---
    showKind(k1D, true);
    const int runs = m_window->backtestRuns();
    trigger("mnuQs1");
    EXPECT_EQ(m_window->backtestRuns(), runs + 1);
    EXPECT_EQ(m_window->lookBackDraws(), 100);
    EXPECT_TRUE(cell(rowOf("3"), FormulaGridModel::RateColumn).endsWith(constantKillTail(3, 100)))
        << cell(rowOf("3"), FormulaGridModel::RateColumn).toStdString();

    // --- Calculation, selected formulas of 十位通选杀: the ranking counts the grid's 计算值. ---
    showKind(k2G, true);
    formulas()->setSelected(rowOf("L1A+5"), false);
    std::map<QString, int> expectedVotes;
    for (int r = 0; r < formulas()->rowCount(); ++r) {
        if (formulas()->isSelected(r))
            ++expectedVotes[cell(r, FormulaGridModel::NextValueColumn)];
    }
    click("Option61");
    click("Command23");
    RankingWindow* ranking = m_window->rankingWindow();
    ASSERT_NE(ranking, nullptr);
    EXPECT_TRUE(ranking->isVisible());
    EXPECT_FALSE(ranking->detailButton()->isHidden());
    QAbstractItemModel* rm = ranking->panel()->rankingView()->model();
    ASSERT_EQ(rm->rowCount(), 6);
    for (int r = 0; r < 6; ++r) {
        const QString number = rm->data(rm->index(r, 1)).toString();
        EXPECT_EQ(rm->data(rm->index(r, 2)).toString(),
                  QString::number(expectedVotes.count(number) ? expectedVotes[number] : 0))
            << number.toStdString();
    }
    ranking->findChild<QPushButton*>("exportButton")->click();
    EXPECT_EQ(DesktopOpener::lastRequested(), m_dir.file("ErrarrLei.xlsx"));
    EXPECT_TRUE(readWorkbookPart(m_dir.file("ErrarrLei.xlsx"), "xl/sharedStrings.xml").contains(u("杀")));

    // The best formulas: the sort window is confirmed with its defaults.
    click("Option60");
    QTimer::singleShot(0, m_window.get(), [this] { m_window->sortWindow()->confirmButton()->click(); });
    click("Command23");
    EXPECT_TRUE(ranking->detailButton()->isHidden());

    // Single selection at 个位: the all-positions window, the ten digits of the units table.
    showKind(k1D, true);
    click("Option61");
    click("Command23");
    AllPositionsRankingWindow* all = m_window->allPositionsWindow();
    ASSERT_NE(all, nullptr);
    EXPECT_TRUE(all->isVisible());
    ASSERT_EQ(all->panelCount(), 1);
    QAbstractItemModel* units = all->panelAt(0)->rankingView()->model();
    ASSERT_EQ(units->rowCount(), 10);
    int votes = 0;
    for (int r = 0; r < 10; ++r)
        votes += units->data(units->index(r, 2)).toInt();
    EXPECT_EQ(votes, 3);

    // --- A short search for units kill formulas, saved by appending. ---
    QStringList found;
    bool searched = false;
    QTimer::singleShot(0, m_window.get(), [&] {
        auto* search = qobject_cast<SearchWindow*>(QApplication::activeModalWidget());
        ASSERT_NE(search, nullptr);
        const QStringList everything{"0", "100", "0", "32768", "0", "32768", "0", "32768", "0", "32768"};
        for (int j = 0; j < 10; ++j)
            search->findChild<QLineEdit*>(QStringLiteral("range%1").arg(j))->setText(everything[j]);
        search->findChild<QCheckBox*>("chkAutoStop")->setChecked(true);
        search->findChild<QLineEdit*>("txtAutoStop")->setText("4");
        search->findChild<QPushButton*>("cmdStart")->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !search->isSearching(); }, 20000));
        for (const SearchResult& r : search->pendingResults())
            found << r.code;
        MessageBoxes::pushAnswer(true); // 公式追加完毕！
        search->findChild<QPushButton*>("cmdAppend")->click();
        searched = true;
        static_cast<QDialog*>(search)->reject();
    });
    click("Command22");
    ASSERT_TRUE(searched);
    ASSERT_EQ(found.size(), 4);
    EXPECT_TRUE(MessageBoxes::shownTexts().contains(u("公式追加完毕！")));
    showKind(k1D, true);
    const QStringList withSearch = gridCodes();
    for (const QString& code : found)
        EXPECT_TRUE(withSearch.contains(code)) << code.toStdString();
    EXPECT_GE(withSearch.size(), 3 + 1); // duplicates of what was stored are dropped

    // --- Exports: text files, and the workbooks of the formula and history grids. ---
    const QString newest = todayPrefix + "045";
    click("cmdLsdcTxt");
    {
        QFile f(m_dir.file(u("更新至") + newest + u("期历史号码.txt")));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = f.readAll().split('\n');
        EXPECT_EQ(lines.size(), 123 + 1);
        EXPECT_EQ(lines[122], (newest + " 635\r").toLatin1());
    }
    click("Command20");
    EXPECT_EQ(DesktopOpener::lastRequested(), m_dir.file(newest + u("期快3彩个位单选杀公式.txt")));
    trigger("mnuGsdc");
    EXPECT_TRUE(readWorkbookPart(m_dir.file("gongshi.xlsx"), "xl/sharedStrings.xml").contains(u("百位码")));
    // With the per-draw results shown, the history workbook heads each formula column with the
    // formula's Chinese form.
    child<QCheckBox>("Check1")->setChecked(true);
    MessageBoxes::pushAnswer(true); // the history list can be long: export it?
    click("cmdDcexl");
    const QString lishi = readWorkbookPart(m_dir.file("lishi.xlsx"), "xl/sharedStrings.xml");
    EXPECT_TRUE(lishi.contains(newest));
    EXPECT_TRUE(lishi.contains(u("百位码+十位码+1")));
    EXPECT_FALSE(lishi.contains(u("公式1<")));
    child<QCheckBox>("Check1")->setChecked(false);

    // The all-kinds export (of the sense shown, kill) reads back as the same formulas: clear
    // everything, import it again.
    ASSERT_TRUE(m_window->killSense());
    const StoredState beforeRoundTrip = stored();
    click("Command11");
    const QString allKinds = m_dir.file(newest + u("期快3彩公式.txt"));
    EXPECT_EQ(DesktopOpener::lastRequested(), allKinds);
    MessageBoxes::pushAnswer(true); // 清空所有公式?
    click("Command2");
    EXPECT_EQ(formulas()->rowCount(), 0);
    MessageBoxes::pushAnswer(true, allKinds);
    MessageBoxes::pushAnswer(false); // the banner is no formula: do not look at it
    click("Command10");
    EXPECT_EQ(stored().formulas, ofSense(beforeRoundTrip.formulas, true));
    EXPECT_TRUE(m_window->killSense());
    // The keep formulas were not exported: the user adds one back by typing it.
    box("Text2")->setText(u("十位码+跨度+1=下期生码十位通选"));
    click("Command1");
    EXPECT_EQ(stored().formulas.at("Gongshi2G").filter("|keep"), QStringList{"L2A+LT+1|keep"});

    // --- Deletions: two draws, one formula by its row, the unselected ones. ---
    MessageBoxes::pushAnswer(true); // 删除最后历史 asks first
    click("Command3");
    MessageBoxes::pushAnswer(true, "1");
    trigger("mnuDelLast");
    ASSERT_EQ(m_window->historyModel()->rowCount(), 121);
    EXPECT_EQ(box("Text1")->text(), todayPrefix + "044");

    showKind(k2G, true);
    QTableView* grid = child<QTableView>("MSFlexGrid2");
    emit grid->customContextMenuRequested(grid->visualRect(formulas()->index(rowOf("L1A+5"), 1)).center());
    if (QWidget* popup = QApplication::activePopupWidget())
        popup->close();
    trigger("mnuDelGS");
    EXPECT_EQ(gridCodes(), (QStringList{"L2A+LH+3", "LT+L3A"}));
    formulas()->setSelected(rowOf("LT+L3A"), false);
    MessageBoxes::pushAnswer(true);
    trigger("mnuDelUnselected");
    EXPECT_EQ(gridCodes(), QStringList{"L2A+LH+3"});

    // --- Restart: the history, every table, the settings and the figures are as they were left. ---
    showKind(k1D, true);
    const StoredState left = stored();
    const QStringList unitsShown = gridCodes();
    QStringList ratesShown;
    for (int r = 0; r < formulas()->rowCount(); ++r)
        ratesShown << cell(r, FormulaGridModel::RateColumn);
    EXPECT_EQ(left.draws.size(), 121);
    EXPECT_EQ(left.formulas.at("Gongshi2G"), (QStringList{"L2A+LH+3|kill", "L2A+LT+1|keep"}));

    start();
    EXPECT_EQ(stored(), left);
    EXPECT_EQ(m_window->historyModel()->rowCount(), 121);
    EXPECT_EQ(box("Text1")->text(), todayPrefix + "044");
    EXPECT_EQ(m_window->kind(), k1D);
    EXPECT_TRUE(m_window->killSense());
    EXPECT_EQ(m_window->lookBackDraws(), 100);
    EXPECT_TRUE(child<QAction>("mnuQs1")->isChecked());
    EXPECT_EQ(gridCodes(), unitsShown);
    QStringList ratesAfter;
    for (int r = 0; r < formulas()->rowCount(); ++r)
        ratesAfter << cell(r, FormulaGridModel::RateColumn);
    EXPECT_EQ(ratesAfter, ratesShown);
    EXPECT_EQ(formulas()->selectedCount(), formulas()->rowCount()); // every formula selected at start
    for (const char* name : {"ErrarrLei.xlsx", "gongshi.xlsx", "lishi.xlsx"})
        EXPECT_TRUE(QFile::exists(m_dir.file(name))) << name;
}
