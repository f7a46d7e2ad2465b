#include "app/DesktopOpener.h"

#include <QDesktopServices>
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

QString DesktopOpener::lastRequested()
{
    return last();
}
