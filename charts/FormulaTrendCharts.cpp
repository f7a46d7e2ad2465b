#include "charts/FormulaTrendCharts.h"

#include "charts/ChartStyle.h"
#include "charts/IssueAxis.h"
#include "charts/TrendChartView.h"

#include <QAreaSeries>
#include <QCategoryAxis>
#include <QChart>
#include <QLegend>
#include <QLineSeries>
#include <QScatterSeries>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

FormulaTrendCharts::FormulaTrendCharts(QWidget* parent) : TrendChartPanel(parent), m_rate(new TrendChartView)
{
    m_rate->setObjectName("chartFormulaRate");
    auto* layout = new QVBoxLayout(chartsArea());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_rate);
    setTrend(FormulaTrend::noFormula());
}

FormulaTrendCharts::Scale FormulaTrendCharts::scaleFor(const FormulaTrend& trend)
{
    double lowest = 100, highest = 0;
    for (int i = 0; i < trend.pointCount(); ++i) {
        lowest = std::min({lowest, trend.rate[i], trend.bandLower[i]});
        highest = std::max({highest, trend.rate[i], trend.bandUpper[i]});
    }
    if (lowest > highest)
        std::swap(lowest, highest);
    Scale s;
    s.low = std::max(0.0, std::floor((lowest - 2) / 5) * 5);
    s.high = std::min(100.0, std::ceil((highest + 2) / 5) * 5);
    if (s.high - s.low < 10) {
        s.high = std::min(100.0, s.low + 10);
        s.low = s.high - 10;
    }
    const double span = s.high - s.low;
    s.step = span <= 16 ? 2 : span <= 40 ? 5 : span <= 80 ? 10 : 20;
    const double strip = span * 0.15;
    s.stripY = s.low - strip / 2;
    s.bottom = s.low - strip;
    return s;
}

void FormulaTrendCharts::setTrend(const FormulaTrend& trend)
{
    m_trend = trend;
    if (!m_trend.isDrawable()) {
        m_rate->replaceChart(TrendChartView::newChart(QString()));
        showRequirement(m_trend.requirement);
        return;
    }
    QChart* chart = TrendChartView::newChart(
        QStringLiteral("%1：近 %2 期正确率与机会率").arg(m_trend.title).arg(m_trend.window));
    QCategoryAxis* x = IssueAxis::attach(chart, m_trend.issues);
    ChartStyle::styleAxis(x);

    // One vertical axis for the rates and, below them, the strip of misses labelled "错".
    const Scale scale = scaleFor(m_trend);
    auto* y = new QCategoryAxis;
    y->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    y->setRange(scale.bottom, scale.high);
    y->setStartValue(scale.bottom);
    y->append(QStringLiteral("错"), scale.stripY);
    for (double v = scale.low; v <= scale.high + 1e-9; v += scale.step)
        y->append(QStringLiteral("%1%").arg(v, 0, 'f', 0), v);
    ChartStyle::styleAxis(y);
    chart->addAxis(y, Qt::AlignLeft);

    auto* upper = new QLineSeries;
    auto* lower = new QLineSeries;
    auto* chance = new QLineSeries;
    auto* rate = new QLineSeries;
    QList<QPointF> upperPoints, lowerPoints, chancePoints, ratePoints;
    for (int i = 0; i < m_trend.pointCount(); ++i) {
        upperPoints.append(QPointF(i, m_trend.bandUpper[i]));
        lowerPoints.append(QPointF(i, m_trend.bandLower[i]));
        chancePoints.append(QPointF(i, m_trend.chanceRate[i]));
        ratePoints.append(QPointF(i, m_trend.rate[i]));
    }
    upper->replace(upperPoints);
    lower->replace(lowerPoints);
    chance->replace(chancePoints);
    rate->replace(ratePoints);

    auto* band = new QAreaSeries(upper, lower);
    // An area series does not own its edges; as its children they go when the chart drops it.
    upper->setParent(band);
    lower->setParent(band);
    band->setName(QStringLiteral("95% 运气范围"));
    band->setColor(ChartStyle::bandColour());
    band->setBorderColor(Qt::transparent);
    chance->setName(QStringLiteral("机会率"));
    chance->setPen(ChartStyle::chanceLinePen());
    rate->setName(QStringLiteral("近 %1 期正确率").arg(m_trend.window));
    QPen ratePen(ChartStyle::positionColour(0));
    ratePen.setWidthF(2);
    rate->setPen(ratePen);
    rate->setPointsVisible(m_trend.pointCount() <= ChartStyle::kMaxMarkedPoints);

    auto* misses = new QScatterSeries;
    misses->setName(QStringLiteral("错（本期未中）"));
    misses->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    misses->setMarkerSize(m_trend.pointCount() <= 300 ? 7 : 4);
    misses->setColor(ChartStyle::missColour());
    misses->setBorderColor(ChartStyle::missColour());
    QList<QPointF> missPoints;
    for (int i : m_trend.misses)
        missPoints.append(QPointF(i, scale.stripY));
    misses->replace(missPoints);

    for (QAbstractSeries* s : std::initializer_list<QAbstractSeries*>{band, chance, rate, misses}) {
        chart->addSeries(s);
        s->attachAxis(x);
        s->attachAxis(y);
    }
    m_rate->replaceChart(chart);
    const int count = m_trend.pointCount();
    m_rate->setHoverText([this, count](const QPointF& v) {
        const int i = static_cast<int>(std::lround(v.x()));
        return i >= 0 && i < count ? m_trend.pointText(i) : QString();
    });
    showCharts();
}
