#include "charts/TrendPictures.h"

#include "charts/ChartPicture.h"
#include "charts/FormulaTrendCharts.h"
#include "charts/NumberTrendCharts.h"
#include "charts/ReplayTrendCharts.h"

namespace {

template <typename Panel, typename Trend>
bool writePanel(const Trend& trend, const QSize& size, const QString& path, QString* error)
{
    if (!trend.isDrawable()) {
        *error = trend.requirement;
        return false;
    }
    Panel panel;
    panel.setTrend(trend);
    return ChartPicture::writePng(ChartPicture::renderOffscreen(&panel, size), path, error);
}

} // namespace

bool TrendPictures::write(const NumberTrend& trend, const QSize& size, const QString& path, QString* error)
{
    return writePanel<NumberTrendCharts>(trend, size, path, error);
}

bool TrendPictures::write(const FormulaTrend& trend, const QSize& size, const QString& path, QString* error)
{
    return writePanel<FormulaTrendCharts>(trend, size, path, error);
}

bool TrendPictures::write(const ReplayTrend& trend, const QSize& size, const QString& path, QString* error)
{
    return writePanel<ReplayTrendCharts>(trend, size, path, error);
}
