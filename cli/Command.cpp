#include "cli/Command.h"

#include "history/Workspace.h"

bool CliContext::openWorkspace()
{
    if (!workspace)
        return false;
    QString error;
    if (!workspace->open(dataDirOption, &error)) {
        err << error << Qt::endl;
        return false;
    }
    if (lotteryOverride >= 0)
        workspace->setLotteryIndex(lotteryOverride);
    return true;
}

int CliContext::lotteryIndex() const
{
    return lotteryOverride >= 0 ? lotteryOverride : workspace->settings().lotteryIndex();
}

int Command::usageError(CliContext& ctx, const QString& message) const
{
    ctx.err << message << Qt::endl << "usage: zorvane-cli " << usage() << Qt::endl;
    return ExitUsage;
}

int Command::usageError(CliContext& ctx, const QString& message, const QStringList& args) const
{
    ctx.err << message << Qt::endl << "usage: zorvane-cli " << usageFor(args) << Qt::endl;
    return ExitUsage;
}

QString Command::usageFor(const QStringList& /*args*/) const
{
    return usage();
}

bool Command::asksForHelp(const QStringList& args)
{
    return args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"));
}
