#include "cli/BacktestCommand.h"
#include "cli/CalcCommand.h"
#include "cli/DeriveCommand.h"
#include "cli/FormulaCommand.h"
#include "cli/HistoryCommand.h"
#include "cli/PastRankCommand.h"
#include "cli/SchemeCommand.h"
#include "cli/SearchCommand.h"
#include "cli/TranslateCommand.h"
#include "history/LotteryTable.h"
#include "history/Workspace.h"
#include "store/DataFolder.h"

#include <QCoreApplication>

#include <cstdio>
#include <memory>
#include <vector>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
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

    // On stdout when asked for with --help, on stderr after a usage error.
    auto printUsage = [&](QTextStream& stream) {
        stream << "usage: zorvane-cli [--data-dir DIR] [--lottery INDEX] COMMAND ...\n"
               << "       zorvane-cli --help | --version\n"
               << "       zorvane-cli COMMAND --help\n";
        for (const auto& c : commands)
            stream << "  " << c->usage() << '\n';
        stream.flush();
    };

    QStringList args = app.arguments().mid(1);
    Workspace workspace;
    CliContext ctx{QString(), -1, out, err, &workspace};
    ctx.dataDirOption = DataFolder::takeOption(&args);
    while (!args.isEmpty() && args.first().startsWith("--")) {
        if (args.first() == "--lottery" && args.size() >= 2) {
            bool ok = false;
            ctx.lotteryOverride = args[1].toInt(&ok);
            if (!ok || !LotteryTable::isValid(ctx.lotteryOverride)) {
                err << "--lottery takes an index from 0 to 14" << Qt::endl;
                return ExitUsage;
            }
            args.remove(0, 2);
        } else if (args.first() == "--help") {
            printUsage(out);
            return ExitOk;
        } else if (args.first() == "--version") {
            out << "zorvane-cli " << ZORVANE_VERSION << Qt::endl;
            return ExitOk;
        } else {
            err << "unknown option " << args.first() << Qt::endl;
            printUsage(err);
            return ExitUsage;
        }
    }
    if (!args.isEmpty() && args.first() == "-h") {
        printUsage(out);
        return ExitOk;
    }
    if (args.isEmpty()) {
        printUsage(err);
        return ExitUsage;
    }
    for (const auto& c : commands) {
        if (c->name() == args.first()) {
            const QStringList rest = args.mid(1);
            if (Command::asksForHelp(rest)) {
                out << "usage: zorvane-cli " << c->usageFor(rest) << Qt::endl;
                return ExitOk;
            }
            const int code = c->run(ctx, rest);
            out.flush();
            err.flush();
            return code;
        }
    }
    err << "unknown command " << args.first() << Qt::endl;
    printUsage(err);
    return ExitUsage;
}
