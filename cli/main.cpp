#include "cli/BacktestCommand.h"
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

    auto printUsage = [&] {
        err << "usage: zorvane-cli [--data-dir DIR] [--lottery INDEX] COMMAND ...\n";
        for (const auto& c : commands)
            err << "  " << c->usage() << '\n';
        err.flush();
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
            printUsage();
            return ExitOk;
        } else {
            err << "unknown option " << args.first() << Qt::endl;
            printUsage();
            return ExitUsage;
        }
    }
    if (args.isEmpty()) {
        printUsage();
        return ExitUsage;
    }
    for (const auto& c : commands) {
        if (c->name() == args.first()) {
            const int code = c->run(ctx, args.mid(1));
            out.flush();
            err.flush();
            return code;
        }
    }
    err << "unknown command " << args.first() << Qt::endl;
    printUsage();
    return ExitUsage;
}
