#include "cli/FormulaDedupeCommand.h"

#include "backtest/EquivalentFormulas.h"
#include "cli/CliOptions.h"
#include "formula/FormulaTableStore.h"
#include "history/HistoryColumns.h"
#include "history/Workspace.h"

int FormulaDedupeCommand::run(CliContext& ctx, const QStringList& arguments)
{
    QStringList args = arguments;
    QString error;
    FormulaKind kind;
    std::optional<bool> kill;
    if (!CliOptions::takeKind(&args, &kind, &error) || !CliOptions::takeSense(&args, true, &kill, &error))
        return usageError(ctx, error);
    const bool confirmed = args.removeAll(QStringLiteral("--yes")) > 0;
    if (!args.isEmpty())
        return usageError(ctx, QStringLiteral("unexpected argument %1").arg(args.first()));
    if (!ctx.openWorkspace())
        return ExitFailure;
    Workspace& ws = *ctx.workspace;
    const HistoryColumns history(ws.history().draws());
    FormulaTableStore store(&ws.database());
    std::vector<EquivalentGroup> groups;
    for (bool sense : {true, false}) {
        if (kill && *kill != sense)
            continue;
        std::vector<EquivalentGroup> found;
        if (!EquivalentFormulas::find(store, history, kind, sense, &found, &error)) {
            ctx.err << error << Qt::endl;
            return ExitFailure;
        }
        groups.insert(groups.end(), found.begin(), found.end());
    }
    ctx.out << "sense\tkept_idx\tkept_gongshi\tequivalent_idx\tequivalent_gongshi\n";
    for (const EquivalentGroup& g : groups)
        for (const FormulaRecord& r : g.equivalents)
            ctx.out << CliOptions::senseWord(g.kept.bolKill) << '\t' << g.kept.idx << '\t' << g.kept.gongshi
                    << '\t' << r.idx << '\t' << r.gongshi << '\n';
    const int count = EquivalentFormulas::equivalentCount(groups);
    ctx.out << "groups " << groups.size() << " equivalents " << count << '\n';
    if (!confirmed || count == 0)
        return ExitOk;
    // Both senses live in one table: their equivalents go in one transaction.
    const int deleted = EquivalentFormulas::deleteEquivalents(&ws.database(), kind, groups, &error);
    if (deleted < 0) {
        ctx.err << error << Qt::endl;
        return ExitFailure;
    }
    if (!ws.compact(&error)) {
        ctx.err << error << Qt::endl;
        return ExitFailure;
    }
    ctx.out << "deleted " << deleted << '\n';
    return ExitOk;
}
