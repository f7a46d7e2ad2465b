#include "cli/PastRankCommand.h"

#include "backtest/BacktestRunner.h"
#include "backtest/PastRanking.h"
#include "backtest/PositionHistory.h"
#include "cli/CliOptions.h"
#include "formula/FormulaTableStore.h"
#include "history/HistoryColumns.h"
#include "history/Workspace.h"

QString PastRankCommand::usage() const
{
    return QStringLiteral("pastrank [--kind K] [--sense S] [--position 1|2|3]");
}

int PastRankCommand::run(CliContext& ctx, const QStringList& arguments)
{
    QStringList args = arguments;
    QString error;
    FormulaKind kind;
    std::optional<bool> kill;
    std::optional<QString> positionText;
    if (!CliOptions::takeKind(&args, &kind, &error) || !CliOptions::takeSense(&args, false, &kill, &error) ||
        !CliOptions::take(&args, QStringLiteral("--position"), &positionText, &error))
        return usageError(ctx, error);
    int position = kind.position;
    if (positionText) {
        bool ok = false;
        position = positionText->toInt(&ok);
        if (!ok || position < 1 || position > 3)
            return usageError(ctx, QStringLiteral("--position takes 1 (个位), 2 (十位) or 3 (百位)"));
    }
    if (!args.isEmpty())
        return usageError(ctx, QStringLiteral("unexpected argument %1").arg(args.first()));
    if (!ctx.openWorkspace())
        return ExitFailure;

    FormulaTableStore store(&ctx.workspace->database());
    std::vector<FormulaRecord> formulas;
    if (!store.loadSubset(kind, *kill, &formulas, &error)) {
        ctx.err << error << Qt::endl;
        return ExitFailure;
    }
    const std::vector<DrawRecord>& draws = ctx.workspace->history().draws();
    const HistoryColumns history(draws);
    std::vector<PastRankingDraw> ranking;
    if (!PastRanking::build(draws, history, BacktestRunner::compileAll(formulas),
                            std::vector<bool>(formulas.size(), true), *kill, &ranking, &error)) {
        ctx.err << error << Qt::endl;
        return ExitFailure;
    }
    ctx.out << PositionHistory::build(ranking, position, kind.single).toTsv();
    return ExitOk;
}
