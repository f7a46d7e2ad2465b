#pragma once

#include "charts/FormulaTrend.h"
#include "charts/TrendChartPanel.h"

class TrendChartView;

// The chart of "公式走势": a formula's rolling rate over the previous M draws, the chance rate as a
// dashed line with its 95 % band shaded, and the misses marked on a strip below the rates.
class FormulaTrendCharts : public TrendChartPanel
{
    Q_OBJECT
public:
    explicit FormulaTrendCharts(QWidget* parent = nullptr);

    void setTrend(const FormulaTrend& trend);
    const FormulaTrend& trend() const { return m_trend; }
    TrendChartView* rateView() const { return m_rate; }

    // The rates' range on the vertical axis and where the strip of misses lies below it.
    struct Scale
    {
        double low = 0;    // lowest rate shown (per cent)
        double high = 0;   // highest rate shown
        double step = 0;   // between rate labels
        double stripY = 0; // the misses' height, below `low`
        double bottom = 0; // the axis' lower end
    };
    static Scale scaleFor(const FormulaTrend& trend);

private:
    FormulaTrend m_trend;
    TrendChartView* m_rate;
};
