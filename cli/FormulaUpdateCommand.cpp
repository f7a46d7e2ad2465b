#include "cli/FormulaUpdateCommand.h"

#include "cli/CliOptions.h"
#include "formula/FormulaOnlineUpdate.h"
#include "history/Workspace.h"

int FormulaUpdateCommand::run(CliContext& ctx, const QStringList& arguments)
{
    QStringList args = arguments;
    QString error;
    FormulaKind kind;
    std::optional<bool> kill;
    std::optional<QString> url;
    if (!CliOptions::takeKind(&args, &kind, &error) || !CliOptions::takeSense(&args, false, &kill, &error) ||
        !CliOptions::take(&args, QStringLiteral("--url"), &url, &error))
        return usageError(ctx, error);
    if (!CliOptions::leftoverOption(args).isEmpty())
        return usageError(ctx, QStringLiteral("unknown option %1").arg(CliOptions::leftoverOption(args)));
    if (!args.isEmpty())
        return usageError(ctx, QStringLiteral("unexpected argument %1").arg(args.first()));
    if (!ctx.openWorkspace())
        return ExitFailure;
    FormulaUpdateOptions options;
    options.url = url.value_or(QString());
    FormulaOnlineUpdate update(*ctx.workspace, kind, *kill, options);
    QString message;
    if (!update.runBlocking(&message)) {
        ctx.err << message << Qt::endl;
        return ExitFailure;
    }
    ctx.out << message << Qt::endl;
    return ExitOk;
}
