#include "cli/SearchCommand.h"

#include "backtest/AnalysisOptions.h"
#include "backtest/BacktestEngine.h"
#include "cli/CliOptions.h"
#include "cli/SearchCommandSupport.h"
#include "formula/FormulaTableStore.h"
#include "history/Workspace.h"
#include "search/KindSlot.h"
#include "search/NumericText.h"
#include "search/SearchRun.h"
#include "search/SearchSettings.h"

#include <QElapsedTimer>

#include <limits>

namespace {

constexpr qint64 kDefaultTries = 100000;

} // namespace

CliSyntax SearchCommand::syntax(const QString& /*sub*/) const
{
    CliSyntax s(QStringLiteral("search"),
                QStringLiteral(
                    "The single-kind formula search: tries T candidates (default 100,000; only --target: no "
                    "limit) or stops when Q qualified;\nprints the qualified ones as a table, \"tried T "
                    "qualified Q seconds S\" on stderr."));
    CliOptions::addKind(s);
    CliOptions::addSense(s, false);
    s.option(QStringLiteral("--operands"), QStringLiteral("N"),
             QStringLiteral("operands per formula (default: stored)"))
        .option(QStringLiteral("--tries"), QStringLiteral("T"), QStringLiteral("candidates to try"))
        .option(QStringLiteral("--target"), QStringLiteral("Q"), QStringLiteral("stop once Q qualified"))
        .option(QStringLiteral("--ranges"), QStringLiteral("b0,...,b9"),
                QStringLiteral("the qualification ranges (default: stored for the kind)"))
        .option(QStringLiteral("--lookback"), QStringLiteral("W"),
                QStringLiteral("draws of the window, 0 = all"))
        .option(QStringLiteral("--weighted"), QStringLiteral("true|false"),
                QStringLiteral("weight the draws by age"))
        .option(QStringLiteral("--tail"), QStringLiteral("V|random"),
                QStringLiteral("the constant at the end"))
        .option(QStringLiteral("--form"), QStringLiteral("bracket|next"),
                QStringLiteral("the Chinese form's shape"))
        .flag(QStringLiteral("--distinct"),
              QStringLiteral("skip equivalents of stored formulas and earlier results"))
        .option(QStringLiteral("--holdout"), QStringLiteral("H"),
                QStringLiteral("qualify on the draws before the newest H, adding the holdout_ columns"));
    SearchCommandSupport::addCommon(s);
    CliOptions::addOrder(s);
    return CliOptions::addFormat(s);
}

int SearchCommand::run(CliContext& ctx, const QString& /*sub*/, const CliArguments& args)
{
    QString error;
    FormulaKind kind;
    if (!CliOptions::kind(args, &kind, &error))
        return ctx.usageError(error);
    const bool kill = *CliOptions::sense(args);
    const bool distinct = args.has(QStringLiteral("--distinct"));
    const std::optional<QString> target = args.value(QStringLiteral("--target"));
    const std::optional<QString> ranges = args.value(QStringLiteral("--ranges"));
    const std::optional<QString> tail = args.value(QStringLiteral("--tail"));
    const std::optional<QString> form = args.value(QStringLiteral("--form"));
    SearchCommandSupport::Common common;
    if (!SearchCommandSupport::readCommon(args, &common, &error))
        return ctx.usageError(error);

    // --lookback and --holdout are checked here, before the workspace opens; openSession lays them
    // over the stored options.
    qint64 operandCount = 0, maxTries = target && !args.has(QStringLiteral("--tries")) ? -1 : kDefaultTries,
           targetCount = 0, lookBackDraws = 0, holdOutDraws = 0;
    if (!CliOptions::number(args, QStringLiteral("--operands"), qint64(SearchSettings::kMinOperandCount),
                            qint64(SearchSettings::kMaxOperandCount), &operandCount, &error) ||
        !CliOptions::number(args, QStringLiteral("--tries"), qint64(0),
                            std::numeric_limits<qint64>::max() / 2, &maxTries, &error) ||
        !CliOptions::number(args, QStringLiteral("--target"), qint64(0), qint64(SearchRun::kMaxResults),
                            &targetCount, &error) ||
        !CliOptions::number(args, QStringLiteral("--lookback"), qint64(0), qint64(32767), &lookBackDraws,
                            &error) ||
        !CliOptions::number(args, QStringLiteral("--holdout"), qint64(0), qint64(32767), &holdOutDraws,
                            &error))
        return ctx.usageError(error);
    std::vector<double> bounds;
    if (ranges && !SearchCommandSupport::parseNumbers(*ranges, QualificationRanges::kBoxes,
                                                      QStringLiteral("--ranges"), &bounds, &error))
        return ctx.usageError(error);
    GeneratorOptions generator;
    if (tail && *tail == QLatin1String("random")) {
        generator.randomTail = true;
    } else if (tail) {
        if (!NumericText::value(*tail))
            return ctx.usageError(QStringLiteral("--tail takes a number or random"));
        if (!FormulaGenerator::givenTail(*tail, &generator.givenTail, &error)) {
            ctx.err << error << Qt::endl;
            return ExitUsage;
        }
    }
    const ChineseFormStyle style =
        form && *form == QLatin1String("next") ? ChineseFormStyle::NextDraw : ChineseFormStyle::Bracket;

    if (!ctx.openSession(args, CliContext::OrderLine::Announced))
        return ExitFailure;
    Workspace& ws = *ctx.workspace;
    const AnalysisOptions& options = ctx.session->options();
    const SearchRules rules{
        kind, kill, options.lookBackDraws(), options.weighted, options.holdOut, options.publicationOrder};
    const int drawCount = ctx.session->columns()->drawCount();

    SearchSettings settings(&ws.settings());
    const int slot = KindSlot::of(kind);
    SearchRunConfig config;
    config.evaluator = std::make_shared<CandidateEvaluator>(ws.history().draws(), rules);
    generator.operandCount =
        args.has(QStringLiteral("--operands")) ? int(operandCount) : settings.operandCount(slot);
    config.generator = generator;
    config.style = style;
    config.ranges = settings.ranges(KindSlot::kindNumber(slot), kill);
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
        if (!FormulaTableStore(&ws.database()).loadSubset(kind, kill, &stored, &error)) {
            ctx.err << error << Qt::endl;
            return ExitFailure;
        }
        QStringList codes;
        for (const FormulaRecord& r : stored)
            codes << r.gongshi;
        config.distinct = std::make_shared<DistinctCandidates>(ws.history().draws(), kind, codes);
    }

    QElapsedTimer clock;
    clock.start();
    SearchRun run(config);
    run.start();
    run.wait();
    const double seconds = clock.nsecsElapsed() / 1e9;
    const std::vector<SearchResult> results = run.takeResults();
    SearchCommandSupport::print(ctx, CliOptions::format(args), results, run.progress().tried, seconds,
                                BacktestOptions::heldOutDraws(drawCount, rules.holdOut) > 0);
    if (common.save && !SearchCommandSupport::save(ctx, results, *common.save, kill))
        return ExitFailure;
    return ExitOk;
}
