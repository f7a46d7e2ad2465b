#include "backtest/FormulaGridModel.h"
#include "backtest/BacktestEngine.h"
#include "backtest/BacktestRunner.h"
#include "history/HistoryColumns.h"

#include <QAbstractItemModelTester>
#include <QBrush>
#include <QColor>
#include <gtest/gtest.h>

namespace {

FormulaRecord formula(qint64 rowId, int idx, const char* code, const char* chinese, bool kill = true)
{
    FormulaRecord r;
    r.rowId = rowId;
    r.idx = idx;
    r.gongshi = QString::fromUtf8(code);
    r.gongshiCN = QString::fromUtf8(chinese);
    r.bolKill = kill;
    return r;
}

QString text(const FormulaGridModel& m, int row, int column)
{
    return m.data(m.index(row, column), Qt::DisplayRole).toString();
}

QColor background(const FormulaGridModel& m, int row, int column)
{
    return m.data(m.index(row, column), Qt::BackgroundRole).value<QBrush>().color();
}

// Draws with only the three numbers set.
HistoryColumns numbers(const std::vector<std::array<int, 3>>& draws)
{
    std::vector<DrawRecord> records(draws.size());
    for (std::size_t i = 0; i < draws.size(); ++i)
        for (int p = 0; p < 3; ++p)
            records[i].values[p] = static_cast<int16_t>(draws[i][p]);
    return HistoryColumns(records);
}

struct Grid
{
    FormulaGridModel model;
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
    std::vector<FormulaRecord> records;

    // Shows the formulas and back-tests them over the draws (keep sense, 个位单选, all draws).
    BacktestResult show(std::vector<FormulaRecord> formulas, const HistoryColumns& history,
                        bool weighted = true)
    {
        records = formulas;
        model.setFormulas(FormulaKind{1, true}, std::move(formulas));
        BacktestOptions o;
        o.lookBackDraws = 0;
        o.weighted = weighted;
        const BacktestResult r =
            BacktestEngine::run(history, BacktestRunner::compileAll(records), FormulaKind{1, true}, false, o);
        EXPECT_TRUE(model.setResults(r));
        return r;
    }
};

const std::vector<std::array<int, 3>> kDraws = {{1, 1, 1}, {1, 1, 5}, {1, 1, 3}, {1, 1, 3}};

} // namespace

TEST(FormulaGridModel, HeadersAndWidths)
{
    FormulaGridModel m;
    EXPECT_EQ(m.columnCount(), 18);
    const QStringList expected = {
        "序号",     "公式",     "种类",       "生杀",     "计算值", "正确率（加权算法）",
        "最大连错", "最大连对", "最后连错",   "最后连对", "机会率", "超出",
        "p值",      "q值",      "留出正确率", "留出p值",  "等价",   ""};
    for (int c = 0; c < 18; ++c)
        EXPECT_EQ(m.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(), expected[c]) << c;
    m.setWeightedRate(false);
    EXPECT_EQ(m.headerData(5, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("正确率"));
    EXPECT_EQ(FormulaGridModel::columnWidthTwips(1), 4800);
    EXPECT_EQ(FormulaGridModel::columnWidthTwips(5), 2800);
    EXPECT_EQ(FormulaGridModel::columnWidthTwips(FormulaGridModel::IdxColumn), 0);
    for (int c = FormulaGridModel::ChanceRateColumn; c <= FormulaGridModel::EquivalentColumn; ++c) {
        EXPECT_TRUE(FormulaGridModel::isChanceColumn(c));
        EXPECT_GT(FormulaGridModel::columnWidthTwips(c), 0);
        EXPECT_FALSE(m.headerData(c, Qt::Horizontal, Qt::ToolTipRole).toString().isEmpty());
    }
    EXPECT_FALSE(FormulaGridModel::isChanceColumn(FormulaGridModel::FinalHitColumn));
    EXPECT_FALSE(FormulaGridModel::isChanceColumn(FormulaGridModel::IdxColumn));
    EXPECT_EQ(FormulaGridModel::columnWidthPixels(0), 28);
}

TEST(FormulaGridModel, RowsOfTheSubsetAllSelected)
{
    FormulaGridModel m;
    QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::Fatal);
    std::vector<FormulaRecord> fs;
    for (int i = 0; i < 5; ++i)
        fs.push_back(formula(i + 1, 2 * i + 3, "L1A+LT+3", "百位码+跨度+3"));
    fs[4].bolKill = false;
    m.setFormulas(FormulaKind{2, false}, fs);
    ASSERT_EQ(m.rowCount(), 5);
    EXPECT_EQ(text(m, 0, 0), "1");
    EXPECT_EQ(text(m, 4, 0), "5");
    EXPECT_EQ(text(m, 4, FormulaGridModel::IdxColumn), "11");
    EXPECT_EQ(text(m, 0, 1), QStringLiteral("百位码+跨度+3"));
    EXPECT_EQ(text(m, 0, 2), QStringLiteral("十位通选"));
    EXPECT_EQ(text(m, 0, 3), QStringLiteral("杀"));
    EXPECT_EQ(text(m, 4, 3), QStringLiteral("生"));
    EXPECT_EQ(text(m, 0, 5), "");
    EXPECT_EQ(m.selectedCount(), 5);
    EXPECT_EQ(background(m, 2, 0), QColor(0, 0, 255));
    EXPECT_EQ(background(m, 2, 4), QColor(Qt::white));
    m.setChineseMode(false);
    EXPECT_EQ(text(m, 0, 1), "L1A+LT+3");

    m.toggleSelected(2);
    EXPECT_FALSE(m.isSelected(2));
    EXPECT_NE(background(m, 2, 0), QColor(0, 0, 255));
    m.invertSelection();
    EXPECT_EQ(m.selectedFlags(), (std::vector<bool>{false, false, true, false, false}));
    m.invertSelection();
    m.invertSelection();
    EXPECT_EQ(m.selectedCount(), 1);
    m.selectAll();
    EXPECT_EQ(m.selectedCount(), 5);
    // Loading the subset again selects everything.
    m.setSelectedFlags({false, true, false, true, false});
    m.setFormulas(FormulaKind{2, false}, fs);
    EXPECT_EQ(m.selectedCount(), 5);
}

TEST(FormulaGridModel, ScrollsToTheLastRowFromThirtyGridRows)
{
    FormulaGridModel m;
    m.setFormulas(FormulaKind{1, true}, std::vector<FormulaRecord>(28, formula(1, 1, "L1A", "x")));
    EXPECT_FALSE(m.scrollsToLastRow());
    m.setFormulas(FormulaKind{1, true}, std::vector<FormulaRecord>(29, formula(1, 1, "L1A", "x")));
    EXPECT_TRUE(m.scrollsToLastRow());
}

TEST(FormulaGridModel, RateTexts)
{
    FormulaStats s;
    s.weightedHits = 256;
    s.totalWeight = 300;
    s.rate = static_cast<float>(256.0 / 300 * 100);
    EXPECT_EQ(FormulaGridModel::rateText(s, FormulaGridModel::RateStyle::AfterRun), "85.3333% (256/300)");
    EXPECT_EQ(FormulaGridModel::rateText(s, FormulaGridModel::RateStyle::Redraw), "85.33334% (256/300)");
    s.rate = 5.5f;
    EXPECT_EQ(FormulaGridModel::rateText(s, FormulaGridModel::RateStyle::AfterRun).left(7), "05.5000");
    s.rate = 100;
    EXPECT_EQ(FormulaGridModel::rateText(s, FormulaGridModel::RateStyle::AfterRun).left(8), "100.0000");
    EXPECT_EQ(FormulaGridModel::rateText(s, FormulaGridModel::RateStyle::Redraw).left(4), "100%");
    s = FormulaStats{};
    EXPECT_EQ(FormulaGridModel::rateText(s, FormulaGridModel::RateStyle::AfterRun), "00.0000% (0/0)");
}

TEST(FormulaGridModel, FiguresAfterARunAndOnARedraw)
{
    Grid g;
    g.show({formula(1, 1, "3", "a"), formula(2, 2, "L1A++", "b"), formula(3, 3, "L3A/2", "c")},
           numbers(kDraws));
    const FormulaGridModel& m = g.model;
    EXPECT_EQ(text(m, 0, 5), "92.8571% (13/14)");
    EXPECT_EQ(text(m, 0, 6), "1");
    EXPECT_EQ(text(m, 0, 7), "2");
    EXPECT_EQ(text(m, 0, 8), "0");
    EXPECT_EQ(text(m, 0, 9), "2");
    EXPECT_EQ(text(m, 0, 4), "3");
    EXPECT_EQ(text(m, 2, 4), "1");
    // The invalid formula says so and shows no value.
    EXPECT_TRUE(text(m, 1, 5).startsWith(QStringLiteral("无效公式")));
    EXPECT_FALSE(m.data(m.index(1, 1), Qt::ToolTipRole).toString().isEmpty());
    EXPECT_EQ(text(m, 1, 4), "");
    EXPECT_EQ(text(m, 1, 6), "0");
    g.model.redrawResults();
    EXPECT_EQ(text(m, 0, 5), "92.85714% (13/14)");
}

TEST(FormulaGridModel, NextValuesFollowTheSelectionWhenDrawn)
{
    Grid g;
    std::vector<FormulaRecord> fs = {formula(1, 1, "3", "a"), formula(2, 2, "L3A", "b"),
                                     formula(3, 3, "10", "c")};
    g.records = fs;
    g.model.setFormulas(FormulaKind{1, true}, fs);
    g.model.setSelected(1, false);
    BacktestOptions o;
    const BacktestResult r =
        BacktestEngine::run(numbers(kDraws), BacktestRunner::compileAll(fs), FormulaKind{1, true}, false, o);
    ASSERT_TRUE(g.model.setResults(r));
    FormulaGridModel& m = g.model;
    EXPECT_EQ(text(m, 0, 4), "3");
    EXPECT_EQ(text(m, 1, 4), ""); // unselected
    // Selecting changes only the number cell until the figures are redrawn.
    m.setSelected(1, true);
    EXPECT_EQ(text(m, 1, 4), "");
    m.redrawResults();
    EXPECT_EQ(text(m, 1, 4), "3");
    // Clicking a value paints every equal value green.
    m.highlightSameNextValue(0);
    EXPECT_EQ(background(m, 0, 4), QColor(0, 255, 0));
    EXPECT_EQ(background(m, 1, 4), QColor(0, 255, 0));
    EXPECT_EQ(background(m, 2, 4), QColor(Qt::white));
    // A result that does not match the rows is refused.
    BacktestResult shorter = r;
    shorter.outcomes.pop_back();
    EXPECT_FALSE(m.setResults(shorter));
}

TEST(FormulaGridModel, RefillKeepsEachFormulasFlagAndFigures)
{
    Grid g;
    std::vector<FormulaRecord> fs = {formula(10, 1, "3", "a"), formula(11, 2, "L1A++", "b"),
                                     formula(12, 3, "5", "c")};
    g.show(fs, numbers(kDraws), false);
    g.model.setSelected(0, false);
    const QString rateOfFirst = text(g.model, 0, 5);
    std::vector<FormulaRecord> reversed(fs.rbegin(), fs.rend());
    reversed.push_back(formula(13, 4, "6", "d"));
    g.model.refillFormulas(reversed);
    g.model.redrawResults();
    EXPECT_EQ(g.model.selectedFlags(), (std::vector<bool>{true, true, false, true}));
    EXPECT_EQ(text(g.model, 2, 1), "a");
    EXPECT_EQ(text(g.model, 2, 5), "66.66666% (2/3)"); // seven digits of the single 66.666664
    EXPECT_EQ(rateOfFirst, "66.6667% (2/3)");
    EXPECT_EQ(text(g.model, 0, 0), "1");
    EXPECT_EQ(text(g.model, 3, 5), ""); // a formula new to the list has no figures yet
}

TEST(FormulaGridModel, ChanceTexts)
{
    EXPECT_EQ(FormulaGridModel::chanceRateText(500.0 / 6), "83.33%");
    EXPECT_EQ(FormulaGridModel::chanceRateText(5), "05.00%");
    EXPECT_EQ(FormulaGridModel::chanceRateText(100), "100.00%");
    EXPECT_EQ(FormulaGridModel::excessText(1.234), "+1.23");
    EXPECT_EQ(FormulaGridModel::excessText(-1.976), "-1.98");
    EXPECT_EQ(FormulaGridModel::excessText(-0.004), "+0.00");
    EXPECT_EQ(FormulaGridModel::excessText(0), "+0.00");
    EXPECT_EQ(FormulaGridModel::pValueText(0.1234), "0.123");
    EXPECT_EQ(FormulaGridModel::pValueText(0.001), "0.001");
    EXPECT_EQ(FormulaGridModel::pValueText(0.00099), "<0.001");
    EXPECT_EQ(FormulaGridModel::pValueText(1), "1.000");
}

// The chance columns after a back-test, the colour of a small p value, and the 等价 column, which
// names the first equivalent formula by its 序号 also after the rows are reordered.
TEST(FormulaGridModel, ChanceColumnsAndEquivalents)
{
    // Keep formulas of 个位单选: "3" predicts 3, right on the last two of three draws (p ≈ 0.01);
    // "9" predicts 3 as well; "L1A++" is invalid; "0" predicts 0 and is never right by chance.
    std::vector<std::array<int, 3>> draws = kDraws;
    for (int i = 0; i < 6; ++i)
        draws.push_back({1, 1, 3});
    Grid g;
    std::vector<FormulaRecord> fs = {formula(10, 1, "3", "a", false), formula(11, 2, "L1A++", "b", false),
                                     formula(12, 3, "9", "c", false), formula(13, 4, "0", "d", false)};
    g.records = fs;
    g.model.setFormulas(FormulaKind{1, true}, fs);
    BacktestOptions o;
    o.lookBackDraws = 0;
    o.weighted = false;
    const HistoryColumns h = numbers(draws);
    const BacktestResult r =
        BacktestEngine::run(h, BacktestRunner::compileAll(fs), FormulaKind{1, true}, false, o);
    ASSERT_TRUE(g.model.setResults(r, {-1, -1, 0, -1}));
    FormulaGridModel& m = g.model;
    // 8 of 9 right against a chance of 1/6.
    EXPECT_EQ(text(m, 0, FormulaGridModel::ChanceRateColumn), "16.67%");
    EXPECT_EQ(text(m, 0, FormulaGridModel::ExcessColumn), "+72.22");
    EXPECT_EQ(text(m, 0, FormulaGridModel::PValueColumn), "<0.001");
    EXPECT_EQ(m.data(m.index(0, FormulaGridModel::PValueColumn), Qt::ForegroundRole).value<QBrush>().color(),
              QColor(0, 128, 0));
    EXPECT_EQ(text(m, 2, FormulaGridModel::EquivalentColumn), "1");
    EXPECT_EQ(text(m, 0, FormulaGridModel::EquivalentColumn), "");
    // Invalid: nothing; never right by chance: chance 0, no p, no colour.
    for (int c = FormulaGridModel::ChanceRateColumn; c <= FormulaGridModel::EquivalentColumn; ++c)
        EXPECT_EQ(text(m, 1, c), "") << c;
    EXPECT_EQ(text(m, 3, FormulaGridModel::ChanceRateColumn), "00.00%");
    EXPECT_EQ(text(m, 3, FormulaGridModel::ExcessColumn), "+0.00");
    EXPECT_EQ(text(m, 3, FormulaGridModel::PValueColumn), "");
    EXPECT_FALSE(m.data(m.index(3, FormulaGridModel::PValueColumn), Qt::ForegroundRole).isValid());

    // The figures for sorting and filtering: no p counts as 1.
    EXPECT_LT(m.figuresAt(0).pValue, 0.001);
    EXPECT_NEAR(m.figuresAt(0).excess, 800.0 / 9 - 100.0 / 6, 1e-9);
    EXPECT_EQ(m.figuresAt(3).pValue, 1.0);
    EXPECT_EQ(m.figuresAt(2).idx, 3);

    // Reordered: the equivalent formula now stands in row 4, and the cell follows it.
    m.refillFormulas({fs[2], fs[1], fs[3], fs[0]});
    EXPECT_EQ(text(m, 0, FormulaGridModel::EquivalentColumn), "4");
    EXPECT_EQ(m.equivalentRow(0), 3);
    EXPECT_EQ(m.equivalentRow(3), -1);
    // A formula that went away leaves the cell empty; clearing drops the figures.
    m.refillFormulas({fs[2], fs[1]});
    EXPECT_EQ(text(m, 0, FormulaGridModel::EquivalentColumn), "");
    m.clearResults();
    EXPECT_EQ(text(m, 0, FormulaGridModel::ChanceRateColumn), "");
}
