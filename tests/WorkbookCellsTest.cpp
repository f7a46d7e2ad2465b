#include "TestSupport.h"
#include "WindowTestFixture.h"

#include "app/MainWindow.h"
#include "backtest/CalculationStepsModel.h"
#include "backtest/CalculationStepsWindow.h"
#include "backtest/DetailListWindow.h"
#include "backtest/FormulaGridModel.h"
#include "backtest/PositionHistoryModel.h"
#include "backtest/PositionHistoryWindow.h"
#include "history/HistoryGridModel.h"
#include "history/Workspace.h"
#include "killkeep/AllPositionsRankingWindow.h"
#include "store/WorkbookWriter.h"
#include "ui/GridExport.h"
#include "ui/MessageBoxes.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <set>

namespace {

// One cell as a spreadsheet reader (python3's openpyxl) finds it.
struct SheetCell
{
    char type = 'e'; // 'n' number, 's' text, 'e' empty
    QJsonValue value;
    QString format;
};

struct Sheet
{
    QString title;
    std::map<std::pair<int, int>, SheetCell> cells;

    SheetCell at(int row, int column) const
    {
        const auto it = cells.find({row, column});
        return it == cells.end() ? SheetCell{} : it->second;
    }
    // The text a spreadsheet shows for a cell, for the number formats the program writes:
    // General, or sections "positive;negative;zero" of a literal sign, zeros, places and "%".
    QString shown(int row, int column) const
    {
        const SheetCell c = at(row, column);
        if (c.type == 's')
            return c.value.toString();
        if (c.type != 'n')
            return QString();
        double v = c.value.toDouble();
        if (c.format.isEmpty() || c.format == QLatin1String("General"))
            return v == std::trunc(v) && std::fabs(v) < 1e11 ? QString::number(qint64(v))
                                                             : QString::number(v, 'g', 11);
        const QStringList sections = c.format.split(QLatin1Char(';'));
        QString section = sections[0];
        if (v < 0 && sections.size() > 1) {
            section = sections[1];
            v = -v; // the section writes its own sign
        } else if (v == 0 && sections.size() > 2) {
            section = sections[2];
        }
        QString prefix;
        while (!section.isEmpty() && (section[0] == QLatin1Char('+') || section[0] == QLatin1Char('-'))) {
            prefix += section[0];
            section.remove(0, 1);
        }
        const bool percent = section.endsWith(QLatin1Char('%'));
        if (percent) {
            section.chop(1);
            v *= 100;
        }
        const qsizetype point = section.indexOf(QLatin1Char('.'));
        const int places = point < 0 ? 0 : int(section.size() - point - 1);
        const int wholeDigits = int(point < 0 ? section.size() : point);
        QString text = QString::number(std::fabs(v), 'f', places);
        const qsizetype textPoint = text.indexOf(QLatin1Char('.'));
        const qsizetype have = textPoint < 0 ? text.size() : textPoint;
        if (have < wholeDigits)
            text.prepend(QString(wholeDigits - have, QLatin1Char('0')));
        return prefix + (v < 0 ? QStringLiteral("-") : QString()) + text +
               (percent ? QStringLiteral("%") : QString());
    }
};

Sheet readSheet(const QString& path)
{
    Sheet sheet;
    QProcess reader;
    reader.start(QStringLiteral(ZORVANE_SPREADSHEET_PYTHON), {QStringLiteral(ZORVANE_READ_WORKBOOK), path});
    EXPECT_TRUE(reader.waitForFinished(30000));
    EXPECT_EQ(reader.exitCode(), 0) << reader.readAllStandardError().toStdString();
    const QList<QByteArray> lines = reader.readAllStandardOutput().split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        if (lines[i].trimmed().isEmpty())
            continue;
        if (i == 0) {
            sheet.title = QJsonDocument::fromJson("[" + lines[i] + "]").array().at(0).toString();
            continue;
        }
        const QJsonArray a = QJsonDocument::fromJson(lines[i]).array();
        SheetCell c;
        c.type = a.at(2).toString().toLatin1().at(0);
        c.value = a.at(3);
        c.format = a.at(4).toString();
        sheet.cells[{a.at(0).toInt(), a.at(1).toInt()}] = c;
    }
    return sheet;
}

// The sheet holds the grid: the captions as text in row 0, every cell below showing the grid's
// text, as a number in `numberColumns` (an empty cell where the grid shows nothing) and as text
// elsewhere.
void expectSheetShowsGrid(const QString& path, const QAbstractItemModel& grid,
                          const std::set<int>& numberColumns)
{
    SCOPED_TRACE(path.toStdString());
    const Sheet sheet = readSheet(path);
    EXPECT_EQ(sheet.title, "Sheet1");
    ASSERT_GT(grid.rowCount(), 0);
    for (int c = 0; c < grid.columnCount(); ++c) {
        if (!grid.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString().isEmpty()) {
            EXPECT_EQ(sheet.at(0, c).type, 's') << "caption " << c;
        }
    }
    for (int r = 0; r < grid.rowCount(); ++r) {
        for (int c = 0; c < grid.columnCount(); ++c) {
            const QString text = grid.data(grid.index(r, c), Qt::DisplayRole).toString();
            const SheetCell cell = sheet.at(r + 1, c);
            if (text.isEmpty()) {
                EXPECT_TRUE(cell.type == 'e' || cell.value.toString().isEmpty()) << r << "," << c;
                continue;
            }
            // A bound such as "<0.001" (p值) is no number.
            const bool number = numberColumns.count(c) && !text.startsWith(QLatin1Char('<'));
            EXPECT_EQ(cell.type, number ? 'n' : 's') << r << "," << c << " " << text.toStdString();
            EXPECT_EQ(sheet.shown(r + 1, c), text) << r << "," << c;
        }
    }
}

// gongshi.xlsx: the formula grid's shown columns (without the hold-out, with the chance columns),
// the rate split in two.
void expectSheetShowsFormulaList(const QString& path, const FormulaGridModel& grid)
{
    SCOPED_TRACE(path.toStdString());
    const Sheet sheet = readSheet(path);
    ASSERT_GT(grid.rowCount(), 0);
    std::vector<int> shown;
    for (int c = 0; c < FormulaGridModel::ColumnCount; ++c)
        if (c != FormulaGridModel::IdxColumn && c != FormulaGridModel::HoldOutRateColumn &&
            c != FormulaGridModel::HoldOutPColumn)
            shown.push_back(c);
    const std::set<int> numbers = {FormulaGridModel::NumberColumn,   FormulaGridModel::NextValueColumn,
                                   FormulaGridModel::RateColumn,     FormulaGridModel::MaxMissColumn,
                                   FormulaGridModel::MaxHitColumn,   FormulaGridModel::FinalMissColumn,
                                   FormulaGridModel::FinalHitColumn, FormulaGridModel::ChanceRateColumn,
                                   FormulaGridModel::ExcessColumn,   FormulaGridModel::PValueColumn,
                                   FormulaGridModel::QValueColumn,   FormulaGridModel::EquivalentColumn};
    int column = 0;
    for (int c : shown) {
        const QString caption = grid.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        EXPECT_EQ(sheet.shown(0, column), caption) << "caption of " << c;
        for (int r = 0; r < grid.rowCount(); ++r) {
            QString text = grid.data(grid.index(r, c), Qt::DisplayRole).toString();
            QString tail;
            if (c == FormulaGridModel::RateColumn) {
                const qsizetype open = text.indexOf(QStringLiteral(" ("));
                ASSERT_GT(open, 0) << text.toStdString();
                tail = text.mid(open + 2).chopped(1); // "51/55"
                text = text.left(open);
            }
            const SheetCell cell = sheet.at(r + 1, column);
            if (text.isEmpty()) {
                EXPECT_TRUE(cell.type == 'e' || cell.value.toString().isEmpty()) << r << "," << c;
                continue;
            }
            const bool number = numbers.count(c) && !text.startsWith(QLatin1Char('<'));
            EXPECT_EQ(cell.type, number ? 'n' : 's') << r << "," << c << " " << text.toStdString();
            EXPECT_EQ(sheet.shown(r + 1, column), text) << r << "," << c;
            if (c == FormulaGridModel::RateColumn) {
                EXPECT_EQ(sheet.at(r + 1, column + 1).type, 's');
                EXPECT_EQ(sheet.shown(r + 1, column + 1), tail) << r;
            }
        }
        if (c == FormulaGridModel::RateColumn) {
            EXPECT_EQ(sheet.shown(0, column + 1), caption + QStringLiteral("（对/总）"));
            ++column;
        }
        ++column;
    }
    // Nothing beyond the columns shown.
    for (const auto& [at, cell] : sheet.cells)
        EXPECT_LT(at.second, column) << "column " << at.second << " in row " << at.first;
}

std::set<int> range(int first, int last)
{
    std::set<int> out;
    for (int c = first; c <= last; ++c)
        out.insert(c);
    return out;
}

class WorkbookCells : public WindowTestFixture
{
protected:
    void SetUp() override { WindowTestFixture::SetUp(); }
    void TearDown() override
    {
        window.reset();
        WindowTestFixture::TearDown();
    }
    template <typename T> T* child(const char* name)
    {
        return window->findChild<T*>(QString::fromLatin1(name));
    }

    std::unique_ptr<MainWindow> window;
};

} // namespace

TEST(WorkbookWriter, NumbersAreWrittenAsNumbersThatShowTheSameText)
{
    TempDataFolder dir;
    const QStringList texts{"7",
                            "-3",
                            "0",
                            "85.3300",
                            "0.5",
                            "123456789012",
                            "32767",
                            "+1.23",
                            "+0.00",
                            "-0.45",
                            "83.33%",
                            "05.50%",
                            "007",
                            " 5",
                            "1e5",
                            "160121001",
                            "1234567890123456",
                            "3*",
                            "<0.001",
                            "无效"};
    const QString path = dir.file("cells.xlsx");
    {
        WorkbookWriter book(path);
        for (int i = 0; i < texts.size(); ++i)
            book.writeCell(i, 0, texts[i]);
        QString error;
        ASSERT_TRUE(book.save(&error)) << error.toStdString();
    }
    const Sheet sheet = readSheet(path);
    for (int i = 0; i < texts.size(); ++i) {
        // Plain decimals of up to fifteen digits, signed or not, and percentages are numbers;
        // leading zeros (outside a percentage), blanks, exponents and longer digit strings stay
        // text. 160121001 is a number here: the grids mark their issue columns as text themselves.
        const bool number = i <= 11 || texts[i] == "160121001";
        EXPECT_EQ(sheet.at(i, 0).type, number ? 'n' : 's') << texts[i].toStdString();
        EXPECT_EQ(sheet.shown(i, 0), texts[i]);
    }
    EXPECT_EQ(sheet.at(3, 0).format, "0.0000");
    EXPECT_DOUBLE_EQ(sheet.at(3, 0).value.toDouble(), 85.33);
    EXPECT_DOUBLE_EQ(sheet.at(10, 0).value.toDouble(), 0.8333);
}

TEST(WorkbookWriter, IssueNumbersOfEveryLengthStayText)
{
    // 北京快3's five-digit running count is an issue number as much as a nine-digit one.
    TempDataFolder dir;
    std::vector<DrawRecord> draws(2);
    draws[0].issue = "79301";
    draws[1].issue = "160121001";
    for (DrawRecord& d : draws)
        d.values[0] = d.values[1] = d.values[2] = 4;
    HistoryGridModel grid;
    grid.setDraws(&draws);
    QString error;
    ASSERT_TRUE(GridExport::writeWorkbook(grid, dir.file("lishi.xlsx"), &error)) << error.toStdString();
    expectSheetShowsGrid(dir.file("lishi.xlsx"), grid, {1, 2, 3});
}

TEST_F(WorkbookCells, EveryWorkbookTheWindowsWriteHoldsNumbersAsNumbers)
{
    addDraws(ws, {{"160121001", "335"},
                  {"160121002", "126"},
                  {"160121003", "441"},
                  {"160121004", "253"},
                  {"160121005", "616"},
                  {"160121006", "332"}});
    // "13" is a formula that is a bare number: text like every formula.
    addFormulas(ws, {1, true}, true, {"13", "L1A/2+1", "LH"}, QString());
    window = std::make_unique<MainWindow>(&ws, QString());
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));

    // gongshi.xlsx, the formula list as shown: every column with its caption, none hidden (no idx,
    // no hold-out); 序号, 计算值, 正确率 (a percentage), the four runs, the chance figures (机会率 as
    // a percentage, 超出 with its sign, p值, q值) and 等价 are numbers; the rate's "(hits/total)"
    // has a column of its own.
    window->findChild<QAction*>("mnuGsdc")->trigger();
    expectSheetShowsFormulaList(dir.file("gongshi.xlsx"), *window->formulaModel());

    // lishi.xlsx, the history with the per-draw columns: the issue is text.
    child<QCheckBox>("Check1")->setChecked(true);
    MessageBoxes::pushAnswer(true);
    child<QPushButton>("cmdDcexl")->click();
    expectSheetShowsGrid(dir.file("lishi.xlsx"), *window->historyModel(), range(1, 6));

    // The calculation's ranking (ErrarrLei.xlsx) and its detail list (gongshi.xlsx).
    child<QRadioButton>("Option61")->click();
    child<QPushButton>("Command23")->click();
    AllPositionsRankingWindow* ranking = window->allPositionsWindow();
    ASSERT_NE(ranking, nullptr);
    ranking->exportButton()->click();
    const Sheet votes = readSheet(dir.file("ErrarrLei.xlsx"));
    ASSERT_EQ(votes.at(1, 0).type, 'n');
    for (const auto& [at, cell] : votes.cells)
        EXPECT_EQ(cell.type, at.first == 0 ? 's' : 'n') << at.first << "," << at.second;
    bool sawList = false;
    QTimer::singleShot(0, [&] {
        auto* list = qobject_cast<DetailListWindow*>(QApplication::activeModalWidget());
        if (!list)
            return;
        sawList = true;
        list->exportButton()->click();
        expectSheetShowsGrid(list->exportPath(), list->model(), {0, 4});
        list->reject();
    });
    ranking->detailButton()->click();
    EXPECT_TRUE(sawList);

    // Print.xlsx and Jieguo.xlsx, the past positions of a single-selection kind: every fixed
    // column but the issue is a number.
    MessageBoxes::pushAnswer(true);
    child<QPushButton>("Command12")->click();
    PositionHistoryWindow* positions = window->positionHistoryWindow();
    ASSERT_NE(positions, nullptr);
    ASSERT_TRUE(positions->exportPrint());
    expectSheetShowsGrid(dir.file("Print.xlsx"), *positions->model(), range(1, 26));
    ASSERT_TRUE(positions->exportJieguo());
    expectSheetShowsGrid(dir.file("Jieguo.xlsx"), *positions->model(), range(1, 26));

    // LSJS.xlsx, the calculation steps of L1A/2+1: the value, with its decimals, is a number;
    // the issue, the drawn numbers side by side and the steps are text.
    QTableView* grid = child<QTableView>("MSFlexGrid2");
    emit grid->customContextMenuRequested(grid->visualRect(window->formulaModel()->index(1, 1)).center());
    if (QWidget* popup = QApplication::activePopupWidget())
        popup->close();
    window->findChild<QAction*>("mnuGsbz")->trigger();
    CalculationStepsWindow* steps = window->stepsWindow();
    ASSERT_NE(steps, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(steps));
    const QPoint inCell = steps->grid()->visualRect(steps->model()->index(0, 1)).center();
    QTest::mouseClick(steps->grid()->viewport(), Qt::LeftButton, {}, inCell);
    QTest::mouseDClick(steps->grid()->viewport(), Qt::LeftButton, {}, inCell);
    ASSERT_TRUE(QFile::exists(dir.file("LSJS.xlsx")));
    EXPECT_EQ(steps->model()->data(steps->model()->index(0, 3), Qt::DisplayRole).toString(), "2.5");
    expectSheetShowsGrid(dir.file("LSJS.xlsx"), *steps->model(), {3});
}
