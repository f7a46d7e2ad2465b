#include "cli/TranslateCommand.h"

#include "formula/FormulaTranslation.h"

int TranslateCommand::run(CliContext& ctx, const QStringList& args)
{
    if (args.isEmpty())
        return usageError(ctx, QStringLiteral("translate takes the formula TEXT"));
    // Words split by the shell belong to one formula.
    const QString code = FormulaTranslation::translateGongshiCN(args.join(QLatin1Char(' ')));
    const qsizetype refused = FormulaTranslation::firstRefusedChar(code);
    if (refused >= 0) {
        ctx.err << QStringLiteral("无法识别的公式：“%1”含有不能用于公式的字符“%2”。").arg(code, code[refused])
                << Qt::endl;
        return ExitFailure;
    }
    ctx.out << code << Qt::endl;
    return ExitOk;
}
