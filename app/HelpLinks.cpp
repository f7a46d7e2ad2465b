#include "app/HelpLinks.h"

#include "store/Settings.h"

#include <QDir>
#include <QFileInfo>

QString HelpLinks::settingKey(Link link)
{
    switch (link) {
    case Link::Guide:
        return QStringLiteral("HelpGuideUrl");
    case Link::Video:
        return QStringLiteral("HelpVideoUrl");
    case Link::Slides:
        return QStringLiteral("HelpSlidesUrl");
    }
    return {};
}

QString HelpLinks::address(const Settings& settings, Link link)
{
    const QString set =
        settings.readString(QStringLiteral("IniSetting"), settingKey(link), QString()).trimmed();
    if (!set.isEmpty() || link != Link::Guide)
        return set;
    return userGuidePath();
}

QString HelpLinks::userGuidePath()
{
    for (const char* folder : {ZORVANE_INSTALL_DOCDIR, ZORVANE_SOURCE_DIR}) {
        const QString path = QDir(QString::fromUtf8(folder)).filePath(QStringLiteral("README.md"));
        if (QFileInfo(path).isFile())
            return path;
    }
    return {};
}
