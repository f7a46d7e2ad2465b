#include "app/HelpLinks.h"

#include "history/ResultsPageAddress.h"
#include "store/Settings.h"
#include "ui/DesktopOpener.h"
#include "ui/MessageBoxes.h"

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

void HelpLinks::open(QWidget* parent, const Settings& settings, Link link)
{
    static const char* const what[] = {"使用说明文档", "演示说明录像", "幻灯图示说明"};
    const QString name = QString::fromUtf8(what[int(link)]);
    const QString target = address(settings, link);
    if (target.isEmpty()) {
        MessageBoxes::information(
            parent, name,
            QStringLiteral("还没有%1的地址。可以在菜单“设置 → %4”中填写网址或文件（也可以在设置文件 %2 的 "
                           "[IniSetting] 节中用 %3 指定）；使用说明请看程序附带的 README.md。")
                .arg(name, QDir::toNativeSeparators(settings.fileName()), settingKey(link),
                     ResultsPageAddress::sourcesEntry()));
        return;
    }
    if (!DesktopOpener::openAddress(target))
        MessageBoxes::error(parent,
                            QStringLiteral("无法打开%1“%2”：没有找到可以打开它的程序。").arg(name, target));
}
