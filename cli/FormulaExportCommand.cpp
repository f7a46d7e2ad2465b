#include "cli/FormulaExportCommand.h"

#include "backtest/FormulaExport.h"
#include "cli/CliOptions.h"
#include "history/Workspace.h"

#include <QDir>

int FormulaExportCommand::run(CliContext& ctx, const QStringList& arguments)
{
    QStringList args = arguments;
    QString error;
    FormulaKind kind;
    std::optional<bool> kill;
    if (!CliOptions::takeKind(&args, &kind, &error) || !CliOptions::takeSense(&args, false, &kill, &error))
        return usageError(ctx, error);
    const bool all = args.removeAll(QStringLiteral("--all")) > 0;
    if (!CliOptions::leftoverOption(args).isEmpty())
        return usageError(ctx, QStringLiteral("unknown option %1").arg(CliOptions::leftoverOption(args)));
    if (!args.isEmpty())
        return usageError(ctx, QStringLiteral("unexpected argument %1").arg(args.first()));
    if (!ctx.openWorkspace())
        return ExitFailure;
    QString path;
    const bool ok = all ? FormulaExport::exportAllKinds(*ctx.workspace, *kill, &path, &error)
                        : FormulaExport::exportCurrentKind(*ctx.workspace, kind, *kill, &path, &error);
    if (!ok) {
        ctx.err << error << Qt::endl;
        return ExitFailure;
    }
    ctx.out << QDir::toNativeSeparators(path) << Qt::endl;
    return ExitOk;
}
