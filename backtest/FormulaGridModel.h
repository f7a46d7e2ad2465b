#pragma once

#include "backtest/BacktestEngine.h"
#include "backtest/FormulaOrdering.h"
#include "formula/FormulaKind.h"
#include "formula/FormulaRecord.h"

#include <QAbstractTableModel>
#include <QHash>
#include <optional>
#include <vector>

// The formula grid of the main window: one row per formula of the current subset, in idx order.
// Columns: 序号 (row number; blue when selected, button-face grey when not), 公式 (Chinese or code
// form by ChineseMode), 种类, 生杀, 计算值 (next-draw value of a selected formula, marked "*" when the
// newest draw gives the formula no value and it comes from an earlier draw), 正确率 with its
// "% (hits/total)" tail, 最大连错, 最大连对, 最后连错, 最后连对, the comparison with pure chance
// (机会率 "83.33%", 超出 "+1.23", p值 "0.123" or "<0.001", green below 0.01 when the excess is
// positive), q值 (the p value corrected for the many formulas tested together, green below 0.05
// when the excess is positive), with a hold-out the held-out draws' 留出正确率 "56.67% (17/30)" and 留出p值
// (empty without one), 等价 (the 序号 of the first equivalent formula, empty for the first of each group),
// and the hidden idx column. It holds the selection flags (SelectedFlags), the figures of the last
// back-test and the equivalents found with it.
class FormulaGridModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column
    {
        NumberColumn,
        FormulaColumn,
        KindColumn,
        SenseColumn,
        NextValueColumn,
        RateColumn,
        MaxMissColumn,
        MaxHitColumn,
        FinalMissColumn,
        FinalHitColumn,
        ChanceRateColumn,
        ExcessColumn,
        PValueColumn,
        QValueColumn,
        HoldOutRateColumn,
        HoldOutPColumn,
        EquivalentColumn,
        IdxColumn,
        ColumnCount
    };
    // How the rate is written: right after a back-test "00.0000"; on a redraw from memory the
    // general form of the single-precision value (up to seven significant digits).
    enum class RateStyle
    {
        AfterRun,
        Redraw
    };

    explicit FormulaGridModel(QObject* parent = nullptr);

    // AddGongshi: shows the subset of `kind`, selects every formula and drops the figures.
    void setFormulas(const FormulaKind& kind, std::vector<FormulaRecord> formulas);
    // AddGongshiZhonglei: shows the same kind's formulas again, e.g. in another order; each formula
    // keeps its flag and figures (matched by rowId), formulas not shown before are selected.
    void refillFormulas(std::vector<FormulaRecord> formulas);
    // The figures of a back-test of exactly the formulas shown, in row order; false (nothing
    // changed) when the result does not match the rows or was cancelled. The 计算值 cells show the
    // next-draw values of the formulas selected now. firstEquivalent, when given, holds per row the
    // row of the first equivalent formula or -1 (FormulaEquivalence); the 等价 cells follow those
    // formulas when the rows are reordered.
    bool setResults(const BacktestResult& result, const std::vector<int>& firstEquivalent = {});
    // AddGongshiCsZhonglei / XianshiLei: redraws the figures from memory, the rate in general form,
    // and the 计算值 cells by the current selection.
    void redrawResults();
    void clearResults();
    bool hasResults() const { return m_hasResults; }

    bool chineseMode() const { return m_chineseMode; }
    void setChineseMode(bool on);
    // The rate column is headed "正确率（加权算法）" while the weighted rate is on.
    bool weightedRate() const { return m_weightedRate; }
    void setWeightedRate(bool on);

    // SelectedFlags, one per row.
    std::vector<bool> selectedFlags() const;
    // The formulas listed and their flags in idx order, whatever order the grid shows.
    void inIdxOrder(std::vector<FormulaRecord>* formulas, std::vector<bool>* selected) const;
    void setSelectedFlags(const std::vector<bool>& flags);
    bool isSelected(int row) const;
    void setSelected(int row, bool selected);
    void toggleSelected(int row);
    void selectAll();
    void invertSelection();
    int selectedCount() const;

    // Paints the 计算值 cell green in every row whose next-draw value equals `row`'s (white elsewhere).
    void highlightSameNextValue(int row);
    void clearHighlight();

    const FormulaKind& kind() const { return m_kind; }
    const FormulaRecord& formulaAt(int row) const { return m_rows[row].record; }
    int idxAt(int row) const { return m_rows[row].record.idx; }
    // The figures of the row's formula, when a back-test has run.
    const FormulaOutcome* outcomeAt(int row) const;
    // The row's figures for sorting and filtering (zeros, and p value 1, before a back-test).
    FormulaFigures figuresAt(int row) const;
    // The rows in the order a double-click on a figure column sorts them: ascending by that figure
    // of the last back-test (the excess descending), formulas without figures first, ties by idx.
    std::vector<int> rowsSortedBy(int column) const;
    // The row of the first formula equivalent to the row's, or -1.
    int equivalentRow(int row) const;
    static bool isChanceColumn(int column)
    {
        return column >= ChanceRateColumn && column <= EquivalentColumn;
    }
    // The texts of the chance columns.
    static QString chanceRateText(double chanceRate);
    static QString excessText(double excess);
    static QString pValueText(double p);
    // "56.67% (17/30)": the hold-out's plain rate with its hits and draws.
    static QString holdOutRateText(const ChanceFigures& holdOut);
    // The draws the last back-test held out (0: none; the hold-out columns stay empty).
    int heldOut() const { return m_heldOut; }
    std::int64_t totalWeight() const { return m_totalWeight; }

    // Widths of the grid's columns in twips (1/1440 inch) and in pixels at 96 dpi; column 10 is 0.
    static int columnWidthTwips(int column);
    static int columnWidthPixels(int column) { return columnWidthTwips(column) / 15; }
    // With 30 grid rows or more (the header row included) the view shows the last row at the top.
    bool scrollsToLastRow() const { return rowCount() + 1 >= 30; }
    // The rate cell's text: "85.3300% (256/300)" or, redrawn, "85.33334% (256/300)".
    static QString rateText(const FormulaStats& stats, RateStyle style);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    struct Row
    {
        FormulaRecord record;
        bool selected = true;
        std::optional<FormulaOutcome> outcome;
        qint64 equivalentRowId = -1; // the first equivalent formula, by its rowId
        bool nextShown = false;      // the 计算值 cell is filled (the formula was selected when drawn)
        bool highlighted = false;    // the 计算值 cell is green
    };

    QString displayText(const Row& row, int column) const;
    void indexRows();
    void showNextValuesOfSelected();
    void emitColumnsChanged(int first, int last);

    FormulaKind m_kind;
    std::vector<Row> m_rows;
    QHash<qint64, int> m_rowOfId; // rowId -> row
    bool m_chineseMode = true;
    bool m_weightedRate = true;
    bool m_hasResults = false;
    RateStyle m_rateStyle = RateStyle::AfterRun;
    std::int64_t m_totalWeight = 0;
    int m_heldOut = 0;
};
