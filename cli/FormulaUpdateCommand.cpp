#include "cli/FormulaUpdateCommand.h"

#include "cli/CliOptions.h"
#include "formula/FormulaOnlineUpdate.h"
#include "history/Workspace.h"

CliSyntax FormulaUpdateCommand::syntax() const
{
    CliSyntax s(
        QStringLiteral("formula update"),
        QStringLiteral("The online formula update: downloads the formula file (setting FormulaUrl), keeps it "
                       "as Pelq.txt and,\nafter a backup of the database, replaces every stored formula by "
                       "the file's; exit 1 with the reason, formulas unchanged."));
    s.option(QStringLiteral("--url"), QStringLiteral("URL"), QStringLiteral("the formula file's address"));
    CliOptions::addKind(s);
    CliOptions::addSense(s, false);
    return s;
}

int FormulaUpdateCommand::run(CliContext& ctx, const CliArguments& args)
{
    QString error;
    FormulaKind kind;
    if (!CliOptions::kind(args, &kind, &error))
        return ctx.usageError(error);
    if (!ctx.openWorkspace())
        return ExitFailure;
    FormulaUpdateOptions options;
    options.url = args.value(QStringLiteral("--url")).value_or(QString());
    FormulaOnlineUpdate update(*ctx.workspace, kind, *CliOptions::sense(args), options);
    QString message;
    if (!update.runBlocking(&message)) {
        ctx.err << message << Qt::endl;
        return ExitFailure;
    }
    ctx.out << message << Qt::endl;
    return ExitOk;
}
