#include "cli/FormulaListCommand.h"

#include "cli/CliOptions.h"
#include "formula/FormulaTableStore.h"
#include "history/Workspace.h"

namespace {

template <typename T> QString optionalText(const std::optional<T>& v)
{
    return v ? QString::number(*v) : QString();
}

} // namespace

CliSyntax FormulaListCommand::syntax() const
{
    CliSyntax s(
        QStringLiteral("formula list"),
        QStringLiteral("The formulas of kind K as a table: idx sense gongshi gongshiCN sglGsRate intGsErrCon "
                       "intGsTrueCon intGsErrLst intGsTrueLst."));
    CliOptions::addKind(s);
    CliOptions::addSense(s, true);
    return CliOptions::addFormat(s);
}

int FormulaListCommand::run(CliContext& ctx, const CliArguments& args)
{
    QString error;
    FormulaKind kind;
    if (!CliOptions::kind(args, &kind, &error))
        return ctx.usageError(error);
    const std::optional<bool> kill = CliOptions::sense(args);
    if (!ctx.openWorkspace())
        return ExitFailure;
    FormulaTableStore store(&ctx.workspace->database());
    std::vector<FormulaRecord> records;
    const bool ok =
        kill ? store.loadSubset(kind, *kill, &records, &error) : store.loadTable(kind, &records, &error);
    if (!ok) {
        ctx.err << error << Qt::endl;
        return ExitFailure;
    }
    CliTable table(ctx.out, CliOptions::format(args),
                   {"idx", "sense", "gongshi", "gongshiCN", "sglGsRate", "intGsErrCon", "intGsTrueCon",
                    "intGsErrLst", "intGsTrueLst"});
    for (const FormulaRecord& r : records)
        table.add({QString::number(r.idx), CliOptions::senseWord(r.bolKill), r.gongshi, r.gongshiCN,
                   r.sglGsRate ? QString::number(double(*r.sglGsRate), 'f', 4) : QString(),
                   optionalText(r.intGsErrCon), optionalText(r.intGsTrueCon), optionalText(r.intGsErrLst),
                   optionalText(r.intGsTrueLst)});
    return ExitOk;
}
