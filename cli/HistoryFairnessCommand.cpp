#include "cli/HistoryFairnessCommand.h"

#include "cli/CliOptions.h"
#include "history/DrawFairness.h"
#include "history/Workspace.h"

int HistoryFairnessCommand::run(CliContext& ctx, const QStringList& arguments)
{
    QStringList args = arguments;
    QString error;
    std::optional<QString> last;
    std::optional<PublicationOrder> order;
    auto refuse = [&ctx](const QString& message) {
        ctx.err << message << Qt::endl
                << QStringLiteral("usage: zorvane-cli history ") << usageLine() << Qt::endl;
        return int(ExitUsage);
    };
    if (!CliOptions::take(&args, QStringLiteral("--last"), &last, &error) ||
        !CliOptions::takeOrder(&args, &order, &error))
        return refuse(error);
    if (!args.isEmpty())
        return refuse(QStringLiteral("unexpected argument %1").arg(args.first()));
    int lastDraws = 0;
    if (last) {
        bool ok = false;
        lastDraws = last->toInt(&ok);
        if (!ok || lastDraws < 1)
            return refuse(QStringLiteral("--last takes a number of draws (1 or more)"));
    }
    if (!ctx.openWorkspace())
        return ExitFailure;
    Workspace& ws = *ctx.workspace;
    const std::vector<DrawRecord>& draws = ws.history().draws();
    const PublicationOrder publicationOrder = CliOptions::announceOrder(order, ws, ctx.err);
    const DrawFairness f =
        DrawFairness::of(draws, DrawModel::of(DrawModel::read(draws, publicationOrder).order), lastDraws);
    ctx.out << "cell\tobserved\texpected\n";
    for (const DrawFairness::Cell& c : f.cells)
        ctx.out << c.label << '\t' << c.observed << '\t' << QString::number(c.expected, 'f', 4) << '\n';
    ctx.out << "chi_square\t" << QString::number(f.chiSquare, 'f', 4) << "\t\n"
            << "degrees\t" << f.degrees << "\t\n"
            << "p\t" << QString::number(f.p, 'g', 6) << "\t\n";
    ctx.out.flush();
    ctx.err << f.text() << Qt::endl;
    return ExitOk;
}
