#include "cli/ChartCommand.h"

#include "charts/ChartPicture.h"
#include "charts/FormulaTrend.h"
#include "charts/NumberTrend.h"
#include "charts/ReplayTrend.h"
#include "charts/TrendPictures.h"
#include "cli/CalcCommand.h"
#include "cli/CliOptions.h"
#include "formula/CompiledFormula.h"
#include "formula/FormulaTableStore.h"
#include "history/HistoryColumns.h"
#include "history/Workspace.h"
#include "killkeep/CalculationReplay.h"
#include "store/Settings.h"

#include <QDir>
#include <algorithm>

namespace {

// A whole number of at least `minimum` from an option's text; false when malformed.
bool wholeNumber(const std::optional<QString>& text, int minimum, int* value)
{
    if (!text)
        return true;
    bool ok = false;
    const int v = text->toInt(&ok);
    if (!ok || v < minimum)
        return false;
    *value = v;
    return true;
}

} // namespace

QString ChartCommand::usage() const
{
    return QStringLiteral("chart numbers|formula IDX|replay [--kind K] [--sense kill|keep] "
                          "[--method best|selected] [--keys KEY,KEY,KEY] [--limit L] [--last N] [--window M] "
                          "--png FILE [--size WxH] [--order auto|ascending|drawn]");
}

int ChartCommand::run(CliContext& ctx, const QStringList& arguments)
{
    QStringList args = arguments;
    QString error;
    FormulaKind kind;
    std::optional<bool> kill;
    std::optional<QString> last, window, png, sizeText, method;
    std::optional<PublicationOrder> order;
    if (!CliOptions::takeOrder(&args, &order, &error) ||
        !CliOptions::take(&args, QStringLiteral("--last"), &last, &error) ||
        !CliOptions::take(&args, QStringLiteral("--window"), &window, &error) ||
        !CliOptions::take(&args, QStringLiteral("--png"), &png, &error) ||
        !CliOptions::take(&args, QStringLiteral("--size"), &sizeText, &error))
        return usageError(ctx, error);
    // The replay takes the calculation's options as calc does; the other charts a kind and sense.
    const bool replay = args.contains(QStringLiteral("replay"));
    CalculationRequest request;
    if (replay ? !CalcCommand::takeRequest(&args, &request, &method, &error)
               : !CliOptions::takeKind(&args, &kind, &error) ||
                     !CliOptions::takeSense(&args, false, &kill, &error))
        return usageError(ctx, error);
    const QString leftover = CliOptions::leftoverOption(args);
    if (!leftover.isEmpty())
        return usageError(ctx, QStringLiteral("unknown option %1").arg(leftover));
    if (args.isEmpty())
        return usageError(ctx, QStringLiteral("chart needs numbers, formula IDX or replay"));
    const QString what = args.takeFirst();
    int idx = 0;
    if (what == QLatin1String("formula")) {
        bool ok = false;
        idx = args.isEmpty() ? 0 : args.takeFirst().toInt(&ok);
        if (!ok || idx < 1)
            return usageError(ctx, QStringLiteral("chart formula needs the formula's idx (1 or more)"));
    } else if (what != QLatin1String("numbers") && what != QLatin1String("replay")) {
        return usageError(ctx, QStringLiteral("unknown chart %1: numbers, formula or replay").arg(what));
    }
    if (replay && window)
        return usageError(ctx, QStringLiteral("--window applies to chart formula only"));
    if (!args.isEmpty())
        return usageError(ctx, QStringLiteral("unexpected argument %1").arg(args.first()));
    if (!png || png->isEmpty())
        return usageError(ctx, QStringLiteral("--png FILE is required"));
    QSize size(ChartPicture::kDefaultWidth, ChartPicture::kDefaultHeight);
    if (sizeText && !ChartPicture::parseSize(*sizeText, &size))
        return usageError(ctx, QStringLiteral("--size takes WIDTHxHEIGHT, each from %1 to %2 pixels")
                                   .arg(ChartPicture::kMinimumSide)
                                   .arg(ChartPicture::kMaximumSide));
    int lastDraws = what == QLatin1String("numbers") ? NumberTrend::kDefaultDraws : 0;
    int windowDraws = 0;
    if (!wholeNumber(last, 1, &lastDraws))
        return usageError(ctx, QStringLiteral("--last takes a number of draws (1 or more)"));
    if (!wholeNumber(window, 1, &windowDraws))
        return usageError(ctx, QStringLiteral("--window takes a number of draws (1 or more)"));
    if (!ctx.openWorkspace())
        return ExitFailure;
    Workspace& ws = *ctx.workspace;
    const std::vector<DrawRecord>& draws = ws.history().draws();
    const PublicationOrder publicationOrder = CliOptions::announceOrder(order, ws, ctx.err);
    const DrawModel& model = DrawModel::of(DrawModel::read(draws, publicationOrder).order);

    bool written = false;
    if (what == QLatin1String("numbers")) {
        written = TrendPictures::write(NumberTrend::of(draws, lastDraws, model), size, *png, &error);
    } else if (replay) {
        // The newest N draws (default 100, or as many as the history allows).
        CalcCommand::completeRequest(ws, method, &request);
        request.backtest.publicationOrder = publicationOrder;
        if (!last)
            lastDraws = std::max(
                1, std::min(CalculationReplay::kDefaultDraws,
                            CalculationReplay::maxDraws(int(draws.size()), request.backtest.lookBackDraws)));
        ReplayResult result;
        written = CalcCommand::replay(ws, request, lastDraws, &result, &error) &&
                  TrendPictures::write(ReplayTrend::of(result), size, *png, &error);
    } else {
        FormulaTableStore store(&ws.database());
        std::vector<FormulaRecord> formulas;
        if (!store.loadSubset(kind, *kill, &formulas, &error)) {
            ctx.err << error << Qt::endl;
            return ExitFailure;
        }
        const auto found = std::find_if(formulas.begin(), formulas.end(),
                                        [idx](const FormulaRecord& f) { return f.idx == idx; });
        if (found == formulas.end()) {
            ctx.err << QStringLiteral("%1%2公式中没有序号为 %3 的公式。")
                           .arg(kind.kindText(), *kill ? QStringLiteral("杀") : QStringLiteral("生"))
                           .arg(idx)
                    << Qt::endl;
            return ExitFailure;
        }
        if (!window)
            windowDraws = FormulaTrend::defaultWindow(LookBackTable::draws(ws.settings().lookBackIndex()));
        QStringList issues;
        for (const DrawRecord& d : draws)
            issues << d.issue;
        FormulaTrend trend =
            FormulaTrend::of(HistoryColumns(draws), issues, CompiledFormula::compile(found->gongshi), kind,
                             *kill, windowDraws, lastDraws, model);
        trend.title = FormulaTrend::titleOf(kind, *kill, *found);
        written = TrendPictures::write(trend, size, *png, &error);
    }
    if (!written) {
        ctx.err << error << Qt::endl;
        return ExitFailure;
    }
    ctx.out << QDir::toNativeSeparators(*png) << '\t' << size.width() << 'x' << size.height() << Qt::endl;
    return ExitOk;
}
