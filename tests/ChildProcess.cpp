#include "ChildProcess.h"

#include <QElapsedTimer>
#include <QProcess>

#include <csignal>
#include <sys/resource.h>

ChildOutcome runCliChild(const QString& dataDir, const QStringList& args, const ChildOptions& options)
{
    QProcess p;
    if (options.fileSizeLimit >= 0) {
        const rlim_t limit = rlim_t(options.fileSizeLimit);
        // Runs in the child between fork and exec: only async-signal-safe calls.
        p.setChildProcessModifier([limit] {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit r{limit, limit};
            setrlimit(RLIMIT_FSIZE, &r);
        });
    }
    QElapsedTimer clock;
    clock.start();
    p.start(QStringLiteral(ZORVANE_CLI_PATH), QStringList{"--data-dir", dataDir} + args);
    ChildOutcome outcome;
    if (!p.waitForStarted(10000)) {
        outcome.err = p.errorString();
        return outcome;
    }
    if (options.killAfterMs >= 0) {
        const qint64 left = options.killAfterMs - clock.elapsed();
        if (left <= 0 || !p.waitForFinished(int(left))) {
            if (p.state() != QProcess::NotRunning) {
                p.kill();
                outcome.killed = true;
            }
        }
    }
    p.waitForFinished(120000);
    outcome.elapsedMs = clock.elapsed();
    // A child that finished by itself just before the kill counts as finished.
    if (p.exitStatus() == QProcess::NormalExit) {
        outcome.killed = false;
        outcome.exitCode = p.exitCode();
    }
    outcome.out = QString::fromUtf8(p.readAllStandardOutput());
    outcome.err = QString::fromUtf8(p.readAllStandardError());
    return outcome;
}
