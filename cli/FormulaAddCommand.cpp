#include "cli/FormulaAddCommand.h"

#include "cli/CliOptions.h"
#include "formula/FormulaLineParser.h"
#include "formula/FormulaTypedEntry.h"
#include "history/Workspace.h"

int FormulaAddCommand::run(CliContext& ctx, const QStringList& arguments)
{
    QStringList args = arguments;
    QString error;
    FormulaKind kind;
    std::optional<bool> kill;
    if (!CliOptions::takeKind(&args, &kind, &error) || !CliOptions::takeSense(&args, false, &kill, &error))
        return usageError(ctx, error);
    if (!CliOptions::leftoverOption(args).isEmpty())
        return usageError(ctx, QStringLiteral("unknown option %1").arg(CliOptions::leftoverOption(args)));
    const QString text = FormulaLineParser::trimBlanks(args.join(QLatin1Char(' ')));
    if (text.isEmpty())
        return usageError(ctx, QStringLiteral("请输入需要添加的公式"));
    if (!ctx.openWorkspace())
        return ExitFailure;
    const TypedEntryResult result = FormulaTypedEntry::add(&ctx.workspace->database(), text, kind, *kill);
    if (!result.added) {
        ctx.err << result.message << Qt::endl;
        return ExitFailure;
    }
    ctx.out << result.kind.tableName() << '\t' << CliOptions::senseWord(result.kill) << '\t'
            << result.record.gongshi << Qt::endl;
    return ExitOk;
}
