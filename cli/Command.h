#pragma once

#include "backtest/AnalysisSession.h"
#include "cli/CliSyntax.h"
#include "cli/CliTable.h"

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <memory>

class Workspace;

// What every subcommand gets: the parsed global options, the output streams and, once opened,
// the workspace and the analysis session the windows use.
struct CliContext
{
    // Whether openSession names the publication order in force on stderr, as the commands whose
    // figures against chance depend on it do before anything else.
    enum class OrderLine
    {
        Announced,
        Silent
    };

    QString dataDirOption;
    int lotteryOverride = -1; // -1: the stored setting "GsZl"
    QTextStream& out;
    QTextStream& err;
    Workspace* workspace = nullptr;
    // The usage line of the command being run, shown after a usage error.
    QString usage;

    // The session of the open workspace, once openSession has created it.
    std::unique_ptr<AnalysisSession> session;

    // Opens the workspace on demand; prints the error and returns false when that fails.
    bool openWorkspace();
    // Opens the workspace and creates `session` on it: the stored options with the command's
    // flags laid over them (--lookback W draws, --holdout H, --exclude-current, --weighted,
    // --order; each only when the command takes and was given it), without storing them. The
    // command has checked the numbers already (a usage error before the workspace opens). Prints
    // the error and returns false when the workspace does not open or the hold-out is more than
    // half the history.
    bool openSession(const CliArguments& args, OrderLine orderLine);
    int lotteryIndex() const;
    // Prints `message` and the usage line on stderr; returns ExitUsage.
    int usageError(const QString& message);
};

// Exit codes of every command.
enum ExitCode
{
    ExitOk = 0,
    ExitFailure = 1,
    ExitUsage = 2
};

// One command word of zorvane-cli. Its arguments (and those of each subcommand) are declared in
// a CliSyntax, read by the one parser every command shares before run() is called: a command
// only reads the values it was given.
class Command
{
public:
    virtual ~Command() = default;
    virtual QString name() const = 0;
    // The subcommand words in the order of the usage; empty for a command without subcommands.
    virtual QStringList subcommands() const { return {}; }
    // What the command, or its subcommand `sub`, takes.
    virtual CliSyntax syntax(const QString& sub) const = 0;
    virtual int run(CliContext& ctx, const QString& sub, const CliArguments& args) = 0;

    // One usage line per subcommand (or the command's own).
    QStringList usages() const;
    // Reads the arguments after the command word and runs the command; "--help" or "-h" prints
    // the help of the command (or of its subcommand) on stdout instead, and a usage error exits 2
    // with the reason and the usage on stderr.
    int dispatch(CliContext& ctx, const QStringList& args);
};
