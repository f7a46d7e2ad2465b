#pragma once

#include "charts/NumberTrend.h"
#include "charts/TrendChartPanel.h"

class TrendChartView;

// The charts of "号码走势": one line per position (values 1..6, issues along the bottom, the newest
// at the right), the 和数 below it, and beside them how often each number came in each position
// with a dashed line at the count expected by chance.
//
// The three positions share one chart but each keeps its own band of 1..6 (百位 at the top, 个位 at
// the bottom), so three lines that jump over the same values stay apart and each can be followed.
class NumberTrendCharts : public TrendChartPanel
{
    Q_OBJECT
public:
    explicit NumberTrendCharts(QWidget* parent = nullptr);

    void setTrend(const NumberTrend& trend);
    const NumberTrend& trend() const { return m_trend; }

    TrendChartView* positionsView() const { return m_positions; }
    TrendChartView* sumView() const { return m_sum; }
    TrendChartView* countsView() const { return m_counts; }
    // Where position p's band starts: its number n is drawn at height n + bandOffset(p).
    static double bandOffset(int position);

private:
    void buildPositions();
    void buildSum();
    void buildCounts();

    NumberTrend m_trend;
    TrendChartView* m_positions;
    TrendChartView* m_sum;
    TrendChartView* m_counts;
};
