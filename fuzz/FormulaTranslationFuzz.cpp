// Chinese-to-code translation and the character check of the code form.
#include "FuzzSupport.h"

#include "formula/CompiledFormula.h"
#include "formula/FormulaTranslation.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzSupport::initialise();
    const QString text = FuzzSupport::utf8(data, size);
    const QString code = FormulaTranslation::translateGongshiCN(text);

    // The check and the position of the first refused character tell the same story.
    const qsizetype refused = FormulaTranslation::firstRefusedChar(code);
    if (FormulaTranslation::checkGongshiChars(code) != (refused < 0))
        FuzzSupport::fail("character check and first refused character disagree", code);
    if (refused >= code.size())
        FuzzSupport::fail("refused character beyond the text");
    if (refused < 0) {
        for (QChar c : code)
            if (c.unicode() >= 0x80)
                FuzzSupport::fail("admitted a character that is not ASCII", code);
        (void)CompiledFormula::compile(code);
    }
    // Translation never leaves a Chinese name of the table behind.
    for (const auto& [chinese, ascii] : FormulaTranslation::translationTable())
        if (code.contains(chinese))
            FuzzSupport::fail("translation left a name", chinese);

    // asReplace on its own: the result holds no occurrence of what was searched for.
    // (A replacement that contains the needle is outside its contract: it would never end.)
    if (size >= 2) {
        const qsizetype cut = qsizetype(data[0]) % (text.size() + 1);
        const QString needle = text.mid(cut, 1 + data[1] % 3);
        if (needle.isEmpty() || needle == QStringLiteral("X"))
            return 0;
        QString line = text;
        const QString replaced = FormulaTranslation::asReplace(&line, needle, QStringLiteral("X"));
        if (replaced.contains(needle))
            FuzzSupport::fail("asReplace left an occurrence", needle);
        if (replaced != line)
            FuzzSupport::fail("asReplace result and line differ");
    }
    return 0;
}
