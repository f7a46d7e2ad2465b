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

int FormulaListCommand::run(CliContext& ctx, const QStringList& arguments)
{
    QStringList args = arguments;
    QString error;
    FormulaKind kind;
    std::optional<bool> kill;
    if (!CliOptions::takeKind(&args, &kind, &error) || !CliOptions::takeSense(&args, true, &kill, &error))
        return usageError(ctx, error);
    if (!args.isEmpty())
        return usageError(ctx, QStringLiteral("unexpected argument %1").arg(args.first()));
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
    ctx.out << "idx\tsense\tgongshi\tgongshiCN\tsglGsRate\tintGsErrCon\tintGsTrueCon\tintGsErrLst\tintGsTrueL"
               "st\n";
    for (const FormulaRecord& r : records) {
        ctx.out << r.idx << '\t' << CliOptions::senseWord(r.bolKill) << '\t' << r.gongshi << '\t'
                << r.gongshiCN << '\t'
                << (r.sglGsRate ? QString::number(double(*r.sglGsRate), 'f', 4) : QString()) << '\t'
                << optionalText(r.intGsErrCon) << '\t' << optionalText(r.intGsTrueCon) << '\t'
                << optionalText(r.intGsErrLst) << '\t' << optionalText(r.intGsTrueLst) << '\n';
    }
    return ExitOk;
}
