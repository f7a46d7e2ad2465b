#include "cli/BacktestCommand.h"

#include "backtest/BacktestRunner.h"
#include "backtest/ChanceSummary.h"
#include "cli/CliOptions.h"
#include "cli/SearchCommandSupport.h"
#include "formula/FormulaTableStore.h"
#include "history/DrawFairness.h"
#include "history/HistoryColumns.h"
#include "history/Workspace.h"

#include <limits>

CliSyntax BacktestCommand::syntax(const QString& /*sub*/) const
{
    CliSyntax s(QStringLiteral("backtest"),
                QStringLiteral(
                    "Back-tests the kind's formulas of sense S, writes the figures back and prints them as a "
                    "table;\nthe summary line goes to stderr."));
    CliOptions::addKind(s);
    CliOptions::addSense(s, false);
    s.option(QStringLiteral("--lookback"), QStringLiteral("W"),
             QStringLiteral("draws of the window, 0 = all (default: setting JSQS)"))
        .option(QStringLiteral("--exclude-current"), QStringLiteral("true|false"),
                QStringLiteral("the window leaves out the newest draw (default: setting SyBq)"))
        .option(QStringLiteral("--weighted"), QStringLiteral("true|false"),
                QStringLiteral("weight the draws by age (default: setting ZqlJq)"))
        .option(QStringLiteral("--holdout"), QStringLiteral("H"),
                QStringLiteral(
                    "hold out the newest H draws, adding the holdout_ columns (default: setting HoldOut)"));
    CliOptions::addOrder(s);
    return CliOptions::addFormat(s);
}

int BacktestCommand::run(CliContext& ctx, const QString& /*sub*/, const CliArguments& args)
{
    QString error;
    FormulaKind kind;
    if (!CliOptions::kind(args, &kind, &error))
        return ctx.usageError(error);
    const bool kill = *CliOptions::sense(args);
    // Checked here, before the workspace opens; openSession lays them over the stored options.
    int holdOutDraws = 0, lookBackDraws = 0;
    if (!CliOptions::number(args, QStringLiteral("--holdout"), 0, std::numeric_limits<int>::max(),
                            &holdOutDraws, &error,
                            QStringLiteral("--holdout takes a number of draws (0 = none)")) ||
        !CliOptions::number(args, QStringLiteral("--lookback"), 0, std::numeric_limits<int>::max(),
                            &lookBackDraws, &error,
                            QStringLiteral("--lookback takes a number of draws (0 = all)")))
        return ctx.usageError(error);
    if (!ctx.openSession(args, CliContext::OrderLine::Announced))
        return ExitFailure;
    const AnalysisSession& session = *ctx.session;
    const BacktestOptions options = session.options().backtest();

    FormulaTableStore store(&session.workspace().database());
    const HistoryColumns& history = *session.columns();
    SubsetBacktest run;
    if (!BacktestRunner::yansuan(store, history, kind, kill, options, &run, &error)) {
        ctx.err << error << Qt::endl;
        return ExitFailure;
    }
    if (!run.statisticsStored)
        ctx.err << BacktestRunner::notStoredNote() << Qt::endl;
    if (!BacktestRunner::findEquivalents(history, &run)) {
        ctx.err << QStringLiteral("无法查找等价公式。") << Qt::endl;
        return ExitFailure;
    }
    // The hold-out columns come after the others whenever draws were held out.
    const bool withHoldOut = run.result.heldOut > 0;
    QStringList header{"n",
                       "idx",
                       "gongshi",
                       "rate",
                       "weighted_hits",
                       "total_weight",
                       "max_miss_run",
                       "max_hit_run",
                       "final_miss_run",
                       "final_hit_run",
                       "next",
                       "hits",
                       "tested",
                       "chance_rate",
                       "excess",
                       "z",
                       "p",
                       "equivalent_to"};
    if (withHoldOut)
        header << SearchCommandSupport::holdOutHeader();
    // Last, the p corrected for the many formulas tested together.
    header << QStringLiteral("q");
    CliTable table(ctx.out, CliOptions::format(args), header);
    auto optional = [](const std::optional<double>& v, int decimals) {
        return v ? QString::number(*v, 'f', decimals) : QString();
    };
    // "next" keeps its meaning: the value on the newest draw, empty when that draw gives none.
    for (std::size_t i = 0; i < run.formulas.size(); ++i) {
        const FormulaOutcome& o = run.result.outcomes[i];
        const FormulaStats& s = o.stats;
        const ChanceFigures& c = o.chance;
        const int first = run.firstEquivalent[i];
        QStringList row{QString::number(i + 1),
                        QString::number(run.formulas[i].idx),
                        run.formulas[i].gongshi,
                        o.valid ? QString::number(double(s.rate), 'f', 4) : QStringLiteral("invalid"),
                        QString::number(s.weightedHits),
                        QString::number(s.totalWeight),
                        QString::number(s.maxMissRun),
                        QString::number(s.maxHitRun),
                        QString::number(s.finalMissRun),
                        QString::number(s.finalHitRun),
                        o.nextFromEarlierDraw ? QString() : o.nextText(),
                        QString::number(c.hits),
                        QString::number(c.tested),
                        o.valid ? QString::number(c.chanceRate, 'f', 4) : QString(),
                        o.valid ? QString::number(c.excess, 'f', 4) : QString(),
                        optional(c.z, 3),
                        optional(c.p, 6),
                        first >= 0 ? QString::number(run.formulas[std::size_t(first)].idx) : QString()};
        if (withHoldOut)
            row << SearchCommandSupport::holdOutFields(o.holdOut);
        row << optional(o.q, 6);
        table.add(row);
    }
    table.finish();
    ctx.out.flush();
    const DrawFairness fairness = DrawFairness::of(history, DrawModel::of(run.result.order));
    ctx.err << ChanceSummary::of(run.result.outcomes, &fairness).text() << Qt::endl;
    return ExitOk;
}
