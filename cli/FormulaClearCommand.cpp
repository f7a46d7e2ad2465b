#include "cli/FormulaClearCommand.h"

#include "formula/FormulaClearAll.h"
#include "history/Workspace.h"

CliSyntax FormulaClearCommand::syntax() const
{
    return CliSyntax(
               QStringLiteral("formula clear"),
               QStringLiteral(
                   "Deletes every formula of every kind (清空所有公式), after a backup of the database."))
        .flag(QStringLiteral("--yes"), QStringLiteral("confirms the deletion"));
}

int FormulaClearCommand::run(CliContext& ctx, const CliArguments& args)
{
    if (!args.has(QStringLiteral("--yes")))
        return ctx.usageError(FormulaClearAll::question() + QStringLiteral("（确认请加 --yes）"));
    if (!ctx.openWorkspace())
        return ExitFailure;
    QString error;
    if (!ctx.workspace->backupBefore(FormulaClearAll::title(), &error) ||
        !FormulaClearAll::clearAll(&ctx.workspace->database(), &error)) {
        ctx.err << error << Qt::endl;
        return ExitFailure;
    }
    ctx.out << "cleared" << Qt::endl;
    return ExitOk;
}
