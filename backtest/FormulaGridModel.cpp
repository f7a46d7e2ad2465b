#include "backtest/FormulaGridModel.h"

#include "ui/GridExport.h"

#include <QBrush>
#include <QColor>
#include <QHash>
#include <QPalette>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace {

const QColor kSelectedColor(0, 0, 255);    // &HFF0000 in the grid's blue-green-red notation
const QColor kHighlightColor(0, 255, 0);   // &HFF00
const QColor kSignificantColor(0, 128, 0); // p below 0.01 with a positive excess
constexpr double kSignificantP = 0.01;
// q values are read at the level the summary uses.
constexpr double kSignificantQ = 0.05;
// After a 计算值 that comes from an earlier draw because the newest gives the formula no value.
const QString kEarlierDrawMark = QStringLiteral("*");

// "00.0000": at least two integer digits, exactly four decimals.
QString fixedRate(float rate)
{
    QString text = QString::number(double(rate), 'f', 4);
    const qsizetype point = text.indexOf(QLatin1Char('.'));
    if (point == 1)
        text.prepend(QLatin1Char('0'));
    return text;
}

// The general form of a single-precision value: up to seven significant digits, no trailing zeros.
QString generalRate(float rate)
{
    return QString::number(double(rate), 'g', 7);
}

} // namespace

FormulaGridModel::FormulaGridModel(QObject* parent) : QAbstractTableModel(parent) {}

void FormulaGridModel::setFormulas(const FormulaKind& kind, std::vector<FormulaRecord> formulas)
{
    beginResetModel();
    m_kind = kind;
    m_rows.clear();
    m_rows.reserve(formulas.size());
    for (FormulaRecord& f : formulas) {
        Row row;
        row.record = std::move(f);
        m_rows.push_back(std::move(row));
    }
    m_hasResults = false;
    m_totalWeight = 0;
    indexRows();
    endResetModel();
}

void FormulaGridModel::refillFormulas(std::vector<FormulaRecord> formulas)
{
    QHash<qint64, Row> previous;
    for (Row& r : m_rows)
        previous.insert(r.record.rowId, std::move(r));
    beginResetModel();
    m_rows.clear();
    m_rows.reserve(formulas.size());
    for (FormulaRecord& f : formulas) {
        Row row = previous.value(f.rowId, Row{});
        row.record = std::move(f);
        m_rows.push_back(std::move(row));
    }
    indexRows();
    endResetModel();
}

void FormulaGridModel::indexRows()
{
    m_rowOfId.clear();
    m_rowOfId.reserve(qsizetype(m_rows.size()));
    for (std::size_t i = 0; i < m_rows.size(); ++i)
        m_rowOfId.insert(m_rows[i].record.rowId, int(i));
}

bool FormulaGridModel::setResults(const BacktestResult& result, const std::vector<int>& firstEquivalent)
{
    if (result.cancelled || result.outcomes.size() != m_rows.size())
        return false;
    const bool withEquivalents = firstEquivalent.size() == m_rows.size();
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        m_rows[i].outcome = result.outcomes[i];
        m_rows[i].highlighted = false;
        const int first = withEquivalents ? firstEquivalent[i] : -1;
        m_rows[i].equivalentRowId =
            first >= 0 && first < int(m_rows.size()) ? m_rows[std::size_t(first)].record.rowId : -1;
    }
    m_hasResults = true;
    m_totalWeight = result.totalWeight;
    m_heldOut = result.heldOut;
    m_rateStyle = RateStyle::AfterRun;
    showNextValuesOfSelected();
    emitColumnsChanged(NextValueColumn, EquivalentColumn);
    return true;
}

void FormulaGridModel::redrawResults()
{
    m_rateStyle = RateStyle::Redraw;
    showNextValuesOfSelected();
    emitColumnsChanged(NextValueColumn, EquivalentColumn);
}

void FormulaGridModel::clearResults()
{
    for (Row& r : m_rows) {
        r.outcome.reset();
        r.equivalentRowId = -1;
        r.nextShown = false;
        r.highlighted = false;
    }
    m_hasResults = false;
    m_totalWeight = 0;
    m_heldOut = 0;
    emitColumnsChanged(NextValueColumn, EquivalentColumn);
}

void FormulaGridModel::setChineseMode(bool on)
{
    m_chineseMode = on;
    emitColumnsChanged(FormulaColumn, FormulaColumn);
}

void FormulaGridModel::setWeightedRate(bool on)
{
    if (m_weightedRate == on)
        return;
    m_weightedRate = on;
    emit headerDataChanged(Qt::Horizontal, RateColumn, RateColumn);
}

void FormulaGridModel::inIdxOrder(std::vector<FormulaRecord>* formulas, std::vector<bool>* selected) const
{
    std::vector<int> rows(m_rows.size());
    std::iota(rows.begin(), rows.end(), 0);
    std::sort(rows.begin(), rows.end(), [this](int a, int b) { return idxAt(a) < idxAt(b); });
    for (int r : rows) {
        formulas->push_back(formulaAt(r));
        selected->push_back(isSelected(r));
    }
}

std::vector<bool> FormulaGridModel::selectedFlags() const
{
    std::vector<bool> flags;
    flags.reserve(m_rows.size());
    for (const Row& r : m_rows)
        flags.push_back(r.selected);
    return flags;
}

void FormulaGridModel::setSelectedFlags(const std::vector<bool>& flags)
{
    for (std::size_t i = 0; i < m_rows.size() && i < flags.size(); ++i)
        m_rows[i].selected = flags[i];
    emitColumnsChanged(NumberColumn, NumberColumn);
}

bool FormulaGridModel::isSelected(int row) const
{
    return row >= 0 && row < rowCount() && m_rows[row].selected;
}

void FormulaGridModel::setSelected(int row, bool selected)
{
    if (row < 0 || row >= rowCount())
        return;
    m_rows[row].selected = selected;
    emit dataChanged(index(row, NumberColumn), index(row, NumberColumn));
}

void FormulaGridModel::toggleSelected(int row)
{
    setSelected(row, !isSelected(row));
}

void FormulaGridModel::selectAll()
{
    for (Row& r : m_rows)
        r.selected = true;
    emitColumnsChanged(NumberColumn, NumberColumn);
}

void FormulaGridModel::invertSelection()
{
    for (Row& r : m_rows)
        r.selected = !r.selected;
    emitColumnsChanged(NumberColumn, NumberColumn);
}

int FormulaGridModel::selectedCount() const
{
    return static_cast<int>(
        std::count_if(m_rows.begin(), m_rows.end(), [](const Row& r) { return r.selected; }));
}

void FormulaGridModel::highlightSameNextValue(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    // Every row shows the current kind, so the kinds always agree; the values decide, whichever
    // draw they come from.
    auto shownValue = [](const Row& r) {
        return r.nextShown && r.outcome ? r.outcome->nextValue : std::optional<int>();
    };
    const std::optional<int> value = shownValue(m_rows[row]);
    for (Row& r : m_rows)
        r.highlighted = shownValue(r) == value;
    emitColumnsChanged(NextValueColumn, NextValueColumn);
}

void FormulaGridModel::clearHighlight()
{
    for (Row& r : m_rows)
        r.highlighted = false;
    emitColumnsChanged(NextValueColumn, NextValueColumn);
}

const FormulaOutcome* FormulaGridModel::outcomeAt(int row) const
{
    if (row < 0 || row >= rowCount() || !m_rows[row].outcome)
        return nullptr;
    return &*m_rows[row].outcome;
}

FormulaFigures FormulaGridModel::figuresAt(int row) const
{
    FormulaFigures f;
    if (row < 0 || row >= rowCount())
        return f;
    f.idx = m_rows[row].record.idx;
    if (const FormulaOutcome* o = outcomeAt(row)) {
        f.rate = o->stats.rate;
        f.maxMissRun = o->stats.maxMissRun;
        f.maxHitRun = o->stats.maxHitRun;
        f.finalMissRun = o->stats.finalMissRun;
        f.finalHitRun = o->stats.finalHitRun;
        f.pValue = o->chance.p.value_or(1.0);
        f.excess = o->chance.excess;
    }
    return f;
}

int FormulaGridModel::equivalentRow(int row) const
{
    if (row < 0 || row >= rowCount() || m_rows[row].equivalentRowId < 0)
        return -1;
    return m_rowOfId.value(m_rows[row].equivalentRowId, -1);
}

QString FormulaGridModel::chanceRateText(double chanceRate)
{
    // "00.00%": at least two integer digits, two decimals.
    QString text = QString::number(chanceRate, 'f', 2);
    if (text.indexOf(QLatin1Char('.')) == 1)
        text.prepend(QLatin1Char('0'));
    return text + QLatin1Char('%');
}

QString FormulaGridModel::excessText(double excess)
{
    // Signed, two decimals; a value that rounds to 0 reads "+0.00", never "-0.00".
    const double rounded = std::round(excess * 100) / 100;
    if (rounded == 0)
        return QStringLiteral("+0.00");
    return (rounded > 0 ? QStringLiteral("+") : QString()) + QString::number(rounded, 'f', 2);
}

QString FormulaGridModel::pValueText(double p)
{
    return p < 0.001 ? QStringLiteral("<0.001") : QString::number(p, 'f', 3);
}

QString FormulaGridModel::holdOutRateText(const ChanceFigures& holdOut)
{
    return QStringLiteral("%1% (%2/%3)")
        .arg(holdOut.plainRate(), 0, 'f', 2)
        .arg(holdOut.hits)
        .arg(holdOut.tested);
}

int FormulaGridModel::columnWidthTwips(int column)
{
    static const int widths[ColumnCount] = {420, 4800, 600, 420, 600, 2800, 800, 800, 800,
                                            800, 900,  800, 800, 800, 1600, 800, 600, 0};
    return column >= 0 && column < ColumnCount ? widths[column] : 0;
}

QString FormulaGridModel::rateText(const FormulaStats& stats, RateStyle style)
{
    return (style == RateStyle::AfterRun ? fixedRate(stats.rate) : generalRate(stats.rate)) +
           QStringLiteral("% (%1/%2)").arg(stats.weightedHits).arg(stats.totalWeight);
}

int FormulaGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int FormulaGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString FormulaGridModel::displayText(const Row& row, int column) const
{
    const FormulaOutcome* o = row.outcome ? &*row.outcome : nullptr;
    switch (column) {
    case FormulaColumn:
        return m_chineseMode ? row.record.gongshiCN : row.record.gongshi;
    case KindColumn:
        return m_kind.kindText();
    case SenseColumn:
        return row.record.bolKill ? QStringLiteral("杀") : QStringLiteral("生");
    case NextValueColumn:
        if (!o || !row.nextShown)
            return QString();
        return o->nextFromEarlierDraw && o->nextValue ? o->nextText() + kEarlierDrawMark : o->nextText();
    case RateColumn:
        if (!o)
            return QString();
        return o->valid ? rateText(o->stats, m_rateStyle) : QStringLiteral("无效公式：") + o->error;
    case MaxMissColumn:
        return o ? QString::number(o->stats.maxMissRun) : QString();
    case MaxHitColumn:
        return o ? QString::number(o->stats.maxHitRun) : QString();
    case FinalMissColumn:
        return o ? QString::number(o->stats.finalMissRun) : QString();
    case FinalHitColumn:
        return o ? QString::number(o->stats.finalHitRun) : QString();
    case ChanceRateColumn:
        return o && o->valid && o->chance.tested > 0 ? chanceRateText(o->chance.chanceRate) : QString();
    case ExcessColumn:
        return o && o->valid && o->chance.tested > 0 ? excessText(o->chance.excess) : QString();
    case PValueColumn:
        return o && o->chance.p ? pValueText(*o->chance.p) : QString();
    case QValueColumn:
        return o && o->q ? pValueText(*o->q) : QString();
    case HoldOutRateColumn:
        return o && o->valid && o->holdOut.tested > 0 ? holdOutRateText(o->holdOut) : QString();
    case HoldOutPColumn:
        return o && o->holdOut.p ? pValueText(*o->holdOut.p) : QString();
    case EquivalentColumn: {
        const int first = row.equivalentRowId < 0 ? -1 : m_rowOfId.value(row.equivalentRowId, -1);
        return first >= 0 ? QString::number(first + 1) : QString();
    }
    case IdxColumn:
        return QString::number(row.record.idx);
    default:
        return QString();
    }
}

QVariant FormulaGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= ColumnCount)
        return {};
    const Row& row = m_rows[index.row()];
    const int column = index.column();
    const bool invalid = row.outcome && !row.outcome->valid;
    switch (role) {
    case Qt::DisplayRole:
        return column == NumberColumn ? QString::number(index.row() + 1) : displayText(row, column);
    case Qt::BackgroundRole:
        if (column == NumberColumn)
            return row.selected ? QBrush(kSelectedColor) : QBrush(QPalette().color(QPalette::Button));
        if (column == NextValueColumn)
            return QBrush(row.highlighted ? kHighlightColor : QColor(Qt::white));
        return {};
    case Qt::ForegroundRole:
        if (column == NumberColumn && row.selected)
            return QBrush(Qt::white);
        if (column == RateColumn && invalid)
            return QBrush(Qt::red);
        if (column == PValueColumn && row.outcome && row.outcome->chance.p &&
            *row.outcome->chance.p < kSignificantP && row.outcome->chance.excess > 0)
            return QBrush(kSignificantColor);
        if (column == QValueColumn && row.outcome && row.outcome->q && *row.outcome->q < kSignificantQ &&
            row.outcome->chance.excess > 0)
            return QBrush(kSignificantColor);
        if (column == HoldOutPColumn && row.outcome && row.outcome->holdOut.p &&
            *row.outcome->holdOut.p < kSignificantP && row.outcome->holdOut.excess > 0)
            return QBrush(kSignificantColor);
        return {};
    case Qt::ToolTipRole:
        // The whole formula, however narrow its column; the rates with their "(hits/total)" part,
        // which the grid leaves out of the cell.
        if (column == FormulaColumn)
            return invalid ? displayText(row, column) + QStringLiteral("\n无效公式：") + row.outcome->error
                           : displayText(row, column);
        if (invalid && column == RateColumn)
            return QStringLiteral("无效公式：") + row.outcome->error;
        if (column == RateColumn || column == HoldOutRateColumn)
            return displayText(row, column);
        if (column == NextValueColumn && row.nextShown && row.outcome && row.outcome->nextFromEarlierDraw)
            return QStringLiteral("最新一期算不出这条公式的值（例如除以0），这是它在更早一期算出的值，"
                                  "计算公式时也按这个值投票");
        return {};
    case GridExport::TextCellRole:
        return column == FormulaColumn; // a formula may be a bare constant such as "13"
    case Qt::TextAlignmentRole:
        return column == FormulaColumn || column == RateColumn
                   ? QVariant(int(Qt::AlignLeft | Qt::AlignVCenter))
                   : QVariant(int(Qt::AlignCenter));
    default:
        return {};
    }
}

QVariant FormulaGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::ToolTipRole) {
        switch (section) {
        case ChanceRateColumn:
            return QStringLiteral("纯凭运气（骰子随机）时这个公式的正确率");
        case ExcessColumn:
            return QStringLiteral("正确率比机会率高出多少（百分点），负数表示不如运气");
        case PValueColumn:
            return QStringLiteral(
                "纯凭运气也能达到这样正确率的可能性；越小越不像运气，小于0.01且超出为正时显示绿色");
        case QValueColumn:
            return QStringLiteral(
                "校正多重比较后的p值：同时检验了许多公式，总有一些靠运气显得很好；q值小于0.05的"
                "公式里，靠运气混进来的平均不到5%。小于0.05且超出为正时显示绿色");
        case HoldOutRateColumn:
            return QStringLiteral("留出检验：在统计时没有用到的最新几期上的正确率（每期不加权），"
                                  "括号中为正确期数/留出期数");
        case HoldOutPColumn:
            return QStringLiteral("留出期上纯凭运气也能达到这样正确率的可能性；越小越不像运气，"
                                  "小于0.01且高于机会率时显示绿色");
        case EquivalentColumn:
            return QStringLiteral("每一期预测都和它相同的、排在最前面的公式的序号");
        default:
            return {};
        }
    }
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case NumberColumn:
        return QStringLiteral("序号");
    case FormulaColumn:
        return QStringLiteral("公式");
    case KindColumn:
        return QStringLiteral("种类");
    case SenseColumn:
        return QStringLiteral("生杀");
    case NextValueColumn:
        return QStringLiteral("计算值");
    case RateColumn:
        return m_weightedRate ? QStringLiteral("正确率（加权算法）") : QStringLiteral("正确率");
    case MaxMissColumn:
        return QStringLiteral("最大连错");
    case MaxHitColumn:
        return QStringLiteral("最大连对");
    case FinalMissColumn:
        return QStringLiteral("最后连错");
    case FinalHitColumn:
        return QStringLiteral("最后连对");
    case ChanceRateColumn:
        return QStringLiteral("机会率");
    case ExcessColumn:
        return QStringLiteral("超出");
    case PValueColumn:
        return QStringLiteral("p值");
    case QValueColumn:
        return QStringLiteral("q值");
    case HoldOutRateColumn:
        return QStringLiteral("留出正确率");
    case HoldOutPColumn:
        return QStringLiteral("留出p值");
    case EquivalentColumn:
        return QStringLiteral("等价");
    case IdxColumn:
        return QString();
    default:
        return {};
    }
}

void FormulaGridModel::showNextValuesOfSelected()
{
    for (Row& r : m_rows)
        r.nextShown = r.selected;
}

void FormulaGridModel::emitColumnsChanged(int first, int last)
{
    if (!m_rows.empty())
        emit dataChanged(index(0, first), index(rowCount() - 1, last));
}

std::vector<int> FormulaGridModel::rowsSortedBy(int column) const
{
    const int rows = rowCount();
    std::vector<int> order(rows);
    std::iota(order.begin(), order.end(), 0);
    // Ascending by the figure of the last back-test, but the excess descending (the largest first);
    // formulas without figures first, ties by idx. A formula without a p value counts as 1.
    auto key = [&](int row) -> double {
        const FormulaOutcome* o = outcomeAt(row);
        if (!o)
            return -std::numeric_limits<double>::infinity();
        switch (column) {
        case FormulaGridModel::ExcessColumn:
            return -o->chance.excess;
        case FormulaGridModel::PValueColumn:
            return o->chance.p.value_or(1.0);
        case FormulaGridModel::QValueColumn:
            return o->q.value_or(1.0);
        case FormulaGridModel::RateColumn:
            return o->stats.rate;
        case FormulaGridModel::MaxMissColumn:
            return o->stats.maxMissRun;
        case FormulaGridModel::MaxHitColumn:
            return o->stats.maxHitRun;
        case FormulaGridModel::FinalMissColumn:
            return o->stats.finalMissRun;
        default:
            return o->stats.finalHitRun;
        }
    };
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const double ka = key(a), kb = key(b);
        return ka != kb ? ka < kb : idxAt(a) < idxAt(b);
    });
    return order;
}
