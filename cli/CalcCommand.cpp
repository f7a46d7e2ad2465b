#include "cli/CalcCommand.h"

#include "backtest/BacktestRunner.h"
#include "cli/CliOptions.h"
#include "formula/FormulaTableStore.h"
#include "history/HistoryColumns.h"
#include "history/Workspace.h"
#include "killkeep/CalculationRun.h"

namespace {

// A sort key by the back-test TSV's column name or the sort window's caption, with the sort
// window's direction.
std::optional<FormulaOrderKey> keyNamed(const QString& name)
{
    static const std::pair<const char*, FormulaFigure> names[] = {
        {"rate", FormulaFigure::Rate},
        {"max_miss_run", FormulaFigure::MaxMiss},
        {"max_hit_run", FormulaFigure::MaxHit},
        {"final_miss_run", FormulaFigure::FinalMiss},
        {"final_hit_run", FormulaFigure::FinalHit},
        {"p", FormulaFigure::PValue},
        {"excess", FormulaFigure::Excess},
    };
    for (const auto& [code, figure] : names)
        if (name == QLatin1String(code) || name == FormulaOrdering::caption(figure))
            return FormulaOrderKey::preferred(figure);
    return std::nullopt;
}

} // namespace

QString CalcCommand::usage() const
{
    return QStringLiteral(
        "calc [--kind K] [--sense S] [--method best|selected] [--keys KEY,KEY,KEY] [--limit L] "
        "[--issue ISSUE]");
}

int CalcCommand::run(CliContext& ctx, const QStringList& arguments)
{
    QStringList args = arguments;
    QString error;
    CalculationRequest request;
    std::optional<bool> kill;
    std::optional<QString> method, keys, limit, issue;
    if (!CliOptions::takeKind(&args, &request.kind, &error) ||
        !CliOptions::takeSense(&args, false, &kill, &error) ||
        !CliOptions::take(&args, QStringLiteral("--method"), &method, &error) ||
        !CliOptions::take(&args, QStringLiteral("--keys"), &keys, &error) ||
        !CliOptions::take(&args, QStringLiteral("--limit"), &limit, &error) ||
        !CliOptions::take(&args, QStringLiteral("--issue"), &issue, &error))
        return usageError(ctx, error);
    if (!args.isEmpty())
        return usageError(ctx, QStringLiteral("unexpected argument %1").arg(args.first()));
    request.kill = *kill;
    if (method && *method != QLatin1String("best") && *method != QLatin1String("selected"))
        return usageError(ctx, QStringLiteral("--method takes best or selected"));
    // The sort window's defaults: 正确率 alone, L = 3.
    request.keys = {FormulaOrderKey::preferred(FormulaFigure::Rate)};
    if (keys) {
        const QStringList names = keys->split(QLatin1Char(','));
        if (names.size() > 3)
            return usageError(ctx, QStringLiteral("--keys takes at most three keys"));
        request.keys.clear();
        for (const QString& n : names) {
            const auto key = keyNamed(n.trimmed());
            if (!key)
                return usageError(ctx,
                                  QStringLiteral("--keys takes rate, max_miss_run, max_hit_run, "
                                                 "final_miss_run, final_hit_run, p or excess, not \"%1\"")
                                      .arg(n));
            request.keys.push_back(*key);
        }
    }
    if (limit) {
        bool ok = false;
        request.limit = limit->toInt(&ok);
        if (!ok || request.limit < -32768 || request.limit > 32767)
            return usageError(ctx, QStringLiteral("--limit takes a whole number"));
    }
    if (!ctx.openWorkspace())
        return ExitFailure;
    Workspace& ws = *ctx.workspace;
    // Without --method the window's stored choice "JSFF" decides.
    request.bestMethod = method ? *method == QLatin1String("best") : !ws.settings().calculateSelected();
    request.backtest = BacktestOptions::fromSettings(ws.settings());

    const std::vector<DrawRecord>& draws = ws.history().draws();
    int targetRow = 0;
    if (!CalculationRun::targetRow(draws, issue, &targetRow, &error)) {
        ctx.err << error << Qt::endl;
        return ExitFailure;
    }
    FormulaTableStore store(&ws.database());
    const HistoryColumns history(draws);
    // The window back-tests the kind whenever it is shown; the best method walks those figures.
    SubsetBacktest backtest;
    if (!BacktestRunner::yansuan(store, history, request.kind, request.kill,
                                 BacktestOptions::fromSettings(ws.settings()), &backtest, &error)) {
        ctx.err << error << Qt::endl;
        return ExitFailure;
    }
    CalculationOutcome outcome;
    if (!CalculationRun::run(store, history, targetRow, request, &outcome, &error)) {
        ctx.err << error << Qt::endl;
        return ExitFailure;
    }
    if (outcome.formulaCount == 0) {
        const std::vector<FormulaKind> kinds = CalculationRun::votingKinds(request.kind);
        const QString tables =
            kinds.size() == 1
                ? kinds.front().kindText()
                : QStringLiteral("%1到%2都").arg(kinds.front().kindText(), kinds.back().kindText());
        ctx.err << QStringLiteral("%1没有%2码公式，无法计算。")
                       .arg(tables, request.kill ? QStringLiteral("杀") : QStringLiteral("生"))
                << Qt::endl;
        return ExitFailure;
    }

    ctx.out << "position\trank\tnumber\tvotes\tkill_votes\tkeep_votes\tverdict\n";
    for (const auto& [tallyPosition, ranking] : CalculationRun::rankings(outcome, request)) {
        const int position =
            tallyPosition == VoteTally::kGeneralPosition ? request.kind.position : tallyPosition;
        for (const RankingRow& r : ranking.rows())
            ctx.out << position << '\t' << r.rank << '\t' << r.entry.number << '\t' << r.entry.all << '\t'
                    << r.entry.kill << '\t' << r.entry.keep << '\t' << r.verdict() << '\n';
    }
    if (request.bestMethod)
        for (const NextDrawCalculation::WalkStep& s : outcome.walk)
            ctx.out << "walk\t" << s.idx << '\t' << s.gongshi << '\t'
                    << (s.nextText.isEmpty() ? QStringLiteral("-") : s.nextText) << '\n';
    return ExitOk;
}
