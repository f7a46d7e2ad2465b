#include "cli/FormulaDedupeCommand.h"

#include "backtest/EquivalentFormulas.h"
#include "cli/CliOptions.h"
#include "formula/FormulaTableStore.h"
#include "history/HistoryColumns.h"
#include "history/Workspace.h"

CliSyntax FormulaDedupeCommand::syntax() const
{
    CliSyntax s(QStringLiteral("formula dedupe"),
                QStringLiteral(
                    "Lists the equivalent formulas (the same prediction on every stored draw, for 单选 kinds "
                    "also the same vote MOD 10), one row per formula that would go;\n\"groups G equivalents "
                    "K\" on stderr. With --yes deletes "
                    "them after a backup of the database and says \"deleted K\" on stderr."));
    CliOptions::addKind(s);
    CliOptions::addSense(s, true);
    s.flag(QStringLiteral("--yes"),
           QStringLiteral("delete the equivalents (one transaction, renumbered, compacted)"));
    return CliOptions::addFormat(s);
}

int FormulaDedupeCommand::run(CliContext& ctx, const CliArguments& args)
{
    QString error;
    FormulaKind kind;
    if (!CliOptions::kind(args, &kind, &error))
        return ctx.usageError(error);
    const std::optional<bool> kill = CliOptions::sense(args);
    const bool confirmed = args.has(QStringLiteral("--yes"));
    if (!ctx.openSession(args, CliContext::OrderLine::Silent))
        return ExitFailure;
    Workspace& ws = *ctx.workspace;
    const HistoryColumns& history = *ctx.session->columns();
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
    {
        CliTable table(ctx.out, CliOptions::format(args),
                       {QStringLiteral("sense"), QStringLiteral("kept_idx"), QStringLiteral("kept_gongshi"),
                        QStringLiteral("equivalent_idx"), QStringLiteral("equivalent_gongshi")});
        for (const EquivalentGroup& g : groups)
            for (const FormulaRecord& r : g.equivalents)
                table.add({CliOptions::senseWord(g.kept.bolKill), QString::number(g.kept.idx), g.kept.gongshi,
                           QString::number(r.idx), r.gongshi});
    }
    const int count = EquivalentFormulas::equivalentCount(groups);
    ctx.err << "groups " << groups.size() << " equivalents " << count << Qt::endl;
    if (!confirmed || count == 0)
        return ExitOk;
    if (!ws.backupBefore(EquivalentFormulas::title(), &error)) {
        ctx.err << error << Qt::endl;
        return ExitFailure;
    }
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
    ctx.err << "deleted " << deleted << Qt::endl;
    return ExitOk;
}
