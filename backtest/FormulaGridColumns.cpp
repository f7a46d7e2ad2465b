#include "backtest/FormulaGridColumns.h"

#include "backtest/FormulaGridModel.h"
#include "ui/GridColumns.h"

#include <QEvent>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>

namespace {

bool isRateColumn(int column)
{
    return column == FormulaGridModel::RateColumn || column == FormulaGridModel::HoldOutRateColumn;
}

} // namespace

FormulaGridColumns::FormulaGridColumns(QTableView* view) : QStyledItemDelegate(view), m_view(view)
{
    m_view->setItemDelegate(this);
    m_view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_view->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_view->horizontalHeader()->setStretchLastSection(false);
    m_view->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_view->viewport()->installEventFilter(this);
}

QString FormulaGridColumns::shortRate(const QString& rateText)
{
    const qsizetype open = rateText.indexOf(QStringLiteral(" ("));
    return open > 0 && rateText.endsWith(QLatin1Char(')')) ? rateText.left(open) : rateText;
}

int FormulaGridColumns::formulaMinimumWidth() const
{
    // CJK characters are the widest a formula holds: 24 of them always fit.
    return m_view->fontMetrics().horizontalAdvance(QString(24, QChar(0x548C))) + 12;
}

void FormulaGridColumns::apply()
{
    const QFontMetrics metrics(m_view->font());
    GridColumns::apply(m_view, [&metrics](int c) {
        switch (c) {
        case FormulaGridModel::KindColumn:
            return metrics.horizontalAdvance(QStringLiteral("十位通选")) + 12;
        case FormulaGridModel::RateColumn:
            return metrics.horizontalAdvance(QStringLiteral("100.0000%")) + 12;
        case FormulaGridModel::HoldOutRateColumn:
            return metrics.horizontalAdvance(QStringLiteral("100.00%")) + 12;
        case FormulaGridModel::FormulaColumn:
            return 0; // fitted below
        default:
            // The figures' own texts decide (fitNumbers), never less than the caption.
            return metrics.horizontalAdvance(QStringLiteral("+88.88")) + 12;
        }
    });
    GridColumns::fitNumbers(m_view, {FormulaGridModel::NumberColumn, FormulaGridModel::NextValueColumn,
                                     FormulaGridModel::MaxMissColumn, FormulaGridModel::MaxHitColumn,
                                     FormulaGridModel::FinalMissColumn, FormulaGridModel::FinalHitColumn,
                                     FormulaGridModel::EquivalentColumn});
    fitFormulaColumn();
}

void FormulaGridColumns::fitFormulaColumn()
{
    const QAbstractItemModel* model = m_view->model();
    if (!model)
        return;
    int others = 0;
    for (int c = 0; c < model->columnCount(); ++c)
        if (c != FormulaGridModel::FormulaColumn && !m_view->isColumnHidden(c))
            others += m_view->columnWidth(c);
    const int wished = m_view->viewport()->width() - others;
    const int width = std::max(formulaMinimumWidth(), wished);
    if (m_view->columnWidth(FormulaGridModel::FormulaColumn) != width)
        m_view->setColumnWidth(FormulaGridModel::FormulaColumn, width);
}

void FormulaGridColumns::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (isRateColumn(index.column()))
        option->text = shortRate(option->text);
}

bool FormulaGridColumns::eventFilter(QObject* watched, QEvent* event)
{
    // The viewport is watched only for its size; the delegate's own filter is for editors.
    if (watched == m_view->viewport()) {
        if (event->type() == QEvent::Resize)
            fitFormulaColumn();
        return false;
    }
    return QStyledItemDelegate::eventFilter(watched, event);
}

std::vector<GridExport::Column> FormulaGridColumns::exportColumns() const
{
    std::vector<GridExport::Column> columns;
    const QAbstractItemModel* model = m_view->model();
    for (int c = 0; model && c < model->columnCount(); ++c) {
        if (m_view->isColumnHidden(c))
            continue;
        const QString header = model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        if (!isRateColumn(c)) {
            columns.push_back({c, header, {}});
            continue;
        }
        columns.push_back({c, header, &FormulaGridColumns::shortRate});
        // "85.3300% (256/300)" -> "256/300"; an invalid formula's message stays in the rate column.
        columns.push_back({c, header + QStringLiteral("（对/总）"),
                           [](const QString& text) {
                               const QString rate = shortRate(text);
                               return rate == text ? QString() : text.mid(rate.size() + 2).chopped(1);
                           },
                           true});
    }
    return columns;
}
