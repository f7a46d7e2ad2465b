// The formula line parser: a line of a formula text file, of the input box or of the online
// formula file, with its decoration and statistics tail.
#include "FuzzSupport.h"

#include "formula/FormulaLineParser.h"

namespace {

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c.unicode() == 0x3000;
}

void checkParsed(const ParsedFormulaLine& p, const QString& line)
{
    if (p.position.has_value() != p.single.has_value())
        FuzzSupport::fail("position and selection named apart", line);
    if (p.position && (*p.position < 1 || *p.position > 3))
        FuzzSupport::fail("position out of 1..3", line);
    if (p.tooShort && (!p.formulaText.isEmpty() || p.namesKind()))
        FuzzSupport::fail("a line too short still names a formula", line);
    if (!line.contains(p.formulaText))
        FuzzSupport::fail("formula text not taken from the line", line);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzSupport::initialise();
    const QString raw = FuzzSupport::utf8(data, size);

    const QString trimmed = FormulaLineParser::trimBlanks(raw);
    if (!trimmed.isEmpty() && (isBlank(trimmed.front()) || isBlank(trimmed.back())))
        FuzzSupport::fail("trimBlanks left a blank at an end");
    if (!raw.contains(trimmed))
        FuzzSupport::fail("trimBlanks made up text");

    const QString line = FormulaLineParser::withoutStatistics(raw);
    if (line.contains(QStringLiteral("连准")))
        FuzzSupport::fail("statistics tail kept", raw);
    for (int offset : {0, 5})
        checkParsed(FormulaLineParser::parse(line, offset), line);
    checkParsed(FormulaLineParser::parse(raw, 0), raw);
    return 0;
}
