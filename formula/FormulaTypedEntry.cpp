#include "formula/FormulaTypedEntry.h"

#include "formula/CompiledFormula.h"
#include "formula/FormulaLineParser.h"
#include "formula/FormulaTableStore.h"
#include "formula/FormulaTranslation.h"

namespace {

const QString kUnrecognisedTitle = QStringLiteral("无法识别公式");
const QString kFailedTitle = QStringLiteral("添加公式失败");

TypedEntryResult refused(const QString& title, const QString& message)
{
    TypedEntryResult r;
    r.title = title;
    r.message = message;
    return r;
}

// The refused characters from the first one on, up to the next admitted one: a Chinese name
// left by the translation ("千位") is shown whole.
QString refusedRun(const QString& code)
{
    const qsizetype first = FormulaTranslation::firstRefusedChar(code);
    qsizetype end = first + 1;
    while (end < code.size() && !FormulaTranslation::checkGongshiChars(code.mid(end, 1)))
        ++end;
    return code.mid(first, end - first);
}

} // namespace

TypedEntryResult FormulaTypedEntry::add(Database* db, const QString& text, const FormulaKind& currentKind,
                                        bool currentKill)
{
    const QString line = FormulaLineParser::trimBlanks(text);
    if (line.isEmpty())
        return refused(kFailedTitle, QStringLiteral("请在左边文本框输入需要添加的公式"));
    const ParsedFormulaLine parsed = FormulaLineParser::parse(line, 0);
    if (parsed.tooShort)
        return refused(kUnrecognisedTitle, QStringLiteral("公式文本文件中含有无法识别公式，无法添加到软件"));

    FormulaKind kind = currentKind;
    if (parsed.namesKind()) {
        kind = FormulaKind{*parsed.position, *parsed.single};
        if (!kind.isValid())
            return refused(kUnrecognisedTitle,
                           QStringLiteral("没有“%1”这类公式，无法添加到软件。").arg(kind.kindText()));
    }
    const QString code = FormulaTranslation::translateGongshiCN(parsed.formulaText);
    if (code.isEmpty())
        return refused(kFailedTitle, QStringLiteral("所输文字中没有公式，请在左边文本框输入需要添加的公式"));
    if (!FormulaTranslation::checkGongshiChars(code))
        return refused(
            kUnrecognisedTitle,
            QStringLiteral("公式“%1”中含有无法识别的文字“%2”，无法添加到软件。").arg(code, refusedRun(code)));
    const CompiledFormula compiled = CompiledFormula::compile(code);
    if (!compiled.isValid())
        return refused(
            kUnrecognisedTitle,
            QStringLiteral("公式“%1”无法计算（%2），无法添加到软件。").arg(code, compiled.error()));

    TypedEntryResult result;
    result.kind = kind;
    result.kill = parsed.kill.value_or(currentKill);
    result.record.gongshi = code;
    result.record.gongshiCN = line;
    result.record.bolKill = result.kill;
    QString error;
    FormulaTableStore store(db);
    if (!store.append(kind, {result.record}, &error))
        return refused(kFailedTitle, error);
    result.added = true;
    return result;
}
