#include "cli/SearchCommand.h"

#include "backtest/BacktestEngine.h"
#include "cli/CliOptions.h"
#include "cli/SearchCommandSupport.h"
#include "formula/FormulaTableStore.h"
#include "history/Workspace.h"
#include "search/KindSlot.h"
#include "search/NumericText.h"
#include "search/SearchRun.h"
#include "search/SearchSettings.h"
#include "store/Settings.h"

#include <QElapsedTimer>

#include <limits>

namespace {

constexpr qint64 kDefaultTries = 100000;

bool parseCount(const std::optional<QString>& text, const QString& option, qint64 low, qint64 high,
                qint64* out, QString* error)
{
    if (!text)
        return true;
    bool ok = false;
    *out = text->toLongLong(&ok);
    if (!ok || *out < low || *out > high) {
        *error = QStringLiteral("%1 takes a number from %2 to %3").arg(option).arg(low).arg(high);
        return false;
    }
    return true;
}

} // namespace

QString SearchCommand::usage() const
{
    return QStringLiteral(
        "search [--kind K] [--sense kill|keep] [--operands N] [--tries T] [--target Q] [--seed X] "
        "[--threads J] [--ranges b0,...,b9] [--lookback W] [--weighted true|false] "
        "[--tail V|random] [--form bracket|next] [--distinct] [--holdout H] [--save append|update] "
        "[--order auto|ascending|drawn]");
}

int SearchCommand::run(CliContext& ctx, const QStringList& arguments)
{
    QStringList args = arguments;
    QString error;
    const bool distinct = args.removeAll(QStringLiteral("--distinct")) > 0;
    FormulaKind kind;
    std::optional<bool> kill;
    std::optional<QString> operands, tries, target, ranges, lookBack, tail, form, holdOut;
    SearchCommandSupport::Common common;
    std::optional<PublicationOrder> order;
    if (!CliOptions::takeKind(&args, &kind, &error) || !CliOptions::takeSense(&args, false, &kill, &error) ||
        !CliOptions::takeOrder(&args, &order, &error) ||
        !CliOptions::take(&args, QStringLiteral("--operands"), &operands, &error) ||
        !CliOptions::take(&args, QStringLiteral("--tries"), &tries, &error) ||
        !CliOptions::take(&args, QStringLiteral("--target"), &target, &error) ||
        !CliOptions::take(&args, QStringLiteral("--ranges"), &ranges, &error) ||
        !CliOptions::take(&args, QStringLiteral("--lookback"), &lookBack, &error) ||
        !CliOptions::take(&args, QStringLiteral("--tail"), &tail, &error) ||
        !CliOptions::take(&args, QStringLiteral("--form"), &form, &error) ||
        !CliOptions::take(&args, QStringLiteral("--holdout"), &holdOut, &error) ||
        !SearchCommandSupport::takeCommon(&args, &common, &error))
        return usageError(ctx, error);

    qint64 operandCount = 0, maxTries = target && !tries ? -1 : kDefaultTries, targetCount = 0,
           lookBackDraws = 0, holdOutDraws = 0;
    if (!parseCount(operands, QStringLiteral("--operands"), SearchSettings::kMinOperandCount,
                    SearchSettings::kMaxOperandCount, &operandCount, &error) ||
        !parseCount(tries, QStringLiteral("--tries"), 0, std::numeric_limits<qint64>::max() / 2, &maxTries,
                    &error) ||
        !parseCount(target, QStringLiteral("--target"), 0, SearchRun::kMaxResults, &targetCount, &error) ||
        !parseCount(lookBack, QStringLiteral("--lookback"), 0, 32767, &lookBackDraws, &error) ||
        !parseCount(holdOut, QStringLiteral("--holdout"), 0, 32767, &holdOutDraws, &error))
        return usageError(ctx, error);
    std::vector<double> bounds;
    if (ranges && !SearchCommandSupport::parseNumbers(*ranges, QualificationRanges::kBoxes,
                                                      QStringLiteral("--ranges"), &bounds, &error))
        return usageError(ctx, error);
    GeneratorOptions generator;
    if (tail && *tail == QLatin1String("random")) {
        generator.randomTail = true;
    } else if (tail) {
        if (!NumericText::value(*tail))
            return usageError(ctx, QStringLiteral("--tail takes a number or random"));
        if (!FormulaGenerator::givenTail(*tail, &generator.givenTail, &error)) {
            ctx.err << error << Qt::endl;
            return ExitUsage;
        }
    }
    ChineseFormStyle style = ChineseFormStyle::Bracket;
    if (form && *form == QLatin1String("next"))
        style = ChineseFormStyle::NextDraw;
    else if (form && *form != QLatin1String("bracket"))
        return usageError(ctx, QStringLiteral("--form takes bracket or next"));

    if (!ctx.openWorkspace())
        return ExitFailure;
    Workspace& ws = *ctx.workspace;
    SearchRules rules{kind, *kill, LookBackTable::draws(ws.settings().lookBackIndex()),
                      ws.settings().weighted(), ws.settings().holdOut()};
    if (lookBack)
        rules.lookBackDraws = int(lookBackDraws);
    const int drawCount = int(ws.history().draws().size());
    if (holdOut) {
        if (!BacktestOptions::isAllowedHoldOut(int(holdOutDraws), drawCount)) {
            ctx.err << BacktestOptions::holdOutRefusal(drawCount) << Qt::endl;
            return ExitFailure;
        }
        rules.holdOut = int(holdOutDraws);
    }
    if (!CliOptions::takeBool(&args, QStringLiteral("--weighted"), &rules.weighted, &error))
        return usageError(ctx, error);
    if (!args.isEmpty())
        return usageError(ctx, QStringLiteral("unexpected argument %1").arg(args.first()));

    rules.publicationOrder = CliOptions::announceOrder(order, ws, ctx.err);
    SearchSettings settings(&ws.settings());
    const int slot = KindSlot::of(kind);
    SearchRunConfig config;
    config.evaluator = std::make_shared<CandidateEvaluator>(ws.history().draws(), rules);
    generator.operandCount = operands ? int(operandCount) : settings.operandCount(slot);
    config.generator = generator;
    config.style = style;
    config.ranges = settings.ranges(KindSlot::kindNumber(slot), *kill);
    for (std::size_t j = 0; j < bounds.size(); ++j)
        config.ranges.bounds[j] = float(bounds[j]);
    config.seed = common.seed;
    config.threads = common.threads;
    config.maxTries = maxTries;
    if (target)
        config.stopAt = double(targetCount);
    if (distinct) {
        // Equivalents of the formulas stored in the kind's table with the same sense are skipped.
        std::vector<FormulaRecord> stored;
        if (!FormulaTableStore(&ws.database()).loadSubset(kind, *kill, &stored, &error)) {
            ctx.err << error << Qt::endl;
            return ExitFailure;
        }
        QStringList codes;
        for (const FormulaRecord& r : stored)
            codes << r.gongshi;
        config.distinct = std::make_shared<DistinctCandidates>(ws.history().draws(), codes);
    }

    QElapsedTimer clock;
    clock.start();
    SearchRun run(config);
    run.start();
    run.wait();
    const double seconds = clock.nsecsElapsed() / 1e9;
    const std::vector<SearchResult> results = run.takeResults();
    SearchCommandSupport::print(ctx, results, run.progress().tried, seconds,
                                BacktestOptions::heldOutDraws(drawCount, rules.holdOut) > 0);
    if (common.save && !SearchCommandSupport::save(ctx, results, *common.save, *kill))
        return ExitFailure;
    return ExitOk;
}
