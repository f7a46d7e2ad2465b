#include "cli/FormulaClearCommand.h"

#include "formula/FormulaClearAll.h"
#include "history/Workspace.h"

int FormulaClearCommand::run(CliContext& ctx, const QStringList& arguments)
{
    QStringList args = arguments;
    const bool confirmed = args.removeAll(QStringLiteral("--yes")) > 0;
    if (!args.isEmpty())
        return usageError(ctx, QStringLiteral("unexpected argument %1").arg(args.first()));
    if (!confirmed)
        return usageError(ctx, FormulaClearAll::question() + QStringLiteral("（确认请加 --yes）"));
    if (!ctx.openWorkspace())
        return ExitFailure;
    QString error;
    if (!FormulaClearAll::clearAll(&ctx.workspace->database(), &error)) {
        ctx.err << error << Qt::endl;
        return ExitFailure;
    }
    ctx.out << "cleared" << Qt::endl;
    return ExitOk;
}
