#include "charts/ChartApplication.h"
#include "cli/BacktestCommand.h"
#include "cli/BackupCommand.h"
#include "cli/CalcCommand.h"
#include "cli/ChartCommand.h"
#include "cli/DeriveCommand.h"
#include "cli/FormulaCommand.h"
#include "cli/HistoryCommand.h"
#include "cli/PastRankCommand.h"
#include "cli/SchemeCommand.h"
#include "cli/SearchCommand.h"
#include "cli/TranslateCommand.h"
#include "history/LotteryTable.h"
#include "history/Workspace.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// The command word: the first argument after the global options (each of which takes a value
// unless written as --NAME=VALUE).
bool commandIsChart(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--data-dir") == 0 || std::strcmp(argv[i], "--lottery") == 0) {
            ++i;
            continue;
        }
        if (std::strncmp(argv[i], "--", 2) == 0)
            continue;
        return std::strcmp(argv[i], "chart") == 0;
    }
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    // Only the chart command loads the graphics; the others run on any machine without a display.
    const std::unique_ptr<QCoreApplication> application =
        ChartApplication::create(argc, argv, commandIsChart(argc, argv));
    QCoreApplication& app = *application;
    QCoreApplication::setApplicationName(QStringLiteral("Zorvane"));
    QTextStream out(stdout);
    QTextStream err(stderr);

    std::vector<std::unique_ptr<Command>> commands;
    commands.push_back(std::make_unique<DeriveCommand>());
    commands.push_back(std::make_unique<HistoryCommand>());
    commands.push_back(std::make_unique<TranslateCommand>());
    commands.push_back(std::make_unique<FormulaCommand>());
    commands.push_back(std::make_unique<BacktestCommand>());
    commands.push_back(std::make_unique<SearchCommand>());
    commands.push_back(std::make_unique<SchemeCommand>());
    commands.push_back(std::make_unique<PastRankCommand>());
    commands.push_back(std::make_unique<CalcCommand>());
    commands.push_back(std::make_unique<ChartCommand>());

    commands.push_back(std::make_unique<BackupCommand>());

    CliSyntax global(QStringLiteral(""), QString());
    global.option(QStringLiteral("--data-dir"), QStringLiteral("DIR"), QString())
        .option(QStringLiteral("--lottery"), QStringLiteral("INDEX"), QString())
        .flag(QStringLiteral("--help"), QString())
        .flag(QStringLiteral("-h"), QString())
        .flag(QStringLiteral("--version"), QString());
    // On stdout when asked for with --help, on stderr after a usage error.
    auto printUsage = [&](QTextStream& stream) {
        stream << "usage: zorvane-cli [--data-dir DIR] [--lottery INDEX] COMMAND ...\n"
               << "       zorvane-cli --help | --version\n"
               << "       zorvane-cli COMMAND [SUBCOMMAND] --help\n";
        for (const auto& c : commands)
            for (const QString& line : c->usages())
                stream << "  " << line << '\n';
        stream.flush();
    };

    const QStringList args = app.arguments().mid(1);
    CliArguments options;
    qsizetype consumed = 0;
    QString error;
    if (!global.parseLeading(args, &options, &consumed, &error)) {
        err << error << Qt::endl;
        printUsage(err);
        return ExitUsage;
    }
    if (options.has(QStringLiteral("--help")) || options.has(QStringLiteral("-h"))) {
        printUsage(out);
        return ExitOk;
    }
    if (options.has(QStringLiteral("--version"))) {
        out << "zorvane-cli " << ZORVANE_VERSION << Qt::endl;
        return ExitOk;
    }
    Workspace workspace;
    CliContext ctx{
        options.value(QStringLiteral("--data-dir")).value_or(QString()), -1, out, err, &workspace, {}, {}};
    if (const std::optional<QString> lottery = options.value(QStringLiteral("--lottery"))) {
        bool ok = false;
        ctx.lotteryOverride = lottery->toInt(&ok);
        if (!ok || !LotteryTable::isValid(ctx.lotteryOverride)) {
            err << "--lottery takes an index from 0 to 14" << Qt::endl;
            return ExitUsage;
        }
    }
    if (consumed >= args.size()) {
        err << "a command is needed" << Qt::endl;
        printUsage(err);
        return ExitUsage;
    }
    const QString word = args[consumed];
    for (const auto& c : commands) {
        if (c->name() == word) {
            const int code = c->dispatch(ctx, args.mid(consumed + 1));
            out.flush();
            err.flush();
            return code;
        }
    }
    err << "unknown command " << word << Qt::endl;
    printUsage(err);
    return ExitUsage;
}
