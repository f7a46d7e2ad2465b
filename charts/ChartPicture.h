#pragma once

#include <QImage>
#include <QSize>
#include <QString>

class QWidget;

// Pictures of the chart panels: what "保存图片(&S)" writes from the window and the command line
// renders offscreen.
class ChartPicture
{
public:
    static constexpr int kDefaultWidth = 1200;
    static constexpr int kDefaultHeight = 800;
    static constexpr int kMinimumSide = 200;
    static constexpr int kMaximumSide = 8000;

    // The picture of `widget` as it is shown now.
    static QImage grab(QWidget* widget);
    // The picture of `widget` laid out at `size` without showing it on any screen.
    static QImage renderOffscreen(QWidget* widget, const QSize& size);
    // Writes `image` as PNG under `path` through a temporary file renamed on success, so a failed
    // or interrupted write never leaves a truncated picture under the final name. False with a
    // message (Chinese) when it fails.
    static bool writePng(const QImage& image, const QString& path, QString* error);
    // "WxH" with each side within kMinimumSide .. kMaximumSide; false otherwise.
    static bool parseSize(const QString& text, QSize* size);
};
