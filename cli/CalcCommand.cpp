#include "cli/CalcCommand.h"

#include "backtest/AnalysisSession.h"
#include "backtest/BacktestRunner.h"
#include "cli/CliOptions.h"
#include "formula/FormulaTableStore.h"
#include "history/HistoryColumns.h"
#include "history/Workspace.h"
#include "killkeep/CalculationReplay.h"
#include "killkeep/CalculationRun.h"

#include <algorithm>
#include <limits>

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
bool CalcCommand::replay(const AnalysisSession& session, const CalculationRequest& request, int count,
                         ReplayResult* result, QString* error)
{
    Workspace& workspace = session.workspace();
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
    *result = CalculationReplay::run(tables, draws, *session.columns(), count, request);
    return true;
}

int CalcCommand::runReplay(CliContext& ctx, const CalculationRequest& request, int count,
                           CliFormat format) const
{
    ReplayResult result;
    QString error;
    if (!replay(*ctx.session, request, count, &result, &error)) {
        ctx.err << error << Qt::endl;
        return ExitFailure;
    }
    {
        CliTable table(ctx.out, format, {"issue", "drawn", "killed", "killed_drawn", "levels"});
        for (const ReplayDraw& d : result.draws)
            table.add({d.issue, d.drawnText(), d.killedText(false), QString::number(d.killedDrawn),
                       d.levelsText(false)});
    }
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

CliSyntax& CalcCommand::addRequest(CliSyntax& syntax)
{
    CliOptions::addKind(syntax);
    CliOptions::addSense(syntax, false);
    return syntax
        .option(QStringLiteral("--method"), QStringLiteral("best|selected"),
                QStringLiteral("最优公式法 or every formula (default: setting JSFF)"))
        .option(QStringLiteral("--keys"), QStringLiteral("KEY,KEY,KEY"),
                QStringLiteral("sort keys of the best method: rate max_miss_run max_hit_run final_miss_run "
                               "final_hit_run p excess"))
        .option(QStringLiteral("--limit"), QStringLiteral("L"),
                QStringLiteral("the best method's limit (default 3)"))
        .option(QStringLiteral("--order"), QStringLiteral("auto|ascending|drawn"),
                QStringLiteral("how the draws' numbers are published, for the replay's chance and the p and "
                               "excess keys (default: setting HMSX)"));
}

CliSyntax CalcCommand::syntax(const QString& /*sub*/) const
{
    CliSyntax s(QStringLiteral("calc"),
                QStringLiteral(
                    "计算公式: back-tests kind K as the window does, lets the best or every formula vote and "
                    "prints the ranking as a table\n(position rank number votes kill_votes keep_votes "
                    "verdict); the best method's walk goes to stderr."));
    addRequest(s)
        .option(QStringLiteral("--issue"), QStringLiteral("ISSUE"),
                QStringLiteral("验证历史结果 of that stored issue"))
        .option(QStringLiteral("--replay"), QStringLiteral("K"),
                QStringLiteral("计算方法回测 of the newest K draws: issue drawn killed killed_drawn levels"))
        .flag(QStringLiteral("--walk"),
              QStringLiteral("print the best method's walk as the table (idx gongshi voted) "
                             "instead of the ranking"));
    return CliOptions::addFormat(s);
}

bool CalcCommand::readRequest(const CliArguments& args, CalculationRequest* request,
                              std::optional<QString>* method, QString* error)
{
    if (!CliOptions::kind(args, &request->kind, error))
        return false;
    const std::optional<bool> kill = CliOptions::sense(args);
    *method = args.value(QStringLiteral("--method"));
    const std::optional<QString> keys = args.value(QStringLiteral("--keys"));
    const std::optional<QString> limit = args.value(QStringLiteral("--limit"));
    request->kill = *kill;
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

void CalcCommand::completeRequest(const AnalysisSession& session, const std::optional<QString>& method,
                                  CalculationRequest* request)
{
    // Without --method the window's stored choice "JSFF" decides.
    request->bestMethod =
        method ? *method == QLatin1String("best") : !session.workspace().settings().calculateSelected();
    request->backtest = session.options().backtest();
}

int CalcCommand::run(CliContext& ctx, const QString& /*sub*/, const CliArguments& args)
{
    QString error;
    CalculationRequest request;
    std::optional<QString> method;
    if (!readRequest(args, &request, &method, &error))
        return ctx.usageError(error);
    const std::optional<QString> issue = args.value(QStringLiteral("--issue"));
    const bool replay = args.has(QStringLiteral("--replay"));
    int replayDraws = 0;
    if (replay) {
        if (!CliOptions::number(args, QStringLiteral("--replay"), 1, std::numeric_limits<int>::max(),
                                &replayDraws, &error,
                                QStringLiteral("--replay takes a number of draws (1 or more)")))
            return ctx.usageError(error);
        if (issue)
            return ctx.usageError(QStringLiteral("--replay and --issue cannot be used together"));
    }
    const CliFormat format = CliOptions::format(args);
    // The order bears on the replay's chance and on the best method's p and excess keys; the
    // replay says which it used.
    if (!ctx.openSession(args, replay ? CliContext::OrderLine::Announced : CliContext::OrderLine::Silent))
        return ExitFailure;
    Workspace& ws = *ctx.workspace;
    completeRequest(*ctx.session, method, &request);
    if (replay)
        return runReplay(ctx, request, replayDraws, format);
    const std::vector<DrawRecord>& draws = ws.history().draws();
    int targetRow = 0;
    if (!CalculationRun::targetRow(draws, issue, &targetRow, &error)) {
        ctx.err << error << Qt::endl;
        return ExitFailure;
    }
    FormulaTableStore store(&ws.database());
    const HistoryColumns& history = *ctx.session->columns();
    // The window back-tests the kind whenever it is shown; the best method walks those figures.
    SubsetBacktest backtest;
    if (!BacktestRunner::yansuan(store, history, request.kind, request.kill, request.backtest, &backtest,
                                 &error)) {
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

    const auto voted = [](const NextDrawCalculation::WalkStep& s) {
        return s.nextText.isEmpty() ? QStringLiteral("-") : s.nextText;
    };
    // The walk is a table of its own: on stdout with --walk, else as lines on stderr.
    if (args.has(QStringLiteral("--walk"))) {
        CliTable table(ctx.out, format, {"idx", "gongshi", "voted"});
        if (request.bestMethod)
            for (const NextDrawCalculation::WalkStep& s : outcome.walk)
                table.add({QString::number(s.idx), s.gongshi, voted(s)});
        return ExitOk;
    }
    {
        CliTable table(ctx.out, format,
                       {"position", "rank", "number", "votes", "kill_votes", "keep_votes", "verdict"});
        for (const auto& [tallyPosition, ranking] : CalculationRun::rankings(outcome, request)) {
            const int position =
                tallyPosition == VoteTally::kGeneralPosition ? request.kind.position : tallyPosition;
            for (const RankingRow& r : ranking.rows())
                table.add({QString::number(position), QString::number(r.rank),
                           QString::number(r.entry.number), QString::number(r.entry.all),
                           QString::number(r.entry.kill), QString::number(r.entry.keep), r.verdict()});
        }
    }
    if (request.bestMethod)
        for (const NextDrawCalculation::WalkStep& s : outcome.walk)
            ctx.err << "walk\t" << s.idx << '\t' << s.gongshi << '\t' << voted(s) << Qt::endl;
    return ExitOk;
}
