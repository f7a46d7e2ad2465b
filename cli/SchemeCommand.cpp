#include "cli/SchemeCommand.h"

#include "backtest/BacktestEngine.h"
#include "cli/CliOptions.h"
#include "cli/SearchCommandSupport.h"
#include "formula/FormulaTableStore.h"
#include "history/Workspace.h"
#include "search/KindSlot.h"
#include "search/NumericText.h"
#include "search/SchemeSearch.h"
#include "search/SearchSettings.h"
#include "store/Settings.h"

#include <QElapsedTimer>

QString SchemeCommand::usage() const
{
    return QStringLiteral("scheme [--sense kill|keep] [--targets t1,t2,t3,t5,t6] [--mode new|keep] "
                          "[--distinct] [--save append|update] [--seed X] [--threads J] [--order auto|ascending|drawn]");
}

int SchemeCommand::run(CliContext& ctx, const QStringList& arguments)
{
    QStringList args = arguments;
    QString error;
    const bool distinct = args.removeAll(QStringLiteral("--distinct")) > 0;
    std::optional<bool> kill;
    std::optional<QString> targets, mode;
    SearchCommandSupport::Common common;
    std::optional<PublicationOrder> order;
    if (!CliOptions::takeSense(&args, false, &kill, &error) || !CliOptions::takeOrder(&args, &order, &error) ||
        !CliOptions::take(&args, QStringLiteral("--targets"), &targets, &error) ||
        !CliOptions::take(&args, QStringLiteral("--mode"), &mode, &error) ||
        !SearchCommandSupport::takeCommon(&args, &common, &error))
        return usageError(ctx, error);
    if (!args.isEmpty())
        return usageError(ctx, QStringLiteral("unexpected argument %1").arg(args.first()));
    std::vector<double> given;
    if (targets &&
        !SearchCommandSupport::parseNumbers(*targets, 5, QStringLiteral("--targets"), &given, &error))
        return usageError(ctx, error);
    SchemeConfig config;
    if (mode && *mode == QLatin1String("keep"))
        config.mode = CountMode::HeldFormulas;
    else if (mode && *mode != QLatin1String("new"))
        return usageError(ctx, QStringLiteral("--mode takes new or keep"));

    if (!ctx.openWorkspace())
        return ExitFailure;
    Workspace& ws = *ctx.workspace;
    SearchSettings settings(&ws.settings());
    FormulaTableStore store(&ws.database());
    config.draws = ws.history().draws();
    config.lookBackDraws = LookBackTable::draws(ws.settings().lookBackIndex());
    config.weighted = ws.settings().weighted();
    config.holdOut = ws.settings().holdOut();
    config.publicationOrder = CliOptions::announceOrder(order, ws, ctx.err);
    config.kill = *kill;
    for (std::size_t i = 0; i < KindSlot::schemeOrder().size(); ++i) {
        const int slot = KindSlot::schemeOrder()[i];
        config.targets.targets[slot] = targets ? std::optional<double>(given[i])
                                               : NumericText::value(settings.schemeTargetText(slot, *kill));
        config.ranges[slot] = settings.ranges(KindSlot::kindNumber(slot), *kill);
        config.operandCounts[slot] = settings.operandCount(slot);
        if (config.targets.targets[slot]) {
            std::vector<FormulaRecord> stored;
            if (!store.loadTable(*KindSlot::kind(slot), &stored, &error)) {
                ctx.err << error << Qt::endl;
                return ExitFailure;
            }
            config.targets.storedCounts[slot] = int(stored.size());
            for (const FormulaRecord& r : stored)
                if (distinct && r.bolKill == *kill)
                    config.knownCodes[slot] << r.gongshi;
        }
    }
    config.distinct = distinct;
    config.seed = common.seed;
    config.threads = common.threads;

    QElapsedTimer clock;
    clock.start();
    SchemeSearch search(config);
    search.start();
    search.runToEnd();
    const double seconds = clock.nsecsElapsed() / 1e9;
    const std::vector<SearchResult> results = search.takeResults();
    SearchCommandSupport::print(ctx, results, search.tried(), seconds,
                                BacktestOptions::heldOutDraws(int(config.draws.size()), config.holdOut) > 0);
    if (common.save && !SearchCommandSupport::save(ctx, results, *common.save, *kill))
        return ExitFailure;
    return ExitOk;
}
