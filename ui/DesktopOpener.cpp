#include "ui/DesktopOpener.h"

#include "ui/MessageBoxes.h"

#include <QDesktopServices>
#include <QDir>
#include <QUrl>

namespace {
QString& last()
{
    static QString path;
    return path;
}
} // namespace

bool DesktopOpener::isDisabled()
{
    return qEnvironmentVariable("ZORVANE_NO_OPEN") == QLatin1String("1");
}

bool DesktopOpener::open(const QString& path)
{
    last() = path;
    if (isDisabled())
        return true;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void DesktopOpener::openTextFile(QWidget* parent, const QString& title, const QString& path)
{
    if (!open(path))
        MessageBoxes::warning(parent, title,
                              QStringLiteral("没有可以打开文本文件的程序。文件已保存为：%1")
                                  .arg(QDir::toNativeSeparators(path)));
}

bool DesktopOpener::openAddress(const QString& address)
{
    const QUrl url(address);
    // A bare path has no scheme; a Windows-style drive letter is no scheme either.
    if (url.scheme().size() < 2)
        return open(address);
    last() = address;
    if (isDisabled())
        return true;
    return QDesktopServices::openUrl(url);
}

QString DesktopOpener::lastRequested()
{
    return last();
}
