#include "cli/BacktestCommand.h"

#include "backtest/BacktestRunner.h"
#include "backtest/ChanceSummary.h"
#include "cli/CliOptions.h"
#include "cli/SearchCommandSupport.h"
#include "formula/FormulaTableStore.h"
#include "history/HistoryColumns.h"
#include "history/Workspace.h"

QString BacktestCommand::usage() const
{
    return QStringLiteral(
        "backtest [--kind K] [--sense kill|keep] [--lookback W] [--exclude-current true|false] "
        "[--weighted true|false] [--holdout H]");
}

int BacktestCommand::run(CliContext& ctx, const QStringList& arguments)
{
    QStringList args = arguments;
    QString error;
    FormulaKind kind;
    std::optional<bool> kill;
    std::optional<QString> lookBack, holdOut;
    if (!CliOptions::takeKind(&args, &kind, &error) || !CliOptions::takeSense(&args, false, &kill, &error) ||
        !CliOptions::take(&args, QStringLiteral("--lookback"), &lookBack, &error) ||
        !CliOptions::take(&args, QStringLiteral("--holdout"), &holdOut, &error))
        return usageError(ctx, error);
    int holdOutDraws = 0;
    if (holdOut) {
        bool ok = false;
        holdOutDraws = holdOut->toInt(&ok);
        if (!ok || holdOutDraws < 0)
            return usageError(ctx, QStringLiteral("--holdout takes a number of draws (0 = none)"));
    }
    int lookBackDraws = 0;
    if (lookBack) {
        bool ok = false;
        lookBackDraws = lookBack->toInt(&ok);
        if (!ok || lookBackDraws < 0)
            return usageError(ctx, QStringLiteral("--lookback takes a number of draws (0 = all)"));
    }
    if (!ctx.openWorkspace())
        return ExitFailure;
    Workspace& ws = *ctx.workspace;
    BacktestOptions options = BacktestOptions::fromSettings(ws.settings());
    if (lookBack)
        options.lookBackDraws = lookBackDraws;
    const int drawCount = int(ws.history().draws().size());
    if (holdOut) {
        if (!BacktestOptions::isAllowedHoldOut(holdOutDraws, drawCount)) {
            ctx.err << BacktestOptions::holdOutRefusal(drawCount) << Qt::endl;
            return ExitFailure;
        }
        options.holdOut = holdOutDraws;
    }
    if (!CliOptions::takeBool(&args, QStringLiteral("--exclude-current"), &options.excludeCurrent, &error) ||
        !CliOptions::takeBool(&args, QStringLiteral("--weighted"), &options.weighted, &error))
        return usageError(ctx, error);
    if (!args.isEmpty())
        return usageError(ctx, QStringLiteral("unexpected argument %1").arg(args.first()));

    FormulaTableStore store(&ws.database());
    const HistoryColumns history(ws.history().draws());
    SubsetBacktest run;
    if (!BacktestRunner::yansuan(store, history, kind, *kill, options, &run, &error)) {
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
    ctx.out
        << "n\tidx\tgongshi\trate\tweighted_hits\ttotal_weight\tmax_miss_run\tmax_hit_run\tfinal_miss_run\t"
           "final_hit_run\tnext\thits\ttested\tchance_rate\texcess\tz\tp\tequivalent_to"
        << (withHoldOut ? '\t' + SearchCommandSupport::holdOutHeader() : QString()) << '\n';
    auto optional = [](const std::optional<double>& v, int decimals) {
        return v ? QString::number(*v, 'f', decimals) : QString();
    };
    // "next" keeps its meaning: the value on the newest draw, empty when that draw gives none.
    for (std::size_t i = 0; i < run.formulas.size(); ++i) {
        const FormulaOutcome& o = run.result.outcomes[i];
        const FormulaStats& s = o.stats;
        const ChanceFigures& c = o.chance;
        const int first = run.firstEquivalent[i];
        ctx.out << i + 1 << '\t' << run.formulas[i].idx << '\t' << run.formulas[i].gongshi << '\t'
                << (o.valid ? QString::number(double(s.rate), 'f', 4) : QStringLiteral("invalid")) << '\t'
                << s.weightedHits << '\t' << s.totalWeight << '\t' << s.maxMissRun << '\t' << s.maxHitRun
                << '\t' << s.finalMissRun << '\t' << s.finalHitRun << '\t'
                << (o.nextFromEarlierDraw ? QString() : o.nextText()) << '\t' << c.hits << '\t' << c.tested
                << '\t' << (o.valid ? QString::number(c.chanceRate, 'f', 4) : QString()) << '\t'
                << (o.valid ? QString::number(c.excess, 'f', 4) : QString()) << '\t' << optional(c.z, 3)
                << '\t' << optional(c.p, 6) << '\t'
                << (first >= 0 ? QString::number(run.formulas[std::size_t(first)].idx) : QString())
                << (withHoldOut ? '\t' + SearchCommandSupport::holdOutColumns(o.holdOut) : QString()) << '\n';
    }
    ctx.out.flush();
    ctx.err << ChanceSummary::of(run.result.outcomes).text() << Qt::endl;
    return ExitOk;
}
