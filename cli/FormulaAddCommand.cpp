#include "cli/FormulaAddCommand.h"

#include "app/Workspace.h"
#include "cli/CliOptions.h"
#include "formula/CompiledFormula.h"
#include "formula/FormulaLineParser.h"
#include "formula/FormulaTableStore.h"
#include "formula/FormulaTranslation.h"

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

    const ParsedFormulaLine line = FormulaLineParser::parse(text, 0);
    if (line.tooShort) {
        ctx.err << QStringLiteral("公式文本文件中含有无法识别公式，无法添加到软件") << Qt::endl;
        return ExitFailure;
    }
    if (line.namesKind()) {
        const FormulaKind named{*line.position, *line.single};
        if (!named.isValid()) {
            ctx.err << QStringLiteral("没有“%1”这类公式。").arg(named.kindText()) << Qt::endl;
            return ExitFailure;
        }
        kind = named;
    }
    if (line.kill)
        kill = *line.kill;
    FormulaRecord record;
    record.gongshi = FormulaTranslation::translateGongshiCN(line.formulaText);
    record.gongshiCN = text;
    record.bolKill = *kill;
    if (record.gongshi.isEmpty()) {
        ctx.err << QStringLiteral("公式为空，没有添加。") << Qt::endl;
        return ExitFailure;
    }
    if (!ctx.openWorkspace())
        return ExitFailure;
    FormulaTableStore store(&ctx.workspace->database());
    if (!store.append(kind, {record}, &error)) {
        ctx.err << error << Qt::endl;
        return ExitFailure;
    }
    // Typed formulas are stored as translated; one the evaluator cannot use is marked in the back-test.
    const CompiledFormula compiled = CompiledFormula::compile(record.gongshi);
    if (!compiled.isValid())
        ctx.err << QStringLiteral("注意：该公式无效（%1），验算时不参与统计。").arg(compiled.error()) << Qt::endl;
    ctx.out << kind.tableName() << '\t' << CliOptions::senseWord(record.bolKill) << '\t' << record.gongshi << Qt::endl;
    return ExitOk;
}
