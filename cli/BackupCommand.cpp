#include "cli/BackupCommand.h"

#include "cli/CliOptions.h"
#include "history/Workspace.h"

#include <QDateTime>
#include <QDir>

QStringList BackupCommand::subcommands() const
{
    return {QStringLiteral("list"), QStringLiteral("create"), QStringLiteral("restore")};
}

CliSyntax BackupCommand::syntax(const QString& sub) const
{
    if (sub == QLatin1String("list")) {
        CliSyntax s(
            QStringLiteral("backup list"),
            QStringLiteral("The backups in the data folder's 备份, newest first: time file operation draws "
                           "Gongshi1D Gongshi2D Gongshi3D Gongshi2G Gongshi3G problem."));
        return CliOptions::addFormat(s);
    }
    if (sub == QLatin1String("create"))
        return CliSyntax(QStringLiteral("backup create"),
                         QStringLiteral("Writes a backup of the database now and prints its path."));
    return CliSyntax(QStringLiteral("backup restore"),
                     QStringLiteral(
                         "Backs up the current state, then puts the backup FILE in place of the database."))
        .flag(QStringLiteral("--yes"), QStringLiteral("confirms the restore"))
        .arguments(QStringLiteral("FILE"), 1, 1,
                   QStringLiteral("a backup: its path, or its file name in 备份"));
}

int BackupCommand::run(CliContext& ctx, const QString& sub, const CliArguments& args)
{
    if (sub == QLatin1String("list"))
        return list(ctx, args);
    if (sub == QLatin1String("create"))
        return create(ctx);
    return restore(ctx, args);
}

int BackupCommand::list(CliContext& ctx, const CliArguments& args)
{
    // The backups are listed even when the database itself cannot be opened.
    QString error;
    ctx.workspace->open(ctx.dataDirOption, &error);
    QStringList header{"time", "file", "operation", "draws"};
    header << Database::formulaTables() << QStringLiteral("problem");
    CliTable table(ctx.out, CliOptions::format(args), header);
    const auto count = [](qint64 n) { return n < 0 ? QString() : QString::number(n); };
    for (const BackupInfo& b : ctx.workspace->backups().list()) {
        QStringList row{b.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), QDir(b.path).dirName(),
                        b.operation, count(b.draws)};
        for (qint64 n : b.formulas)
            row << count(n);
        row << b.problem;
        table.add(row);
    }
    return ExitOk;
}

int BackupCommand::create(CliContext& ctx)
{
    if (!ctx.openWorkspace())
        return ExitFailure;
    QString path, error;
    if (!ctx.workspace->backups().write(ctx.workspace->database(), QStringLiteral("手动备份"),
                                        QDateTime::currentDateTime(), &path, &error)) {
        ctx.err << error << Qt::endl;
        return ExitFailure;
    }
    ctx.out << QDir::toNativeSeparators(path) << Qt::endl;
    return ExitOk;
}

int BackupCommand::restore(CliContext& ctx, const CliArguments& args)
{
    if (!args.has(QStringLiteral("--yes")))
        return ctx.usageError(QStringLiteral("恢复备份将用备份中的历史号码和公式替换现在的全部数据（现在的数"
                                             "据会先备份）。（确认请加 --yes）"));
    QString error;
    Workspace& ws = *ctx.workspace;
    // A database that cannot be opened is what a backup is restored for.
    ws.open(ctx.dataDirOption, &error);
    const QString path = ws.backups().resolve(args.positionals().first());
    if (!ws.restoreBackup(path, &error)) {
        ctx.err << error << Qt::endl;
        return ExitFailure;
    }
    if (!ws.lastBackup().isEmpty())
        ctx.err << QStringLiteral("恢复前的数据已备份为“%1”。").arg(QDir::toNativeSeparators(ws.lastBackup()))
                << Qt::endl;
    ctx.err << QStringLiteral("已恢复备份“%1”：%2期历史号码。")
                   .arg(QDir::toNativeSeparators(path))
                   .arg(ws.history().draws().size())
            << Qt::endl;
    return ExitOk;
}
