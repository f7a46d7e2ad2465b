#pragma once

#include <QString>
#include <QStringList>

// Runs zorvane-cli with the given data folder and arguments.
struct CliResult
{
    int exitCode = -1;
    QString out;
    QString err;
};

CliResult runCli(const QString& dataDir, const QStringList& args);
// The same with `input` written to its standard input.
CliResult runCli(const QString& dataDir, const QStringList& args, const QByteArray& input);
