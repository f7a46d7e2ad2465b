#include "charts/ChartPicture.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QRegularExpression>
#include <QSaveFile>
#include <QWidget>

QImage ChartPicture::grab(QWidget* widget)
{
    QImage image = widget->grab().toImage();
    // The picture has the widget's size in pixels, whatever the screen's scale.
    image.setDevicePixelRatio(1);
    return image;
}

QImage ChartPicture::renderOffscreen(QWidget* widget, const QSize& size)
{
    widget->setAttribute(Qt::WA_DontShowOnScreen);
    widget->resize(size);
    widget->show();
    // Lets the layouts and the charts place everything at the final size before the picture.
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    widget->render(&image);
    widget->hide();
    return image;
}

bool ChartPicture::writePng(const QImage& image, const QString& path, QString* error)
{
    const QString shown = QDir::toNativeSeparators(path);
    if (image.isNull()) {
        *error = QStringLiteral("无法保存图片 %1：图片是空的。").arg(shown);
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("无法保存图片 %1：%2").arg(shown, file.errorString());
        return false;
    }
    if (!image.save(&file, "PNG")) {
        file.cancelWriting();
        *error = QStringLiteral("无法保存图片 %1：写入 PNG 失败（%2）。").arg(shown, file.errorString());
        return false;
    }
    if (!file.commit()) {
        *error = QStringLiteral("无法保存图片 %1：%2").arg(shown, file.errorString());
        return false;
    }
    return true;
}

bool ChartPicture::parseSize(const QString& text, QSize* size)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,5})[xX](\\d{1,5})$"));
    const QRegularExpressionMatch m = pattern.match(text.trimmed());
    if (!m.hasMatch())
        return false;
    const int w = m.captured(1).toInt(), h = m.captured(2).toInt();
    if (w < kMinimumSide || h < kMinimumSide || w > kMaximumSide || h > kMaximumSide)
        return false;
    *size = QSize(w, h);
    return true;
}
