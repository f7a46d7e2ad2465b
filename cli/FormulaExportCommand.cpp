#include "cli/FormulaExportCommand.h"

#include "backtest/FormulaExport.h"
#include "formula/FormulaTextFile.h"
#include "history/Workspace.h"

#include <QDir>
#include <QFile>

CliSyntax FormulaExportCommand::syntax() const
{
    CliSyntax s(QStringLiteral("formula export"),
                QStringLiteral(
                    "Writes the Chinese text export of kind K (所选类公式中文导出), or with --all of every "
                    "kind,\nsense S only, and prints the file's path."));
    s.flag(QStringLiteral("--all"), QStringLiteral("every kind (所有类公式中文导出)"));
    CliOptions::addKind(s);
    CliOptions::addSense(s, false);
    return s.arguments(
        QStringLiteral("[FILE|-]"), 0, 1,
        QStringLiteral("the file to write (default: the window's file name in the data folder), "
                       "- for standard output"));
}

int FormulaExportCommand::run(CliContext& ctx, const CliArguments& args)
{
    QString error;
    FormulaKind kind;
    if (!CliOptions::kind(args, &kind, &error))
        return ctx.usageError(error);
    const bool kill = *CliOptions::sense(args);
    const bool all = args.has(QStringLiteral("--all"));
    if (!ctx.openWorkspace())
        return ExitFailure;
    if (args.positionals().isEmpty()) {
        QString path;
        const bool ok = all ? FormulaExport::exportAllKinds(*ctx.workspace, kill, &path, &error)
                            : FormulaExport::exportCurrentKind(*ctx.workspace, kind, kill, &path, &error);
        if (!ok) {
            ctx.err << error << Qt::endl;
            return ExitFailure;
        }
        ctx.out << QDir::toNativeSeparators(path) << Qt::endl;
        return ExitOk;
    }
    QStringList lines;
    if (!FormulaExport::exportLines(*ctx.workspace, all, kind, kill, &lines, &error)) {
        ctx.err << error << Qt::endl;
        return ExitFailure;
    }
    const QString target = args.positionals().first();
    if (target == QLatin1String("-")) {
        // The file's bytes as the import reads them back (GBK, CR LF), nothing else on stdout.
        ctx.out.flush();
        const QByteArray bytes = FormulaTextFile::encode(lines);
        QFile standardOutput;
        if (!standardOutput.open(stdout, QIODevice::WriteOnly) ||
            standardOutput.write(bytes) != bytes.size() || !standardOutput.flush()) {
            ctx.err << QStringLiteral("无法写入标准输出：%1").arg(standardOutput.errorString()) << Qt::endl;
            return ExitFailure;
        }
        return ExitOk;
    }
    const QString path = QDir::current().absoluteFilePath(target);
    if (!FormulaTextFile::write(path, lines, &error)) {
        ctx.err << error << Qt::endl;
        return ExitFailure;
    }
    ctx.out << QDir::toNativeSeparators(path) << Qt::endl;
    return ExitOk;
}
