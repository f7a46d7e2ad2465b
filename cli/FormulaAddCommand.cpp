#include "cli/FormulaAddCommand.h"

#include "cli/CliOptions.h"
#include "formula/FormulaLineParser.h"
#include "formula/FormulaTypedEntry.h"
#include "history/Workspace.h"

CliSyntax FormulaAddCommand::syntax() const
{
    CliSyntax s(
        QStringLiteral("formula add"),
        QStringLiteral("Translates TEXT as the window's typed entry does and appends it to table Gongshi+K;\n"
                       "a decoration ([十位通选杀]..., =下期生码十位通选) chooses the kind (and sense). "
                       "Prints TABLE<TAB>SENSE<TAB>CODE."));
    CliOptions::addKind(s);
    CliOptions::addSense(s, false);
    return s.arguments(QStringLiteral("TEXT"), 0, -1,
                       QStringLiteral("the formula (words are joined by blanks)"));
}

int FormulaAddCommand::run(CliContext& ctx, const CliArguments& args)
{
    QString error;
    FormulaKind kind;
    if (!CliOptions::kind(args, &kind, &error))
        return ctx.usageError(error);
    const std::optional<bool> kill = CliOptions::sense(args);
    const QString text = FormulaLineParser::trimBlanks(args.positionals().join(QLatin1Char(' ')));
    if (text.isEmpty())
        return ctx.usageError(QStringLiteral("请输入需要添加的公式"));
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
