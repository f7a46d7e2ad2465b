#include "cli/CalcCommand.h"

#include "backtest/BacktestRunner.h"
#include "cli/CliOptions.h"
#include "formula/FormulaTableStore.h"
#include "history/HistoryColumns.h"
#include "history/Workspace.h"
#include "killkeep/CalculationReplay.h"
#include "killkeep/CalculationRun.h"

#include <algorithm>

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

// Each of the newest `count` draws calculated from the draws before it, beside what was drawn:
// TSV "issue drawn killed killed_drawn levels", the summary on stderr.
bool CalcCommand::replay(Workspace& workspace, const CalculationRequest& request, int count,
                         ReplayResult* result, QString* error)
{
    const std::vector<DrawRecord>& draws = workspace.history().draws();
    if (!CalculationReplay::checkDraws(count, int(draws.size()), request.backtest.lookBackDraws, error))
        return false;
    std::vector<CalculationTable> tables;
    if (!CalculationRun::loadTables(FormulaTableStore(&workspace.database()), request, &tables, error))
        return false;
    if (std::all_of(tables.begin(), tables.end(),
                    [](const CalculationTable& t) { return t.formulas.empty(); })) {
        *error = noFormulasMessage(request);
        return false;
    }
    *result = CalculationReplay::run(tables, draws, HistoryColumns(draws), count, request);
    return true;
}

int CalcCommand::runReplay(CliContext& ctx, const CalculationRequest& request, int count) const
{
    ReplayResult result;
    QString error;
    if (!replay(*ctx.workspace, request, count, &result, &error)) {
        ctx.err << error << Qt::endl;
        return ExitFailure;
    }
    ctx.out << "issue\tdrawn\tkilled\tkilled_drawn\tlevels\n";
    for (const ReplayDraw& d : result.draws)
        ctx.out << d.issue << '\t' << d.drawnText() << '\t' << d.killedText(false) << '\t' << d.killedDrawn
                << '\t' << d.levelsText(false) << '\n';
    ctx.out.flush();
    ctx.err << result.summary.absentText() << Qt::endl << result.summary.levelsText() << Qt::endl;
    return ExitOk;
}

QString CalcCommand::noFormulasMessage(const CalculationRequest& request)
{
    const std::vector<FormulaKind> kinds = CalculationRun::votingKinds(request.kind);
    const QString tables =
        kinds.size() == 1 ? kinds.front().kindText()
                          : QStringLiteral("%1到%2都").arg(kinds.front().kindText(), kinds.back().kindText());
    return QStringLiteral("%1没有%2码公式，无法计算。")
        .arg(tables, request.kill ? QStringLiteral("杀") : QStringLiteral("生"));
}

QString CalcCommand::usage() const
{
    return QStringLiteral(
        "calc [--kind K] [--sense S] [--method best|selected] [--keys KEY,KEY,KEY] [--limit L] "
        "[--issue ISSUE | --replay K]");
}

bool CalcCommand::takeRequest(QStringList* args, CalculationRequest* request, std::optional<QString>* method,
                              QString* error)
{
    std::optional<bool> kill;
    std::optional<QString> keys, limit;
    if (!CliOptions::takeKind(args, &request->kind, error) ||
        !CliOptions::takeSense(args, false, &kill, error) ||
        !CliOptions::take(args, QStringLiteral("--method"), method, error) ||
        !CliOptions::take(args, QStringLiteral("--keys"), &keys, error) ||
        !CliOptions::take(args, QStringLiteral("--limit"), &limit, error))
        return false;
    request->kill = *kill;
    if (*method && **method != QLatin1String("best") && **method != QLatin1String("selected")) {
        *error = QStringLiteral("--method takes best or selected");
        return false;
    }
    // The sort window's defaults: 正确率 alone, L = 3.
    request->keys = {FormulaOrderKey::preferred(FormulaFigure::Rate)};
    if (keys) {
        const QStringList names = keys->split(QLatin1Char(','));
        if (names.size() > 3) {
            *error = QStringLiteral("--keys takes at most three keys");
            return false;
        }
        request->keys.clear();
        for (const QString& n : names) {
            const auto key = keyNamed(n.trimmed());
            if (!key) {
                *error = QStringLiteral("--keys takes rate, max_miss_run, max_hit_run, "
                                        "final_miss_run, final_hit_run, p or excess, not \"%1\"")
                             .arg(n);
                return false;
            }
            request->keys.push_back(*key);
        }
    }
    if (limit) {
        bool ok = false;
        request->limit = limit->toInt(&ok);
        if (!ok || request->limit < -32768 || request->limit > 32767) {
            *error = QStringLiteral("--limit takes a whole number");
            return false;
        }
    }
    return true;
}

void CalcCommand::completeRequest(Workspace& workspace, const std::optional<QString>& method,
                                  CalculationRequest* request)
{
    // Without --method the window's stored choice "JSFF" decides.
    request->bestMethod =
        method ? *method == QLatin1String("best") : !workspace.settings().calculateSelected();
    request->backtest = BacktestOptions::fromSettings(workspace.settings());
}

int CalcCommand::run(CliContext& ctx, const QStringList& arguments)
{
    QStringList args = arguments;
    QString error;
    CalculationRequest request;
    std::optional<QString> method, issue, replay;
    if (!takeRequest(&args, &request, &method, &error) ||
        !CliOptions::take(&args, QStringLiteral("--issue"), &issue, &error) ||
        !CliOptions::take(&args, QStringLiteral("--replay"), &replay, &error))
        return usageError(ctx, error);
    int replayDraws = 0;
    if (replay) {
        bool ok = false;
        replayDraws = replay->toInt(&ok);
        if (!ok || replayDraws < 1)
            return usageError(ctx, QStringLiteral("--replay takes a number of draws (1 or more)"));
        if (issue)
            return usageError(ctx, QStringLiteral("--replay and --issue cannot be used together"));
    }
    if (!args.isEmpty())
        return usageError(ctx, QStringLiteral("unexpected argument %1").arg(args.first()));
    if (!ctx.openWorkspace())
        return ExitFailure;
    Workspace& ws = *ctx.workspace;
    completeRequest(ws, method, &request);

    const std::vector<DrawRecord>& draws = ws.history().draws();
    if (replay)
        return runReplay(ctx, request, replayDraws);
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
    if (!backtest.statisticsStored)
        ctx.err << BacktestRunner::notStoredNote() << Qt::endl;
    CalculationOutcome outcome;
    if (!CalculationRun::run(store, history, targetRow, request, &outcome, &error)) {
        ctx.err << error << Qt::endl;
        return ExitFailure;
    }
    if (outcome.formulaCount == 0) {
        ctx.err << noFormulasMessage(request) << Qt::endl;
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
