#include "PrivateMount.h"

#include <QProcess>
#include <QTemporaryDir>

namespace PrivateMount {

int run(const QString& script, QString* output)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("unshare"),
            {QStringLiteral("--user"), QStringLiteral("--map-root-user"), QStringLiteral("--mount"),
             QStringLiteral("sh"), QStringLiteral("-c"), script});
    if (!p.waitForStarted(10000))
        return -1;
    p.waitForFinished(600000);
    if (output)
        *output = QString::fromUtf8(p.readAll());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

bool available(QString* why)
{
    QTemporaryDir dir;
    QString output;
    const int code = run(QStringLiteral("mount -t tmpfs -o size=64k tmpfs %1 && mount -o remount,ro %1")
                             .arg(quoted(dir.path())),
                         &output);
    if (code == 0)
        return true;
    *why = QStringLiteral("no private tmpfs mount here (unshare --user --mount, mount -t tmpfs): %1")
               .arg(output.trimmed());
    return false;
}

QString quoted(const QString& text)
{
    QString q = text;
    q.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

} // namespace PrivateMount
