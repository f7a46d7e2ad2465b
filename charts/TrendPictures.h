#pragma once

#include <QSize>
#include <QString>

struct FormulaTrend;
struct NumberTrend;
struct ReplayTrend;

// The trend charts rendered offscreen into a PNG file, by the same chart panels as the window
// "走势图": the command line's chart command. Needs the application object of ChartApplication.
class TrendPictures
{
public:
    // False with a message (Chinese) when the trend cannot be drawn (its requirement) or the file
    // cannot be written; nothing is left under `path` then.
    static bool write(const NumberTrend& trend, const QSize& size, const QString& path, QString* error);
    static bool write(const FormulaTrend& trend, const QSize& size, const QString& path, QString* error);
    static bool write(const ReplayTrend& trend, const QSize& size, const QString& path, QString* error);
};
