#include "charts/ReplayTrendCharts.h"

#include "charts/ChartStyle.h"
#include "charts/IssueAxis.h"
#include "charts/TrendChartView.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QHBoxLayout>
#include <QLineSeries>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

using ChartStyle::indexAt;

ReplayTrendCharts::ReplayTrendCharts(QWidget* parent)
    : TrendChartPanel(parent), m_levels(new TrendChartView), m_blocks(new TrendChartView)
{
    m_levels->setObjectName("chartReplayLevels");
    m_blocks->setObjectName("chartReplayBlocks");
    auto* layout = new QHBoxLayout(chartsArea());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(m_levels, 2);
    layout->addWidget(m_blocks, 3);
    setTrend(ReplayTrend::notReplayed());
}

void ReplayTrendCharts::setTrend(const ReplayTrend& trend)
{
    m_trend = trend;
    if (!m_trend.isDrawable()) {
        for (TrendChartView* v : {m_levels, m_blocks})
            v->replaceChart(TrendChartView::newChart(QString()));
        showRequirement(m_trend.requirement);
        return;
    }
    buildLevels();
    buildBlocks();
    showCharts();
}

void ReplayTrendCharts::buildLevels()
{
    QChart* chart = TrendChartView::newChart(QStringLiteral("开奖号码所在位次（%1）").arg(m_trend.title));
    auto* drawn = new QBarSet(QStringLiteral("开出号码个数"));
    drawn->setColor(ChartStyle::positionColour(0));
    drawn->setBorderColor(ChartStyle::positionColour(0));
    auto* chance = new QBarSet(QStringLiteral("纯属运气（均匀分布）"));
    chance->setColor(QColor(0xb0, 0xb0, 0xb0));
    chance->setBorderColor(QColor(0x80, 0x80, 0x80));
    QStringList levels;
    double highest = 1;
    for (int level = 1; level <= m_trend.levelCount(); ++level) {
        levels << QString::number(level);
        drawn->append(m_trend.levelCounts[std::size_t(level - 1)]);
        chance->append(m_trend.levelExpected[std::size_t(level - 1)]);
        highest = std::max({highest, double(m_trend.levelCounts[std::size_t(level - 1)]),
                            m_trend.levelExpected[std::size_t(level - 1)]});
    }
    auto* bars = new QBarSeries;
    bars->append(drawn);
    bars->append(chance);
    bars->setBarWidth(0.8);
    chart->addSeries(bars);
    auto* x = new QBarCategoryAxis;
    x->append(levels);
    x->setTitleText(QStringLiteral("排序位次（1 = 第一行）"));
    ChartStyle::styleAxis(x);
    chart->addAxis(x, Qt::AlignBottom);
    bars->attachAxis(x);
    auto* y = new QValueAxis;
    y->setRange(0, std::ceil(highest * 1.15 + 1));
    y->setLabelFormat(QStringLiteral("%d"));
    y->setTickCount(6);
    y->applyNiceNumbers();
    ChartStyle::styleAxis(y);
    chart->addAxis(y, Qt::AlignLeft);
    bars->attachAxis(y);
    m_levels->replaceChart(chart);
    const int count = m_trend.levelCount();
    m_levels->setHoverText([this, count](const QPointF& v) {
        const int i = indexAt(v.x(), count);
        return i < 0 ? QString() : m_trend.levelText(i + 1);
    });
}

void ReplayTrendCharts::buildBlocks()
{
    QChart* chart = TrendChartView::newChart(QStringLiteral("每 %1 期滤杀正确率（全部 %2%，机会 %3%）")
                                                 .arg(ReplayTrend::kBlockDraws)
                                                 .arg(m_trend.share, 0, 'f', 1)
                                                 .arg(m_trend.chanceShare, 0, 'f', 1));
    QStringList ends;
    for (const ReplayTrend::Block& b : m_trend.blocks)
        ends << b.lastIssue;
    if (m_trend.blocks.empty()) {
        // No 滤杀 number in 1..6 anywhere: nothing to rate, said in the title.
        chart->setTitle(
            QStringLiteral("回测的 %1 期里没有 1~6 之间的滤杀号码，没有正确率可画").arg(m_trend.drawCount));
        m_blocks->replaceChart(chart);
        return;
    }
    QCategoryAxis* x = IssueAxis::attach(chart, ends);
    x->setTitleText(QStringLiteral("每段最后一期"));
    ChartStyle::styleAxis(x);

    double lowest = 100, highest = 0;
    for (const ReplayTrend::Block& b : m_trend.blocks) {
        lowest = std::min({lowest, b.share, b.chanceShare});
        highest = std::max({highest, b.share, b.chanceShare});
    }
    auto* y = new QValueAxis;
    const double low = std::max(0.0, std::floor((lowest - 5) / 10) * 10);
    const double high = std::min(100.0, std::ceil((highest + 5) / 10) * 10);
    y->setRange(low, high);
    y->setTickType(QValueAxis::TicksDynamic);
    y->setTickAnchor(0);
    y->setTickInterval(high - low > 50 ? 20 : 10);
    y->setLabelFormat(QStringLiteral("%d%%"));
    ChartStyle::styleAxis(y);
    chart->addAxis(y, Qt::AlignLeft);

    auto* share = new QLineSeries;
    share->setName(QStringLiteral("滤杀正确率"));
    QPen pen(ChartStyle::positionColour(0));
    pen.setWidthF(2);
    share->setPen(pen);
    share->setPointsVisible(m_trend.blockCount() <= ChartStyle::kMaxMarkedPoints);
    auto* chance = new QLineSeries;
    chance->setName(QStringLiteral("机会正确率"));
    chance->setPen(ChartStyle::chanceLinePen());
    QList<QPointF> sharePoints, chancePoints;
    for (int i = 0; i < m_trend.blockCount(); ++i) {
        sharePoints.append(QPointF(i, m_trend.blocks[std::size_t(i)].share));
        chancePoints.append(QPointF(i, m_trend.blocks[std::size_t(i)].chanceShare));
    }
    share->replace(sharePoints);
    chance->replace(chancePoints);
    // One block alone is one point: a short flat stretch keeps the chance line visible.
    if (m_trend.blockCount() == 1)
        chance->replace({QPointF(-0.4, chancePoints.front().y()), QPointF(0.4, chancePoints.front().y())});
    for (QLineSeries* s : {chance, share}) {
        chart->addSeries(s);
        s->attachAxis(x);
        s->attachAxis(y);
    }
    m_blocks->replaceChart(chart);
    const int count = m_trend.blockCount();
    m_blocks->setHoverText(
        [this, count](const QPointF& v) { return m_trend.blockText(indexAt(v.x(), count)); });
}
