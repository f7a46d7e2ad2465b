#include "cli/HistoryCommand.h"

#include "app/Workspace.h"
#include "history/HistoryImport.h"
#include "history/HistoryTextFile.h"

#include <QDir>
#include <QFile>

QString HistoryCommand::usage() const
{
    return QStringLiteral("history add ISSUE DDD | import FILE | export [FILE] | list [--all-columns] | "
                          "delete --last K | --after ISSUE | --all");
}

int HistoryCommand::run(CliContext& ctx, const QStringList& args)
{
    if (args.isEmpty())
        return usageError(ctx, QStringLiteral("history needs a subcommand"));
    const QString sub = args.first();
    const QStringList rest = args.mid(1);
    if (sub == "add")
        return add(ctx, rest);
    if (sub == "import")
        return importFile(ctx, rest);
    if (sub == "export")
        return exportFile(ctx, rest);
    if (sub == "list")
        return list(ctx, rest);
    if (sub == "delete")
        return remove(ctx, rest);
    return usageError(ctx, QStringLiteral("unknown history subcommand %1").arg(sub));
}

int HistoryCommand::add(CliContext& ctx, const QStringList& args)
{
    if (args.size() != 2 || args[1].size() != 3)
        return usageError(ctx, QStringLiteral("history add takes ISSUE and three digits DDD"));
    std::array<int, 3> numbers{};
    for (int i = 0; i < 3; ++i) {
        numbers[i] = args[1][i].digitValue();
        if (numbers[i] < 0)
            return usageError(ctx, QStringLiteral("DDD must be three digits"));
    }
    if (!ctx.openWorkspace())
        return ExitFailure;
    QString error;
    Workspace& ws = *ctx.workspace;
    if (!ws.history().addTyped(args[0], numbers, ws.lottery().drawsPerDay, &error)) {
        ctx.err << error << Qt::endl;
        return ExitFailure;
    }
    return ExitOk;
}

int HistoryCommand::importFile(CliContext& ctx, const QStringList& args)
{
    if (args.size() != 1)
        return usageError(ctx, QStringLiteral("history import takes FILE"));
    QFile f(args[0]);
    if (!f.open(QIODevice::ReadOnly)) {
        ctx.err << QStringLiteral("无法读取文件“%1”：%2").arg(args[0], f.errorString()) << Qt::endl;
        return ExitFailure;
    }
    const QByteArray content = f.readAll();
    if (!ctx.openWorkspace())
        return ExitFailure;
    Workspace& ws = *ctx.workspace;
    QStringList problems;
    const int added = HistoryImport::importText(&ws.history(), content, ws.lottery().drawsPerDay, &problems);
    if (added < 0) {
        for (const QString& p : problems)
            ctx.err << p << Qt::endl;
        ctx.err << QStringLiteral("没有导入任何历史号码。") << Qt::endl;
        return ExitFailure;
    }
    return ExitOk;
}

int HistoryCommand::exportFile(CliContext& ctx, const QStringList& args)
{
    if (args.size() > 1)
        return usageError(ctx, QStringLiteral("history export takes at most one FILE"));
    if (!ctx.openWorkspace())
        return ExitFailure;
    Workspace& ws = *ctx.workspace;
    const DrawRecord* newest = ws.history().newest();
    const QString path = args.isEmpty()
                             ? HistoryTextFile::exportPath(ws.dataFolder(), newest ? newest->issue : QString())
                             : QDir::current().absoluteFilePath(args[0]);
    QString error;
    if (!HistoryTextFile::write(path, ws.history().draws(), &error)) {
        ctx.err << error << Qt::endl;
        return ExitFailure;
    }
    ctx.out << path << Qt::endl;
    return ExitOk;
}

int HistoryCommand::list(CliContext& ctx, const QStringList& args)
{
    const bool all = args.size() == 1 && args[0] == "--all-columns";
    if (!args.isEmpty() && !all)
        return usageError(ctx, QStringLiteral("history list takes only --all-columns"));
    if (!ctx.openWorkspace())
        return ExitFailure;
    const int columns = all ? kParameterCount : 3;
    ctx.out << "strQQH";
    for (int c = 0; c < columns; ++c)
        ctx.out << '\t' << ParameterTable::code(c);
    ctx.out << '\n';
    for (const auto& d : ctx.workspace->history().draws()) {
        ctx.out << d.issue;
        for (int c = 0; c < columns; ++c)
            ctx.out << '\t' << d.values[c];
        ctx.out << '\n';
    }
    return ExitOk;
}

int HistoryCommand::remove(CliContext& ctx, const QStringList& args)
{
    enum { Last, After, All } mode;
    QString value;
    if (args.size() == 2 && args[0] == "--last")
        mode = Last;
    else if (args.size() == 2 && args[0] == "--after")
        mode = After;
    else if (args.size() == 1 && args[0] == "--all")
        mode = All;
    else
        return usageError(ctx, QStringLiteral("history delete takes --last K, --after ISSUE or --all"));
    if (mode != All)
        value = args[1];
    bool ok = true;
    const int count = mode == Last ? value.toInt(&ok) : 0;
    if (!ok || count < 0)
        return usageError(ctx, QStringLiteral("--last takes a whole number"));
    if (!ctx.openWorkspace())
        return ExitFailure;
    HistoryStore& h = ctx.workspace->history();
    QString error;
    const int removed = mode == Last ? h.deleteLast(count, &error)
                        : mode == After ? h.deleteAfter(value, &error)
                                        : h.deleteAll(&error);
    if (removed < 0 || (removed > 0 && !ctx.workspace->compact(&error))) {
        ctx.err << error << Qt::endl;
        return ExitFailure;
    }
    return ExitOk;
}
