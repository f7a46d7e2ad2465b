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

CliSyntax SchemeCommand::syntax(const QString& /*sub*/) const
{
    CliSyntax s(QStringLiteral("scheme"),
                QStringLiteral(
                    "The all-kinds search over slots 1, 2, 3, 5, 6 with the stored ranges; the same table as "
                    "search,\n\"tried T qualified Q seconds S\" on stderr."));
    CliOptions::addSense(s, false);
    s.option(QStringLiteral("--targets"), QStringLiteral("t1,t2,t3,t5,t6"),
             QStringLiteral("targets of 个位单选, 十位单选, 百位单选, 十位通选, 百位通选"))
        .option(QStringLiteral("--mode"), QStringLiteral("new|keep"),
                QStringLiteral("公式新增数量 or 公式保有数量"))
        .flag(QStringLiteral("--distinct"),
              QStringLiteral("skip equivalents of stored formulas and earlier results"));
    SearchCommandSupport::addCommon(s);
    CliOptions::addOrder(s);
    return CliOptions::addFormat(s);
}

int SchemeCommand::run(CliContext& ctx, const QString& /*sub*/, const CliArguments& args)
{
    QString error;
    const bool distinct = args.has(QStringLiteral("--distinct"));
    const bool kill = *CliOptions::sense(args);
    const std::optional<QString> targets = args.value(QStringLiteral("--targets"));
    SearchCommandSupport::Common common;
    if (!SearchCommandSupport::readCommon(args, &common, &error))
        return ctx.usageError(error);
    std::vector<double> given;
    if (targets &&
        !SearchCommandSupport::parseNumbers(*targets, 5, QStringLiteral("--targets"), &given, &error))
        return ctx.usageError(error);
    SchemeConfig config;
    if (args.value(QStringLiteral("--mode")) == QStringLiteral("keep"))
        config.mode = CountMode::HeldFormulas;

    if (!ctx.openWorkspace())
        return ExitFailure;
    Workspace& ws = *ctx.workspace;
    SearchSettings settings(&ws.settings());
    FormulaTableStore store(&ws.database());
    config.draws = ws.history().draws();
    config.lookBackDraws = LookBackTable::draws(ws.settings().lookBackIndex());
    config.weighted = ws.settings().weighted();
    config.holdOut = ws.settings().holdOut();
    config.publicationOrder = CliOptions::announceOrder(args, ws, ctx.err);
    config.kill = kill;
    for (std::size_t i = 0; i < KindSlot::schemeOrder().size(); ++i) {
        const int slot = KindSlot::schemeOrder()[i];
        config.targets.targets[slot] = targets ? std::optional<double>(given[i])
                                               : NumericText::value(settings.schemeTargetText(slot, kill));
        config.ranges[slot] = settings.ranges(KindSlot::kindNumber(slot), kill);
        config.operandCounts[slot] = settings.operandCount(slot);
        if (config.targets.targets[slot]) {
            std::vector<FormulaRecord> stored;
            if (!store.loadTable(*KindSlot::kind(slot), &stored, &error)) {
                ctx.err << error << Qt::endl;
                return ExitFailure;
            }
            config.targets.storedCounts[slot] = int(stored.size());
            for (const FormulaRecord& r : stored)
                if (distinct && r.bolKill == kill)
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
    SearchCommandSupport::print(ctx, CliOptions::format(args), results, search.tried(), seconds,
                                BacktestOptions::heldOutDraws(int(config.draws.size()), config.holdOut) > 0);
    if (common.save && !SearchCommandSupport::save(ctx, results, *common.save, kill))
        return ExitFailure;
    return ExitOk;
}
