#pragma once

#include <QString>

// A shell script run in a mount namespace of its own (`unshare --user --map-root-user --mount`),
// where it may mount a small tmpfs, fill it, or remount it read-only without touching the
// machine's mounts: the tests for a really full disk and a read-only data folder use it. The
// namespace ends with the script, and its mounts with it; results go to files outside them.
namespace PrivateMount {

// Whether such scripts can run here; when not, *why says so (for the test's skip message).
bool available(QString* why);
// Runs `script` with sh; the exit code, or -1 when it could not run. `output` gets stdout and
// stderr together.
int run(const QString& script, QString* output = nullptr);
// `text` quoted for sh.
QString quoted(const QString& text);

} // namespace PrivateMount
