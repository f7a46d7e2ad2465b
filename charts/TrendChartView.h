#pragma once

#include <QChartView>
#include <functional>

// A chart view of the trend charts: antialiased, light theme, Chinese captions at a readable size,
// and a tooltip with the exact value under the mouse. The view owns its chart; setChart() deletes
// the one shown before.
class TrendChartView : public QChartView
{
    Q_OBJECT
public:
    // The text shown for a mouse position inside the plot, given in the chart's values (x, y);
    // nothing shown for an empty text.
    using HoverText = std::function<QString(const QPointF& value)>;

    explicit TrendChartView(QWidget* parent = nullptr);

    // A new chart styled as every trend chart, titled `title`.
    static QChart* newChart(const QString& title);
    // Shows `chart` (taking it) and deletes the previous one.
    void replaceChart(QChart* chart);
    void setHoverText(HoverText hoverText) { m_hoverText = std::move(hoverText); }
    // The tooltip text for a position in view coordinates (tests call it without a mouse).
    QString hoverTextAt(const QPoint& position);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    HoverText m_hoverText;
};
