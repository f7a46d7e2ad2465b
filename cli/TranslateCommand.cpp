#include "cli/TranslateCommand.h"

#include "formula/FormulaTranslation.h"

CliSyntax TranslateCommand::syntax(const QString& /*sub*/) const
{
    return CliSyntax(QStringLiteral("translate"),
                     QStringLiteral(
                         "Prints the code form of a formula's Chinese form; exit 1 with the reason when a "
                         "character is refused."))
        .arguments(QStringLiteral("TEXT"), 1, -1, QStringLiteral("the formula (words are joined by blanks)"));
}

int TranslateCommand::run(CliContext& ctx, const QString& /*sub*/, const CliArguments& args)
{
    // Words split by the shell belong to one formula.
    const QString code = FormulaTranslation::translateGongshiCN(args.positionals().join(QLatin1Char(' ')));
    const qsizetype refused = FormulaTranslation::firstRefusedChar(code);
    if (refused >= 0) {
        ctx.err << QStringLiteral("无法识别的公式：“%1”含有不能用于公式的字符“%2”。").arg(code, code[refused])
                << Qt::endl;
        return ExitFailure;
    }
    ctx.out << code << Qt::endl;
    return ExitOk;
}
