#include "cli/FormulaImportCommand.h"

#include "cli/CliOptions.h"
#include "formula/FormulaImport.h"
#include "history/Workspace.h"
#include "store/BoundedInput.h"

#include <QDir>
#include <QFile>

CliSyntax FormulaImportCommand::syntax() const
{
    CliSyntax s(
        QStringLiteral("formula import"),
        QStringLiteral("Imports a formula text file as the window does, starting from kind K and sense S;\n"
                       "prints \"added N rejected M\", then the path of 无法识别公式.txt when M > 0."));
    CliOptions::addKind(s);
    CliOptions::addSense(s, false);
    return s.arguments(QStringLiteral("FILE|-"), 1, 1,
                       QStringLiteral("the file to read, - for standard input"));
}

int FormulaImportCommand::run(CliContext& ctx, const CliArguments& args)
{
    QString error;
    FormulaImportOptions options;
    if (!CliOptions::kind(args, &options.startKind, &error))
        return ctx.usageError(error);
    options.startKill = *CliOptions::sense(args);
    const QString name = args.positionals().first();
    QByteArray standardInput;
    // Bounded: endless or huge input is refused before it fills the memory.
    if (name == QLatin1String("-") && !BoundedInput::readStandardInput(&standardInput, &error)) {
        ctx.err << error << Qt::endl;
        return ExitFailure;
    }
    if (!ctx.openWorkspace())
        return ExitFailure;
    options.unrecognisedPath =
        QDir(ctx.workspace->dataFolder()).filePath(FormulaImport::unrecognisedFileName());
    FormulaImport import(&ctx.workspace->database(), options);
    FormulaImportResult result;
    const bool imported = name == QLatin1String("-") ? import.importBytes(standardInput, &result, &error)
                                                     : import.importFile(name, &result, &error);
    if (!imported) {
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
