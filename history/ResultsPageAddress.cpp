#include "history/ResultsPageAddress.h"

#include "store/Settings.h"

const QString& ResultsPageAddress::defaultHost()
{
    // No public server publishes these pages, so the default names a reserved domain that never
    // resolves: an update fails with a clear message until the user sets a real source.
    static const QString host = QStringLiteral(".kuai3.zorvane.example");
    return host;
}

QString ResultsPageAddress::host(const Settings& settings)
{
    const QString stored =
        settings.readString(QStringLiteral("IniSetting"), QStringLiteral("ResultsHost"), defaultHost())
            .trimmed();
    return stored.isEmpty() ? defaultHost() : stored;
}

QString ResultsPageAddress::base(const QString& provinceCode, const QString& host)
{
    return QStringLiteral("http://") + provinceCode + host;
}

QUrl ResultsPageAddress::page(const QString& base, int drawCount)
{
    QString trimmed = base.trimmed();
    while (trimmed.endsWith('/'))
        trimmed.chop(1);
    return QUrl(trimmed + QStringLiteral("/?n=") + QString::number(drawCount));
}

QString ResultsPageAddress::sourcesEntry()
{
    return QStringLiteral("在线数据源设置...");
}

QString ResultsPageAddress::sourcesHint(const QString& what)
{
    return QStringLiteral("请在菜单“设置 → %1”中检查%2，可以用“测试连接”试一试。").arg(sourcesEntry(), what);
}
