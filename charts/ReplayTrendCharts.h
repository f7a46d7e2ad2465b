#pragma once

#include "charts/ReplayTrend.h"
#include "charts/TrendChartPanel.h"

class TrendChartView;

// The charts of "计算回测": beside each other, how many drawn numbers stood at each level of the
// replayed rankings as bars next to the even spread of chance, and the share of right 滤杀 numbers
// per block of 10 replayed draws as a line with the share chance gives as a dashed line.
class ReplayTrendCharts : public TrendChartPanel
{
    Q_OBJECT
public:
    explicit ReplayTrendCharts(QWidget* parent = nullptr);

    void setTrend(const ReplayTrend& trend);
    const ReplayTrend& trend() const { return m_trend; }

    TrendChartView* levelsView() const { return m_levels; }
    TrendChartView* blocksView() const { return m_blocks; }

private:
    void buildLevels();
    void buildBlocks();

    ReplayTrend m_trend;
    TrendChartView* m_levels;
    TrendChartView* m_blocks;
};
