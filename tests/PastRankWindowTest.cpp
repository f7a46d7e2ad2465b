#include "SyntheticHistory.h"
#include "TestSupport.h"

#include "backtest/CalculationStepsModel.h"
#include "backtest/CalculationStepsWindow.h"
#include "backtest/PastRankingTask.h"
#include "backtest/PositionHistoryModel.h"
#include "backtest/PositionHistoryWindow.h"
#include "backtest/VerificationDisplay.h"
#include "history/HistoryColumns.h"
#include "history/HistoryGridModel.h"
#include "ui/MessageBoxes.h"

#include <QAbstractItemModelTester>
#include <QBrush>
#include <QFile>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

namespace {

std::vector<DrawRecord> numbers(const std::vector<std::array<int, 3>>& draws)
{
    return drawsWithNumbers(draws);
}

std::vector<CompiledFormula> constants(int count)
{
    std::vector<CompiledFormula> out;
    for (int n = 1; n <= count; ++n)
        out.push_back(CompiledFormula::compile(QString::number(n)));
    return out;
}

QString header(const QAbstractItemModel& m, int column)
{
    return m.headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
}

QString text(const QAbstractItemModel& m, int row, int column)
{
    return m.data(m.index(row, column), Qt::DisplayRole).toString();
}

QVariant background(const QAbstractItemModel& m, int row, int column)
{
    return m.data(m.index(row, column), Qt::BackgroundRole);
}

QColor colour(const QAbstractItemModel& m, int row, int column)
{
    return background(m, row, column).value<QBrush>().color();
}

const QColor kBlue(0, 0, 255), kGreen(0, 255, 0), kWhite(255, 255, 255);

template <typename T> T* child(QWidget* w, const QString& text)
{
    for (T* c : w->findChildren<T*>())
        if (c->text() == text)
            return c;
    return nullptr;
}

std::vector<PastRankingDraw> exampleRanking()
{
    std::array<RankedNumber, 6> ranking{{{4, 0}, {2, 0}, {1, 3}, {6, 3}, {3, 5}, {5, 7}}};
    return {{"160121001", {1, 1, 1}, ranking},
            {"160121002", {2, 5, 3}, ranking},
            {"160121003", {1, 4, 6}, ranking}};
}

} // namespace

// --- The history grid's formula columns ------------------------------------------------------

TEST(HistoryGridVerification, ColumnsHeadersAndColoursOfBothModes)
{
    const std::vector<DrawRecord> draws = numbers({{1, 1, 1}, {1, 1, 4}, {1, 1, 4}, {1, 1, 2}});
    const HistoryColumns history(draws);
    HistoryGridModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setDraws(&draws);
    EXPECT_EQ(model.columnCount(), 4);

    // Keep formulas "4" and "1" at 个位; "4" is right on draws 2 and 3 and wrong on draw 4.
    const std::vector<CompiledFormula> subset{CompiledFormula::compile("4"), CompiledFormula::compile("1")};
    model.setVerificationBlock(VerificationDisplay::compute(history, subset, FormulaKind{1, true}, false,
                                                            VerificationMode::PreCanshu, 1));
    ASSERT_EQ(model.columnCount(), 6);
    EXPECT_EQ(header(model, 3), QStringLiteral("个位"));
    EXPECT_EQ(header(model, 4), QStringLiteral("公式1"));
    EXPECT_EQ(header(model, 5), QStringLiteral("公式2"));
    EXPECT_EQ(text(model, 0, 4), "");
    EXPECT_EQ(colour(model, 0, 4), kWhite);
    EXPECT_EQ(text(model, 1, 4), "4");
    EXPECT_EQ(colour(model, 1, 4), kBlue);
    EXPECT_EQ(colour(model, 2, 4), kBlue);
    EXPECT_EQ(colour(model, 3, 4), kGreen);
    EXPECT_EQ(colour(model, 3, 5), kGreen);
    // The number stays readable on blue; on green it keeps the grid's own text colour.
    EXPECT_EQ(model.index(1, 4).data(Qt::ForegroundRole).value<QBrush>().color(), QColor(Qt::white));
    EXPECT_FALSE(model.index(3, 4).data(Qt::ForegroundRole).isValid());
    EXPECT_EQ(text(model, 2, 1), "1"); // the number columns are unchanged

    model.setVerificationBlock(VerificationDisplay::compute(history, subset, FormulaKind{1, true}, false,
                                                            VerificationMode::Canshu, 1));
    EXPECT_EQ(text(model, 0, 4), "4");
    EXPECT_EQ(colour(model, 0, 4), kBlue);
    EXPECT_EQ(colour(model, 1, 4), kBlue);
    EXPECT_EQ(colour(model, 2, 4), kGreen);
    EXPECT_FALSE(background(model, 3, 4).isValid()); // the coming draw's prediction

    // A new history snapshot drops the columns; so does an empty subset.
    model.setDraws(&draws);
    EXPECT_EQ(model.columnCount(), 4);
    model.setVerificationBlock(VerificationDisplay::compute(history, subset, FormulaKind{1, true}, false,
                                                            VerificationMode::Canshu, 1));
    model.setVerificationBlock(
        VerificationDisplay::compute(history, {}, FormulaKind{1, true}, false, VerificationMode::Canshu, 1));
    EXPECT_EQ(model.columnCount(), 4);
    // A block over other draws is not shown.
    model.setVerificationBlock(VerificationDisplay::compute(HistoryColumns(numbers({{1, 1, 1}})), subset,
                                                            FormulaKind{1, true}, false,
                                                            VerificationMode::Canshu, 1));
    EXPECT_EQ(model.columnCount(), 4);
}

TEST(HistoryGridVerification, ScrollingPagesBlocksWhoseHeadersNameTheirFormulas)
{
    const std::vector<DrawRecord> draws = numbers({{1, 2, 3}, {4, 5, 6}});
    const HistoryColumns history(draws);
    HistoryGridModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setDraws(&draws);
    const std::vector<CompiledFormula> subset = constants(1234);
    EXPECT_EQ(VerificationBlock::scrollMaximum(int(subset.size())), 1001);

    model.setVerificationBlock(VerificationDisplay::compute(history, subset, FormulaKind{1, true}, true,
                                                            VerificationMode::Canshu, 1));
    ASSERT_EQ(model.columnCount(), 504);
    EXPECT_EQ(header(model, 4 + 98), QStringLiteral("公式99"));
    EXPECT_EQ(header(model, 4 + 99), QStringLiteral("式100"));
    EXPECT_EQ(header(model, 503), QStringLiteral("式500"));

    for (int value : {501, 1001, 1, 1001}) {
        model.setVerificationBlock(VerificationDisplay::compute(history, subset, FormulaKind{1, true}, true,
                                                                VerificationMode::Canshu, value));
        const int count = value == 1001 ? 234 : 500;
        ASSERT_EQ(model.columnCount(), 4 + count) << value;
        for (int i : {0, 7, count - 1}) {
            const int n = value + i; // the formula whose number heads the column
            EXPECT_EQ(header(model, 4 + i), VerificationBlock::header(n));
            // Formula n is the constant n: its prediction shows it really is formula n.
            EXPECT_EQ(text(model, 1, 4 + i), QString::number((n - 1) % 6 + 1)) << value << " " << i;
        }
    }
}

// --- "历史开奖列表" ---------------------------------------------------------------------------

TEST(PositionHistoryWindow, ShowsTheRowsAndRefillsForAnotherPosition)
{
    TempDataFolder dir;
    PositionHistoryWindow window(exampleRanking(), 2, false, dir.path()); // 十位通选
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QAbstractItemModelTester tester(window.model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("历史开奖列表"));
    QStringList frames;
    for (const QGroupBox* g : window.findChildren<QGroupBox*>())
        frames << g->title();
    EXPECT_TRUE(frames.contains(QStringLiteral("玩法选择")));
    EXPECT_TRUE(frames.contains(QStringLiteral("码位")));
    EXPECT_TRUE(child<QRadioButton>(&window, QStringLiteral("通选"))->isChecked());
    EXPECT_FALSE(child<QRadioButton>(&window, QStringLiteral("单选"))->isChecked());
    EXPECT_TRUE(child<QRadioButton>(&window, QStringLiteral("十位"))->isChecked());

    const PositionHistoryModel& m = *window.model();
    ASSERT_EQ(m.rowCount(), 2);
    ASSERT_EQ(m.columnCount(), 27 + 8);
    EXPECT_EQ(header(m, 0), QStringLiteral("期号"));
    EXPECT_EQ(header(m, 27), QStringLiteral("0次"));
    EXPECT_EQ(header(m, 34), QStringLiteral("7次"));
    EXPECT_EQ(text(m, 0, 1), "5 3 ");
    EXPECT_EQ(text(m, 0, 2), "5 6 ");
    EXPECT_EQ(colour(m, 0, 7 + 4), kBlue);
    EXPECT_EQ(colour(m, 0, 17 + 5), kBlue);
    EXPECT_FALSE(background(m, 0, 7 + 1).isValid());

    // 百位 chosen in 码位 and queried: all three numbers, 位次 by the 百位 number.
    child<QRadioButton>(&window, QStringLiteral("百位"))->click();
    child<QPushButton>(&window, QStringLiteral("查询该位该类对应号历史排序结果"))->click();
    EXPECT_EQ(window.comparedPosition(), 3);
    EXPECT_EQ(text(m, 0, 1), "2 5 3 ");
    EXPECT_EQ(text(m, 0, 2), "2 5 6 ");
    EXPECT_EQ(text(m, 0, 5), "1");
    EXPECT_EQ(text(m, 0, 6), "2");

    // A new build keeps the window and takes the main window's position and mode.
    window.setRanking(exampleRanking(), 1, true);
    EXPECT_TRUE(child<QRadioButton>(&window, QStringLiteral("单选"))->isChecked());
    EXPECT_TRUE(child<QRadioButton>(&window, QStringLiteral("个位"))->isChecked());
    EXPECT_EQ(text(m, 0, 1), "3");
    EXPECT_EQ(text(m, 1, 1), "6");
}

TEST(PositionHistoryWindow, ExportsPrintAndJieguo)
{
    TempDataFolder dir;
    MessageBoxes::clearShownTexts();
    PositionHistoryWindow window(exampleRanking(), 1, true, dir.path());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    child<QPushButton>(&window, QStringLiteral("查询结果导出(&O)"))->click();
    EXPECT_TRUE(QFile::exists(dir.file("Print.xlsx")));
    EXPECT_FALSE(QFile::exists(dir.file("Jieguo.xlsx")));
    QTableView* grid = window.grid();
    const QPoint cell = grid->visualRect(window.model()->index(0, 1)).center();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell);
    EXPECT_FALSE(QFile::exists(dir.file("Jieguo.xlsx"))); // a single click exports nothing
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell);
    EXPECT_TRUE(QFile::exists(dir.file("Jieguo.xlsx")));
    EXPECT_TRUE(MessageBoxes::shownTexts().isEmpty());
}

TEST(PastRankingTask, AsksFirstAndBuildsOnlyWhenAccepted)
{
    MessageBoxes::clearAnswers();
    MessageBoxes::clearShownTexts();
    const std::vector<DrawRecord> draws = numbers({{1, 2, 3}, {4, 5, 6}});
    const HistoryColumns history(draws);
    std::vector<FormulaRecord> formulas(3);
    formulas[0].gongshi = "4";
    formulas[1].gongshi = "4";
    formulas[2].gongshi = "1";
    std::vector<PastRankingDraw> out;

    MessageBoxes::pushAnswer(false);
    EXPECT_FALSE(PastRankingTask::run(nullptr, draws, history, formulas, {true, true, true}, true, &out));
    EXPECT_TRUE(out.empty());
    ASSERT_EQ(MessageBoxes::shownTexts().size(), 1);
    EXPECT_EQ(MessageBoxes::shownTexts().first(), PastRanking::confirmText());

    MessageBoxes::pushAnswer(true);
    ASSERT_TRUE(PastRankingTask::run(nullptr, draws, history, formulas, {true, false, true}, true, &out));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[1].ranking[4], (RankedNumber{1, 1}));
    EXPECT_EQ(out[1].ranking[5], (RankedNumber{4, 1}));
    EXPECT_EQ(MessageBoxes::pendingAnswers(), 0);
}

// --- "公式计算步骤" ---------------------------------------------------------------------------

TEST(CalculationStepsWindow, ShowsEveryDrawsStepsAndExportsOnClick)
{
    TempDataFolder dir;
    MessageBoxes::clearShownTexts();
    std::vector<DrawRecord> draws = numbers({{3, 3, 5}, {1, 2, 6}});
    const HistoryColumns history(draws);
    CalculationStepsWindow window(dir.path());
    window.setFormula("L1A*L2A-(L3A MOD 4)", QStringLiteral("百位码*十位码-(个位码 MOD 4)"), draws, history);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.objectName(), "frmGsbz");
    EXPECT_EQ(window.windowTitle(), QStringLiteral("公式计算步骤"));
    EXPECT_EQ(window.grid()->toolTip(), QStringLiteral("双击该表可以导出到Excel"));

    const CalculationStepsModel& m = *window.model();
    QAbstractItemModelTester tester(window.model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    ASSERT_EQ(m.rowCount(), 2);
    ASSERT_EQ(m.columnCount(), 4);
    EXPECT_EQ(header(m, 0), QStringLiteral("期号"));
    EXPECT_EQ(header(m, 1), QStringLiteral("当期号码"));
    EXPECT_EQ(header(m, 2), QStringLiteral("百位码*十位码-(个位码 MOD 4)"));
    EXPECT_EQ(header(m, 3), QStringLiteral("计算值(算下期)"));
    EXPECT_EQ(text(m, 0, 0), "160121001");
    EXPECT_EQ(text(m, 0, 1), "335");
    EXPECT_EQ(text(m, 0, 2), "3*3-(5 MOD 4)");
    EXPECT_EQ(text(m, 0, 3), "8");
    EXPECT_EQ(text(m, 1, 2), "1*2-(6 MOD 4)");
    EXPECT_EQ(text(m, 1, 3), "0");

    // As the tooltip says: a single click only selects, a double click writes the workbook.
    EXPECT_FALSE(QFile::exists(dir.file("LSJS.xlsx")));
    QTest::mouseClick(window.grid()->viewport(), Qt::LeftButton, {},
                      window.grid()->visualRect(m.index(1, 2)).center());
    EXPECT_FALSE(QFile::exists(dir.file("LSJS.xlsx")));
    QTest::mouseDClick(window.grid()->viewport(), Qt::LeftButton, {},
                       window.grid()->visualRect(m.index(1, 2)).center());
    EXPECT_TRUE(QFile::exists(dir.file("LSJS.xlsx")));
    EXPECT_TRUE(MessageBoxes::shownTexts().isEmpty());
}
