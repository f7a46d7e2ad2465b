#include "cli/Command.h"

#include "backtest/BacktestEngine.h"
#include "cli/CliOptions.h"
#include "history/Workspace.h"

#include <limits>

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

bool CliContext::openSession(const CliArguments& args, OrderLine orderLine)
{
    if (!openWorkspace())
        return false;
    session = std::make_unique<AnalysisSession>(workspace);
    AnalysisOptions options = session->options();
    // The numbers were checked by the command against its own range; read here only.
    QString unused;
    int lookBackDraws = 0, holdOut = 0;
    if (args.has(QStringLiteral("--lookback")) &&
        CliOptions::number(args, QStringLiteral("--lookback"), 0, std::numeric_limits<int>::max(),
                           &lookBackDraws, &unused))
        options.lookBackDrawsGiven = lookBackDraws;
    if (args.has(QStringLiteral("--holdout")) &&
        CliOptions::number(args, QStringLiteral("--holdout"), 0, std::numeric_limits<int>::max(), &holdOut,
                           &unused)) {
        const int drawCount = session->columns()->drawCount();
        if (!BacktestOptions::isAllowedHoldOut(holdOut, drawCount)) {
            err << BacktestOptions::holdOutRefusal(drawCount) << Qt::endl;
            return false;
        }
        options.holdOut = holdOut;
    }
    CliOptions::boolean(args, QStringLiteral("--exclude-current"), &options.excludeCurrent);
    CliOptions::boolean(args, QStringLiteral("--weighted"), &options.weighted);
    if (const std::optional<PublicationOrder> order = CliOptions::order(args))
        options.publicationOrder = *order;
    session->overrideOptions(options);
    if (orderLine == OrderLine::Announced)
        err << session->drawOrder().chanceLine() << Qt::endl;
    return true;
}

int CliContext::lotteryIndex() const
{
    return lotteryOverride >= 0 ? lotteryOverride : workspace->settings().lotteryIndex();
}

int CliContext::usageError(const QString& message)
{
    err << message << Qt::endl << "usage: zorvane-cli " << usage << Qt::endl;
    return ExitUsage;
}

QStringList Command::usages() const
{
    QStringList lines;
    const QStringList subs = subcommands();
    if (subs.isEmpty())
        return {syntax(QString()).usage()};
    for (const QString& s : subs)
        lines << syntax(s).usage();
    return lines;
}

int Command::dispatch(CliContext& ctx, const QStringList& args)
{
    QStringList rest = args;
    QString sub;
    const QStringList subs = subcommands();
    if (!subs.isEmpty()) {
        ctx.usage = usages().join(QStringLiteral("\n       zorvane-cli "));
        if (!rest.isEmpty() && CliSyntax::asksForHelp({rest.first()})) {
            ctx.out << "usage: zorvane-cli " << ctx.usage << Qt::endl;
            return ExitOk;
        }
        if (rest.isEmpty())
            return ctx.usageError(QStringLiteral("%1 needs a subcommand: %2").arg(name(), subs.join(", ")));
        sub = rest.takeFirst();
        if (!subs.contains(sub))
            return ctx.usageError(QStringLiteral("unknown %1 subcommand %2").arg(name(), sub));
    }
    const CliSyntax s = syntax(sub);
    if (CliSyntax::asksForHelp(rest)) {
        ctx.out << s.help();
        ctx.out.flush();
        return ExitOk;
    }
    ctx.usage = s.usage();
    CliArguments parsed;
    QString error;
    if (!s.parse(rest, &parsed, &error))
        return ctx.usageError(error);
    return run(ctx, sub, parsed);
}
