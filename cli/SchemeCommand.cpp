#include "cli/SchemeCommand.h"

#include "backtest/AnalysisOptions.h"
#include "backtest/BacktestEngine.h"
#include "cli/CliOptions.h"
#include "cli/SearchCommandSupport.h"
#include "formula/FormulaTableStore.h"
#include "history/Workspace.h"
#include "search/KindSlot.h"
#include "search/NumericText.h"
#include "search/SchemeReplacement.h"
#include "search/SchemeSearch.h"
#include "search/SearchSettings.h"

#include <QElapsedTimer>

#include <limits>

namespace {

// Without --tries a kind whose ranges admit (next to) nothing stops here instead of running on.
constexpr qint64 kDefaultTriesPerKind = 10000000;
constexpr int kProgressEveryMs = 2000;

QString kindName(int slot, bool kill)
{
    return KindSlot::kind(slot)->kindText() + (kill ? QStringLiteral("杀") : QStringLiteral("生"));
}

// Why a kind ended below its target at the limit: the ranges no candidate fell in on its own, or
// that each did but none fell in all of them at once.
QString shortfall(int slot, bool kill, const SearchRun::Progress& p, double target,
                  const QualificationRanges& ranges)
{
    QString text = QStringLiteral("%1：试了%2个候选公式，合格%3个，没有达到目标%4个就停止了（每类最多试%2个，"
                                  "可用 --tries 改变）。")
                       .arg(kindName(slot, kill))
                       .arg(p.tried)
                       .arg(p.qualified)
                       .arg(target);
    QStringList none;
    for (int r = 0; r < QualificationRanges::kRanges; ++r)
        if (p.inRange[std::size_t(r)] == 0)
            none << ranges.rangeText(r);
    if (!none.isEmpty())
        text += QStringLiteral("没有一个候选公式落在这些范围里：%1。请放宽它们。")
                    .arg(none.join(QStringLiteral("、")));
    else if (p.qualified == 0)
        text += QStringLiteral("每个范围都有候选公式落在里面，但是没有一个同时落在所有范围里。请放宽范围。");
    return text;
}

} // namespace

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
    s.flag(QStringLiteral("--yes"),
           QStringLiteral("confirms --save update, which deletes the stored formulas of every kind that "
                          "finds formulas"));
    s.option(QStringLiteral("--tries"), QStringLiteral("T"),
             QStringLiteral("candidates tried per kind at most (default 10,000,000); a kind that stops short "
                            "names the ranges no candidate fell in"));
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
    config.maxTriesPerKind = kDefaultTriesPerKind;
    if (!CliOptions::number(args, QStringLiteral("--tries"), qint64(1),
                            std::numeric_limits<qint64>::max() / 2, &config.maxTriesPerKind, &error))
        return ctx.usageError(error);
    if (args.value(QStringLiteral("--mode")) == QStringLiteral("keep"))
        config.mode = CountMode::HeldFormulas;

    if (!ctx.openSession(args, CliContext::OrderLine::Announced))
        return ExitFailure;
    Workspace& ws = *ctx.workspace;
    SearchSettings settings(&ws.settings());
    FormulaTableStore store(&ws.database());
    config.draws = ws.history().draws();
    const AnalysisOptions& options = ctx.session->options();
    config.lookBackDraws = options.lookBackDraws();
    config.weighted = options.weighted;
    config.holdOut = options.holdOut;
    config.publicationOrder = options.publicationOrder;
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
    // Replacing deletes what the kinds searched hold: refused before the search unless confirmed.
    if (common.save == SearchResultSaver::Mode::Update && !args.has(QStringLiteral("--yes"))) {
        const std::vector<SchemeReplacement::Loss> losses =
            SchemeReplacement::losses(config.targets, config.mode);
        if (!losses.empty())
            return ctx.usageError(SchemeReplacement::refusal(losses));
    }
    config.distinct = distinct;
    config.seed = common.seed;
    config.threads = common.threads;

    QElapsedTimer clock;
    clock.start();
    SchemeSearch search(config);
    search.start();
    // Progress goes to stderr: every few seconds the kind running, and a line per kind done.
    QElapsedTimer sinceReport;
    sinceReport.start();
    while (!search.isFinished()) {
        if (!search.waitForKind(200)) {
            if (sinceReport.elapsed() >= kProgressEveryMs) {
                const SearchRun::Progress p = search.currentProgress();
                ctx.err << QStringLiteral("%1：已试%2个，合格%3个")
                               .arg(kindName(search.currentSlot(), kill))
                               .arg(p.tried)
                               .arg(p.qualified)
                        << Qt::endl;
                sinceReport.restart();
            }
            continue;
        }
        for (int slot : search.advance()) {
            const SearchRun::Progress& p = search.kindProgress(slot);
            if (p.tried == 0)
                continue; // skipped: no target, or already full
            const std::optional<double> target = SchemePlan::kindTarget(slot, config.targets, config.mode);
            if (target && p.qualified < *target && !p.listFull && p.tried >= config.maxTriesPerKind)
                ctx.err << shortfall(slot, kill, p, *target, config.ranges[slot]) << Qt::endl;
            else
                ctx.err << QStringLiteral("%1：试了%2个，合格%3个")
                               .arg(kindName(slot, kill))
                               .arg(p.tried)
                               .arg(p.qualified)
                        << Qt::endl;
        }
        sinceReport.restart();
    }
    const double seconds = clock.nsecsElapsed() / 1e9;
    const std::vector<SearchResult> results = search.takeResults();
    SearchCommandSupport::print(ctx, CliOptions::format(args), results, search.tried(), seconds,
                                BacktestOptions::heldOutDraws(int(config.draws.size()), config.holdOut) > 0);
    if (common.save && !SearchCommandSupport::save(ctx, results, *common.save, kill))
        return ExitFailure;
    return ExitOk;
}
