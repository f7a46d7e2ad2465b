#include "cli/HistoryFairnessCommand.h"

#include "cli/CliOptions.h"
#include "history/DrawFairness.h"
#include "history/Workspace.h"

#include <limits>

CliSyntax HistoryFairnessCommand::syntax()
{
    CliSyntax s(
        QStringLiteral("history fairness"),
        QStringLiteral("骰子公平性检验: the stored draws' counts against fair dice read in the publication "
                       "order,\nas a table cell observed expected, then chi_square, degrees and p."));
    s.option(QStringLiteral("--last"), QStringLiteral("N"),
             QStringLiteral("the newest N draws only (default: all)"));
    CliOptions::addOrder(s);
    return CliOptions::addFormat(s);
}

int HistoryFairnessCommand::run(CliContext& ctx, const CliArguments& args)
{
    QString error;
    int lastDraws = 0;
    if (!CliOptions::number(args, QStringLiteral("--last"), 1, std::numeric_limits<int>::max(), &lastDraws,
                            &error, QStringLiteral("--last takes a number of draws (1 or more)")))
        return ctx.usageError(error);
    if (!ctx.openSession(args, CliContext::OrderLine::Announced))
        return ExitFailure;
    const DrawFairness f =
        DrawFairness::of(ctx.workspace->history().draws(), ctx.session->drawModel(), lastDraws);
    CliTable table(ctx.out, CliOptions::format(args), {"cell", "observed", "expected"});
    for (const DrawFairness::Cell& c : f.cells)
        table.add({c.label, QString::number(c.observed), QString::number(c.expected, 'f', 4)});
    table.add({QStringLiteral("chi_square"), QString::number(f.chiSquare, 'f', 4), QString()});
    table.add({QStringLiteral("degrees"), QString::number(f.degrees), QString()});
    table.add({QStringLiteral("p"), QString::number(f.p, 'g', 6), QString()});
    table.finish();
    ctx.out.flush();
    ctx.err << f.text() << Qt::endl;
    return ExitOk;
}
