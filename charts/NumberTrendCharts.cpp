#include "charts/NumberTrendCharts.h"

#include "charts/ChartStyle.h"
#include "charts/IssueAxis.h"
#include "charts/TrendChartView.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QGridLayout>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

using ChartStyle::indexAt;

NumberTrendCharts::NumberTrendCharts(QWidget* parent)
    : TrendChartPanel(parent), m_positions(new TrendChartView), m_sum(new TrendChartView),
      m_counts(new TrendChartView)
{
    m_positions->setObjectName("chartPositions");
    m_sum->setObjectName("chartSum");
    m_counts->setObjectName("chartCounts");
    auto* grid = new QGridLayout(chartsArea());
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(4);
    grid->addWidget(m_positions, 0, 0);
    grid->addWidget(m_sum, 1, 0);
    grid->addWidget(m_counts, 0, 1, 2, 1);
    grid->setRowStretch(0, 3);
    grid->setRowStretch(1, 2);
    grid->setColumnStretch(0, 3);
    grid->setColumnStretch(1, 2);
    setTrend(NumberTrend::of({}, NumberTrend::kDefaultDraws));
}

void NumberTrendCharts::setTrend(const NumberTrend& trend)
{
    m_trend = trend;
    if (!m_trend.isDrawable()) {
        for (TrendChartView* v : {m_positions, m_sum, m_counts})
            v->replaceChart(TrendChartView::newChart(QString()));
        showRequirement(m_trend.requirement);
        return;
    }
    buildPositions();
    buildSum();
    buildCounts();
    showCharts();
}

double NumberTrendCharts::bandOffset(int position)
{
    // 6 values and a gap of 1.5 per band; 百位 (0) on top.
    return (2 - position) * 7.5;
}

void NumberTrendCharts::buildPositions()
{
    QChart* chart =
        TrendChartView::newChart(QStringLiteral("最近 %1 期各位号码走势").arg(m_trend.drawCount()));
    QCategoryAxis* x = IssueAxis::attach(chart, m_trend.issues);
    ChartStyle::styleAxis(x);
    // Each band is named by its position on the left and labelled 1 and 6 at its edges on the right:
    // a label per number would not fit the band's height on a small screen (hovering gives the exact
    // number). Qt Charts gives a label the height to its neighbours and cuts it to "…" below one line:
    // on an axis of its own a caption has a whole band. An axis' labels must differ, so the bands'
    // 1 and 6 differ by trailing spaces, which the left-aligned labels do not show.
    auto* captions = new QCategoryAxis;
    auto* edges = new QCategoryAxis;
    for (QCategoryAxis* y : {captions, edges}) {
        y->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
        y->setRange(bandOffset(2) + 0.3, bandOffset(0) + 6.7);
        y->setStartValue(bandOffset(2) - 2);
    }
    for (int p = 2; p >= 0; --p) {
        const QString spaces(p, QLatin1Char(' '));
        edges->append(QStringLiteral("1") + spaces, 1 + bandOffset(p));
        captions->append(NumberTrend::positionCaption(p), 3.5 + bandOffset(p));
        edges->append(QStringLiteral("6") + spaces, 6 + bandOffset(p));
    }
    ChartStyle::styleAxis(captions);
    ChartStyle::styleAxis(edges);
    edges->setGridLineVisible(false);
    chart->addAxis(captions, Qt::AlignLeft);
    chart->addAxis(edges, Qt::AlignRight);
    const bool marked = m_trend.drawCount() <= ChartStyle::kMaxMarkedPoints;
    for (int p = 0; p < 3; ++p) {
        auto* line = new QLineSeries;
        line->setName(NumberTrend::positionCaption(p));
        QPen pen(ChartStyle::positionColour(p));
        pen.setWidthF(1.8);
        line->setPen(pen);
        line->setPointsVisible(marked);
        QList<QPointF> points;
        points.reserve(m_trend.drawCount());
        for (int i = 0; i < m_trend.drawCount(); ++i)
            points.append(QPointF(i, m_trend.numbers[p][i] + bandOffset(p)));
        line->replace(points);
        chart->addSeries(line);
        line->attachAxis(x);
        line->attachAxis(captions);
        line->attachAxis(edges);
    }
    m_positions->replaceChart(chart);
    const int count = m_trend.drawCount();
    m_positions->setHoverText(
        [this, count](const QPointF& v) { return m_trend.drawText(indexAt(v.x(), count)); });
}

void NumberTrendCharts::buildSum()
{
    QChart* chart = TrendChartView::newChart(QStringLiteral("和数走势"));
    QCategoryAxis* x = IssueAxis::attach(chart, m_trend.issues);
    ChartStyle::styleAxis(x);
    QValueAxis* y = ChartStyle::integerAxis(3, 18, 3);
    chart->addAxis(y, Qt::AlignLeft);

    auto* line = new QLineSeries;
    line->setName(QStringLiteral("和数"));
    QPen pen(QColor(0x6a, 0x3d, 0x9a));
    pen.setWidthF(1.8);
    line->setPen(pen);
    line->setPointsVisible(m_trend.drawCount() <= ChartStyle::kMaxMarkedPoints);
    QList<QPointF> points;
    for (int i = 0; i < m_trend.drawCount(); ++i)
        points.append(QPointF(i, m_trend.sums[i]));
    line->replace(points);
    // Three fair dice sum to 10.5 on average.
    auto* mean = new QLineSeries;
    mean->setName(QStringLiteral("机会平均 10.5"));
    mean->setPen(ChartStyle::chanceLinePen());
    mean->append(-0.5, 10.5);
    mean->append(m_trend.drawCount() - 0.5, 10.5);
    for (QLineSeries* s : {mean, line}) {
        chart->addSeries(s);
        s->attachAxis(x);
        s->attachAxis(y);
    }
    m_sum->replaceChart(chart);
    const int count = m_trend.drawCount();
    m_sum->setHoverText([this, count](const QPointF& v) { return m_trend.drawText(indexAt(v.x(), count)); });
}

void NumberTrendCharts::buildCounts()
{
    QChart* chart =
        TrendChartView::newChart(QStringLiteral("各位号码出现次数（%1 期）").arg(m_trend.drawCount()));
    auto* bars = new QBarSeries;
    int highest = 0;
    for (int p = 0; p < 3; ++p) {
        auto* set = new QBarSet(NumberTrend::positionCaption(p));
        set->setColor(ChartStyle::positionColour(p));
        set->setBorderColor(ChartStyle::positionColour(p));
        for (int number = 1; number <= 6; ++number) {
            set->append(m_trend.counts[p][number - 1]);
            highest = std::max(highest, m_trend.counts[p][number - 1]);
        }
        bars->append(set);
    }
    bars->setBarWidth(0.8);
    chart->addSeries(bars);
    auto* x = new QBarCategoryAxis;
    x->append({"1", "2", "3", "4", "5", "6"});
    x->setTitleText(QStringLiteral("号码"));
    ChartStyle::styleAxis(x);
    chart->addAxis(x, Qt::AlignBottom);
    bars->attachAxis(x);

    double highestExpected = m_trend.expectedCount;
    for (const auto& position : m_trend.expected)
        for (double e : position)
            highestExpected = std::max(highestExpected, e);
    auto* y = new QValueAxis;
    const double top = std::max<double>(highest, highestExpected) * 1.15 + 1;
    y->setRange(0, std::ceil(top));
    y->setLabelFormat(QStringLiteral("%d"));
    y->setTickCount(6);
    y->applyNiceNumbers();
    ChartStyle::styleAxis(y);
    chart->addAxis(y, Qt::AlignLeft);
    bars->attachAxis(y);

    if (m_trend.uniformExpectation) {
        // The count expected by chance, N / 6, across every category.
        auto* expected = new QLineSeries;
        expected->setName(QStringLiteral("机会期望 %1 次").arg(m_trend.expectedCount, 0, 'f', 1));
        expected->setPen(ChartStyle::chanceLinePen());
        expected->append(-0.5, m_trend.expectedCount);
        expected->append(5.5, m_trend.expectedCount);
        chart->addSeries(expected);
        expected->attachAxis(x);
        expected->attachAxis(y);
    } else {
        // Numbers published smallest first: each position expects its own counts, drawn as a short
        // dashed mark across the top of its own bar.
        const double barWidth = 0.8 / 3;
        for (int p = 0; p < 3; ++p) {
            QPen pen = ChartStyle::chanceLinePen();
            pen.setColor(ChartStyle::positionColour(p).darker(160));
            for (int number = 1; number <= 6; ++number) {
                auto* expected = new QLineSeries;
                expected->setName(QStringLiteral("%1机会期望").arg(NumberTrend::positionCaption(p)));
                expected->setPen(pen);
                const double centre = number - 1 + (p - 1) * barWidth;
                const double e = m_trend.expected[p][number - 1];
                expected->append(centre - barWidth / 2, e);
                expected->append(centre + barWidth / 2, e);
                chart->addSeries(expected);
                expected->attachAxis(x);
                expected->attachAxis(y);
                // One legend entry per position.
                if (number > 1)
                    for (QLegendMarker* marker : chart->legend()->markers(expected))
                        marker->setVisible(false);
            }
        }
    }

    m_counts->replaceChart(chart);
    m_counts->setHoverText([this](const QPointF& v) {
        const int i = indexAt(v.x(), 6);
        return i < 0 ? QString() : m_trend.countText(i + 1);
    });
}
