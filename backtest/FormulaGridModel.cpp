#include "backtest/FormulaGridModel.h"

#include "ui/GridExport.h"

#include <QBrush>
#include <QColor>
#include <QHash>
#include <QPalette>

#include <algorithm>

namespace {

const QColor kSelectedColor(0, 0, 255); // &HFF0000 in the grid's blue-green-red notation
const QColor kHighlightColor(0, 255, 0); // &HFF00
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

FormulaGridModel::FormulaGridModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

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
    endResetModel();
}

bool FormulaGridModel::setResults(const BacktestResult& result)
{
    if (result.cancelled || result.outcomes.size() != m_rows.size())
        return false;
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        m_rows[i].outcome = result.outcomes[i];
        m_rows[i].highlighted = false;
    }
    m_hasResults = true;
    m_totalWeight = result.totalWeight;
    m_rateStyle = RateStyle::AfterRun;
    showNextValuesOfSelected();
    emitColumnsChanged(NextValueColumn, FinalHitColumn);
    return true;
}

void FormulaGridModel::redrawResults()
{
    m_rateStyle = RateStyle::Redraw;
    showNextValuesOfSelected();
    emitColumnsChanged(NextValueColumn, FinalHitColumn);
}

void FormulaGridModel::clearResults()
{
    for (Row& r : m_rows) {
        r.outcome.reset();
        r.nextShown = false;
        r.highlighted = false;
    }
    m_hasResults = false;
    m_totalWeight = 0;
    emitColumnsChanged(NextValueColumn, FinalHitColumn);
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
    return static_cast<int>(std::count_if(m_rows.begin(), m_rows.end(), [](const Row& r) { return r.selected; }));
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

int FormulaGridModel::columnWidthTwips(int column)
{
    static const int widths[ColumnCount] = {420, 4800, 600, 420, 600, 2800, 800, 800, 800, 800, 0};
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
        return {};
    case Qt::ToolTipRole:
        if (invalid && (column == FormulaColumn || column == RateColumn))
            return QStringLiteral("无效公式：") + row.outcome->error;
        if (column == NextValueColumn && row.nextShown && row.outcome && row.outcome->nextFromEarlierDraw)
            return QStringLiteral("最新一期算不出这条公式的值（例如除以0），这是它在更早一期算出的值，"
                                  "计算公式时也按这个值投票");
        return {};
    case GridExport::TextCellRole:
        return column == FormulaColumn; // a formula may be a bare constant such as "13"
    case Qt::TextAlignmentRole:
        return column == FormulaColumn || column == RateColumn ? QVariant(int(Qt::AlignLeft | Qt::AlignVCenter))
                                                               : QVariant(int(Qt::AlignCenter));
    default:
        return {};
    }
}

QVariant FormulaGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case NumberColumn: return QStringLiteral("序号");
    case FormulaColumn: return QStringLiteral("公式");
    case KindColumn: return QStringLiteral("种类");
    case SenseColumn: return QStringLiteral("生杀");
    case NextValueColumn: return QStringLiteral("计算值");
    case RateColumn: return m_weightedRate ? QStringLiteral("正确率（加权算法）") : QStringLiteral("正确率");
    case MaxMissColumn: return QStringLiteral("最大连错");
    case MaxHitColumn: return QStringLiteral("最大连对");
    case FinalMissColumn: return QStringLiteral("最后连错");
    case FinalHitColumn: return QStringLiteral("最后连对");
    case IdxColumn: return QString();
    default: return {};
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
