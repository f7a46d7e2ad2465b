#include "cli/FormulaImportCommand.h"

#include "cli/CliOptions.h"
#include "formula/FormulaImport.h"
#include "history/Workspace.h"

#include <QDir>

int FormulaImportCommand::run(CliContext& ctx, const QStringList& arguments)
{
    QStringList args = arguments;
    QString error;
    FormulaImportOptions options;
    std::optional<bool> kill;
    if (!CliOptions::takeKind(&args, &options.startKind, &error) ||
        !CliOptions::takeSense(&args, false, &kill, &error))
        return usageError(ctx, error);
    if (!CliOptions::leftoverOption(args).isEmpty())
        return usageError(ctx, QStringLiteral("unknown option %1").arg(CliOptions::leftoverOption(args)));
    if (args.size() != 1)
        return usageError(ctx, QStringLiteral("formula import takes one FILE"));
    options.startKill = *kill;
    if (!ctx.openWorkspace())
        return ExitFailure;
    options.unrecognisedPath =
        QDir(ctx.workspace->dataFolder()).filePath(FormulaImport::unrecognisedFileName());
    FormulaImport import(&ctx.workspace->database(), options);
    FormulaImportResult result;
    if (!import.importFile(args.first(), &result, &error)) {
        ctx.err << error << Qt::endl;
        return ExitFailure;
    }
    ctx.out << "added " << result.added << " rejected " << result.rejected << Qt::endl;
    if (!result.unrecognisedPath.isEmpty())
        ctx.out << QDir::toNativeSeparators(result.unrecognisedPath) << Qt::endl;
    // The formulas are added: a list of rejected lines that could not be written does not undo them.
    if (!result.unrecognisedError.isEmpty())
        ctx.err << result.unrecognisedError << QStringLiteral("无法识别的公式没有写入文件；公式已经导入。")
                << Qt::endl;
    return ExitOk;
}
