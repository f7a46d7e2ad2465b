#pragma once

#include <QString>
#include <QStringList>

// zorvane-cli run as a child process the way the robustness tests need it: stopped with SIGKILL
// after a given time, or run under a file-size limit (RLIMIT_FSIZE, with SIGXFSZ ignored so a
// write past the limit fails as it does on a full disk).
struct ChildOptions
{
    int killAfterMs = -1;      // < 0: let it finish
    qint64 fileSizeLimit = -1; // bytes; < 0: no limit
};

struct ChildOutcome
{
    bool killed = false; // stopped by SIGKILL before it finished
    int exitCode = -1;   // when it finished by itself
    QString out;
    QString err;
    qint64 elapsedMs = 0;
};

ChildOutcome runCliChild(const QString& dataDir, const QStringList& args, const ChildOptions& options = {});
