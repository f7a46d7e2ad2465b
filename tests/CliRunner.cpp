#include "CliRunner.h"

#include <QProcess>

CliResult runCli(const QString& dataDir, const QStringList& args)
{
    return runCli(dataDir, args, QByteArray());
}

CliResult runCli(const QString& dataDir, const QStringList& args, const QByteArray& input)
{
    QProcess p;
    p.start(QStringLiteral(ZORVANE_CLI_PATH), QStringList{"--data-dir", dataDir} + args);
    p.waitForStarted(60000);
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}
