#include "cli/ChartCommand.h"

#include "backtest/AnalysisSession.h"
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

CliSyntax ChartCommand::syntax(const QString& /*sub*/) const
{
    CliSyntax s(QStringLiteral("chart"),
                QStringLiteral(
                    "Draws a chart of the window 走势图 offscreen into a PNG and prints \"FILE<TAB>WxH\":\n"
                    "numbers 号码走势, formula IDX 公式走势 of formula IDX of kind K, replay 计算回测 "
                    "(calc's calculation replayed)."));
    CalcCommand::addRequest(s)
        .option(QStringLiteral("--last"), QStringLiteral("N"),
                QStringLiteral("the newest N draws (numbers, replay: default 100)"))
        .option(QStringLiteral("--window"), QStringLiteral("M"),
                QStringLiteral("formula only: the rolling window (default: the look-back, at least 10)"))
        .required(QStringLiteral("--png"), QStringLiteral("FILE"), QStringLiteral("the picture to write"))
        .option(QStringLiteral("--size"), QStringLiteral("WxH"),
                QStringLiteral("pixels, each side 200-8000 (default 1200x800)"));
    return s.arguments(QStringLiteral("numbers|formula IDX|replay"), 1, 2, QStringLiteral("the chart"))
        .argumentsFirst();
}

int ChartCommand::run(CliContext& ctx, const QString& /*sub*/, const CliArguments& args)
{
    QString error;
    QStringList words = args.positionals();
    const QString what = words.takeFirst();
    const bool replay = what == QLatin1String("replay");
    const std::optional<QString> last = args.value(QStringLiteral("--last"));
    const std::optional<QString> window = args.value(QStringLiteral("--window"));
    const QString png = *args.value(QStringLiteral("--png"));
    const std::optional<QString> sizeText = args.value(QStringLiteral("--size"));
    // The replay takes the calculation's options as calc does; the other charts a kind and sense.
    CalculationRequest request;
    std::optional<QString> method;
    if (!CalcCommand::readRequest(args, &request, &method, &error))
        return ctx.usageError(error);
    const FormulaKind kind = request.kind;
    const bool kill = request.kill;
    if (!replay)
        for (const char* option : {"--method", "--keys", "--limit"})
            if (args.has(QLatin1String(option)))
                return ctx.usageError(
                    QStringLiteral("%1 applies to chart replay only").arg(QLatin1String(option)));
    int idx = 0;
    if (what == QLatin1String("formula")) {
        bool ok = false;
        idx = words.isEmpty() ? 0 : words.takeFirst().toInt(&ok);
        if (!ok || idx < 1)
            return ctx.usageError(QStringLiteral("chart formula needs the formula's idx (1 or more)"));
    } else if (what != QLatin1String("numbers") && !replay) {
        return ctx.usageError(QStringLiteral("unknown chart %1: numbers, formula or replay").arg(what));
    }
    if (replay && window)
        return ctx.usageError(QStringLiteral("--window applies to chart formula only"));
    if (!words.isEmpty())
        return ctx.usageError(QStringLiteral("unexpected argument %1").arg(words.first()));
    if (png.isEmpty())
        return ctx.usageError(QStringLiteral("--png FILE is required"));
    QSize size(ChartPicture::kDefaultWidth, ChartPicture::kDefaultHeight);
    if (sizeText && !ChartPicture::parseSize(*sizeText, &size))
        return ctx.usageError(QStringLiteral("--size takes WIDTHxHEIGHT, each from %1 to %2 pixels")
                                  .arg(ChartPicture::kMinimumSide)
                                  .arg(ChartPicture::kMaximumSide));
    int lastDraws = what == QLatin1String("numbers") ? NumberTrend::kDefaultDraws : 0;
    int windowDraws = 0;
    if (!wholeNumber(last, 1, &lastDraws))
        return ctx.usageError(QStringLiteral("--last takes a number of draws (1 or more)"));
    if (!wholeNumber(window, 1, &windowDraws))
        return ctx.usageError(QStringLiteral("--window takes a number of draws (1 or more)"));
    if (!ctx.openSession(args, CliContext::OrderLine::Announced))
        return ExitFailure;
    const AnalysisSession& session = *ctx.session;
    Workspace& ws = session.workspace();
    const std::vector<DrawRecord>& draws = ws.history().draws();
    const DrawModel& model = session.drawModel();

    bool written = false;
    if (what == QLatin1String("numbers")) {
        written = TrendPictures::write(NumberTrend::of(draws, lastDraws, model), size, png, &error);
    } else if (replay) {
        // The newest N draws (default 100, or as many as the history allows).
        CalcCommand::completeRequest(session, method, &request);
        if (!last)
            lastDraws = std::max(
                1, std::min(CalculationReplay::kDefaultDraws,
                            CalculationReplay::maxDraws(int(draws.size()), request.backtest.lookBackDraws)));
        ReplayResult result;
        written = CalcCommand::replay(session, request, lastDraws, &result, &error) &&
                  TrendPictures::write(ReplayTrend::of(result), size, png, &error);
    } else {
        FormulaTableStore store(&ws.database());
        std::vector<FormulaRecord> formulas;
        if (!store.loadSubset(kind, kill, &formulas, &error)) {
            ctx.err << error << Qt::endl;
            return ExitFailure;
        }
        const auto found = std::find_if(formulas.begin(), formulas.end(),
                                        [idx](const FormulaRecord& f) { return f.idx == idx; });
        if (found == formulas.end()) {
            ctx.err << QStringLiteral("%1%2公式中没有序号为 %3 的公式。")
                           .arg(kind.kindText(), kill ? QStringLiteral("杀") : QStringLiteral("生"))
                           .arg(idx)
                    << Qt::endl;
            return ExitFailure;
        }
        if (!window)
            windowDraws = FormulaTrend::defaultWindow(session.options().lookBackDraws());
        QStringList issues;
        for (const DrawRecord& d : draws)
            issues << d.issue;
        FormulaTrend trend =
            FormulaTrend::of(*session.columns(), issues, CompiledFormula::compile(found->gongshi), kind, kill,
                             windowDraws, lastDraws, model);
        trend.title = FormulaTrend::titleOf(kind, kill, *found);
        written = TrendPictures::write(trend, size, png, &error);
    }
    if (!written) {
        ctx.err << error << Qt::endl;
        return ExitFailure;
    }
    ctx.out << QDir::toNativeSeparators(png) << '\t' << size.width() << 'x' << size.height() << Qt::endl;
    return ExitOk;
}
