#include "cli/PastRankCommand.h"

#include "backtest/BacktestRunner.h"
#include "backtest/PastRanking.h"
#include "backtest/PositionHistory.h"
#include "cli/CliOptions.h"
#include "formula/FormulaTableStore.h"
#include "history/HistoryColumns.h"
#include "history/Workspace.h"

CliSyntax PastRankCommand::syntax(const QString& /*sub*/) const
{
    CliSyntax s(QStringLiteral("pastrank"),
                QStringLiteral(
                    "The rows of 历史开奖列表 as a table (期号 ... Err值10, then the \"N次\" columns), every "
                    "formula of the list selected."));
    CliOptions::addKind(s);
    CliOptions::addSense(s, false);
    s.option(QStringLiteral("--position"), QStringLiteral("1|2|3"),
             QStringLiteral("1 个位, 2 十位, 3 百位 (default: the kind's)"));
    return CliOptions::addFormat(s);
}

int PastRankCommand::run(CliContext& ctx, const QString& /*sub*/, const CliArguments& args)
{
    QString error;
    FormulaKind kind;
    if (!CliOptions::kind(args, &kind, &error))
        return ctx.usageError(error);
    const bool kill = *CliOptions::sense(args);
    int position = kind.position;
    if (const std::optional<QString> text = args.value(QStringLiteral("--position")))
        position = text->toInt();
    if (!ctx.openSession(args, CliContext::OrderLine::Silent))
        return ExitFailure;

    FormulaTableStore store(&ctx.workspace->database());
    std::vector<FormulaRecord> formulas;
    if (!store.loadSubset(kind, kill, &formulas, &error)) {
        ctx.err << error << Qt::endl;
        return ExitFailure;
    }
    const std::vector<DrawRecord>& draws = ctx.workspace->history().draws();
    std::vector<PastRankingDraw> ranking;
    if (!PastRanking::build(draws, *ctx.session->columns(), BacktestRunner::compileAll(formulas),
                            std::vector<bool>(formulas.size(), true), kill, &ranking, &error)) {
        ctx.err << error << Qt::endl;
        return ExitFailure;
    }
    const PositionHistory list = PositionHistory::build(ranking, position, kind.single);
    QStringList header;
    for (int c = 0; c < list.columnCount(); ++c)
        header << list.header(c);
    CliTable table(ctx.out, CliOptions::format(args), header);
    for (int r = 0; r < list.rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < list.columnCount(); ++c)
            row << list.text(r, c);
        table.add(row);
    }
    return ExitOk;
}
