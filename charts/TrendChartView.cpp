#include "charts/TrendChartView.h"

#include <QChart>
#include <QGraphicsLayout>
#include <QMouseEvent>
#include <QToolTip>

TrendChartView::TrendChartView(QWidget* parent) : QChartView(parent)
{
    setRenderHint(QPainter::Antialiasing);
    setMouseTracking(true);
    setMinimumSize(240, 160);
    replaceChart(newChart(QString()));
}

QChart* TrendChartView::newChart(const QString& title)
{
    auto* chart = new QChart;
    chart->setTheme(QChart::ChartThemeLight);
    chart->setTitle(title);
    QFont titleFont = chart->titleFont();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.1);
    titleFont.setBold(true);
    chart->setTitleFont(titleFont);
    chart->setMargins(QMargins(6, 4, 6, 4));
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->setBackgroundRoundness(0);
    chart->legend()->setAlignment(Qt::AlignTop);
    chart->setAnimationOptions(QChart::NoAnimation);
    return chart;
}

void TrendChartView::replaceChart(QChart* chart)
{
    QChart* previous = this->chart();
    setChart(chart);
    if (previous && previous != chart)
        delete previous;
    m_hoverText = {};
}

QString TrendChartView::hoverTextAt(const QPoint& position)
{
    if (!m_hoverText || chart()->series().isEmpty())
        return QString();
    const QPointF scenePosition = mapToScene(position);
    const QPointF chartPosition = chart()->mapFromScene(scenePosition);
    if (!chart()->plotArea().contains(chartPosition))
        return QString();
    return m_hoverText(chart()->mapToValue(chartPosition, chart()->series().first()));
}

void TrendChartView::mouseMoveEvent(QMouseEvent* event)
{
    QChartView::mouseMoveEvent(event);
    const QString text = hoverTextAt(event->position().toPoint());
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(event->globalPosition().toPoint(), text, this);
}
