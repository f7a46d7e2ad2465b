#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

class Workspace;

// What every subcommand gets: the parsed global options, the output streams and, once opened,
// the workspace.
struct CliContext
{
    QString dataDirOption;
    int lotteryOverride = -1; // -1: the stored setting "GsZl"
    QTextStream& out;
    QTextStream& err;
    Workspace* workspace = nullptr;

    // Opens the workspace on demand; prints the error and returns false when that fails.
    bool openWorkspace();
    int lotteryIndex() const;
};

// Exit codes of every command.
enum ExitCode
{
    ExitOk = 0,
    ExitFailure = 1,
    ExitUsage = 2
};

class Command
{
public:
    virtual ~Command() = default;
    virtual QString name() const = 0;
    virtual QString usage() const = 0;
    // The usage shown for "--help" after the command's arguments `args`: the subcommand's line
    // when they name one, else the whole usage.
    virtual QString usageFor(const QStringList& args) const;
    virtual int run(CliContext& ctx, const QStringList& args) = 0;

    // True when the arguments ask for help ("--help" or "-h" anywhere).
    static bool asksForHelp(const QStringList& args);

protected:
    int usageError(CliContext& ctx, const QString& message) const;
    // The same with the usage of the subcommand `args` name.
    int usageError(CliContext& ctx, const QString& message, const QStringList& args) const;
};
