#include "formula/FormulaTextFile.h"

#include "formula/FormulaTranslation.h"
#include "store/TextFileCodec.h"
#include "store/WholeFile.h"

#include <QDir>
#include <QSet>

#include <algorithm>

namespace {

const QChar kIdeographicSpace(0x3000);
constexpr int kLinesPerBlock = 50;

// The non-ASCII characters formula files are made of: the Chinese names of the parameters, the
// kind and sense decorations, the statistics tail and the lines the exports write.
const QSet<char16_t>& formulaCharacters()
{
    static const QSet<char16_t> set = [] {
        QString all = QStringLiteral("个十百位单通选杀生码下期连准：类一二三四五") +
                      FormulaTextFile::banner() + FormulaTextFile::separator(0) +
                      FormulaTextFile::searchExportTitles().join(QString()) + QString(QChar(0x3000));
        for (const auto& [chinese, code] : FormulaTranslation::translationTable())
            all += chinese;
        QSet<char16_t> chars;
        for (QChar c : all)
            if (c.unicode() >= 0x80)
                chars.insert(c.unicode());
        return chars;
    }();
    return set;
}

// Characters a formula file would not hold: what a wrong reading of the bytes produces.
qsizetype foreignChars(const QString& text)
{
    const QSet<char16_t>& known = formulaCharacters();
    return std::count_if(text.cbegin(), text.cend(),
                         [&known](QChar c) { return c.unicode() >= 0x80 && !known.contains(c.unicode()); });
}

QString entryLine(const QString& text, int finalHitRun)
{
    return text + QStringLiteral("连准：") + QString::number(finalHitRun) + QStringLiteral("期");
}

} // namespace

QString FormulaTextFile::banner()
{
    return QStringLiteral("本组公式由《Zorvane》软件搜索而来");
}

QString FormulaTextFile::separator(int count)
{
    return QString(12, QChar(0x2014)) + QString::number(count) + QString(14, QChar(0x2014)) +
           QStringLiteral("本公式由《Zorvane》生成");
}

QStringList FormulaTextFile::searchExportTitles()
{
    return {QStringLiteral("公式按搜索合格的先后顺序排列"),
            QStringLiteral("各公式的正确率与连对连错以软件回测为准")};
}

bool FormulaTextFile::decode(const QByteArray& bytes, QStringList* lines, QString* error)
{
    lines->clear();
    QString text;
    TextFileCodec::Refusal refusal;
    if (!TextFileCodec::decode(bytes, foreignChars, &text, &refusal)) {
        *error = TextFileCodec::refusalText(refusal, QStringLiteral("公式"));
        return false;
    }
    *lines = TextFileCodec::splitLines(text);
    return true;
}

QStringList FormulaTextFile::decodeLines(const QByteArray& bytes)
{
    return TextFileCodec::splitLines(TextFileCodec::decodeLenient(bytes, foreignChars));
}

QByteArray FormulaTextFile::encode(const QStringList& lines)
{
    return TextFileCodec::encodeGbk(lines);
}

QStringList FormulaTextFile::allKindsLines(const std::vector<Entry>& entries)
{
    QStringList lines{banner(), QString()};
    int written = 0;
    for (const Entry& e : entries) {
        lines << entryLine(e.chineseForm + QString(11, kIdeographicSpace), e.finalHitRun);
        if (++written % kLinesPerBlock == 0)
            lines << separator(written);
    }
    lines << separator(written);
    return lines;
}

QStringList FormulaTextFile::oneKindLines(const std::vector<Entry>& entries)
{
    QStringList lines{banner(), QString()};
    const int width = entries.empty() ? 0 : int(entries.front().chineseForm.size()) + 10;
    int written = 0;
    for (const Entry& e : entries) {
        QString text = e.chineseForm;
        if (text.size() <= width)
            text += QString(width + 1 - text.size(), kIdeographicSpace);
        lines << entryLine(text, e.finalHitRun);
        if (++written % kLinesPerBlock == 0)
            lines << separator(written);
    }
    lines << separator(written);
    return lines;
}

QString FormulaTextFile::allKindsFileName(const QString& latestIssue)
{
    return latestIssue + QStringLiteral("期快3彩公式.txt");
}

QString FormulaTextFile::oneKindFileName(const QString& latestIssue, const QString& kindText)
{
    return latestIssue + QStringLiteral("期快3彩") + kindText + QStringLiteral("公式.txt");
}

bool FormulaTextFile::write(const QString& path, const QStringList& lines, QString* error)
{
    return WholeFile::write(path, encode(lines), error);
}
