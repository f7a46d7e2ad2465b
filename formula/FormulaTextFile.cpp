#include "formula/FormulaTextFile.h"

#include "formula/FormulaTranslation.h"
#include "store/WholeFile.h"

#include <QDir>
#include <QSet>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>

namespace {

const QChar kIdeographicSpace(0x3000);
constexpr int kLinesPerBlock = 50;

QStringList splitLines(const QString& text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& l : lines)
        if (l.endsWith(QLatin1Char('\r')))
            l.chop(1);
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

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

bool isUtf16Or32(const QByteArray& bytes)
{
    // Byte-order marks, or the zero bytes every ASCII character brings along without one; a
    // text file of formulas holds no zero byte.
    return bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF") || bytes.contains('\0');
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
    if (isUtf16Or32(bytes)) {
        *error = QStringLiteral("文件是UTF-16或UTF-32编码（例如记事本另存为“Unicode”），无法读取公式。"
                                "请把文件另存为UTF-8或ANSI（GBK）编码后再读取。");
        return false;
    }
    QByteArray body = bytes;
    const bool bom = body.startsWith("\xEF\xBB\xBF");
    if (bom)
        body.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString asUtf8 = utf8.decode(body);
    const bool validUtf8 = !utf8.hasError();
    QStringDecoder gbk("GB18030", QStringDecoder::Flag::Stateless);
    const QString asGbk = gbk.decode(body);
    const bool validGbk = !gbk.hasError();
    if (bom && !validUtf8) {
        *error = QStringLiteral("文件以UTF-8标记开头，但内容不是有效的UTF-8编码，无法读取公式。"
                                "请把文件另存为UTF-8或ANSI（GBK）编码后再读取。");
        return false;
    }
    if (validUtf8 && (bom || !validGbk || foreignChars(asGbk) >= foreignChars(asUtf8))) {
        *lines = splitLines(asUtf8);
        return true;
    }
    if (validGbk) {
        *lines = splitLines(asGbk);
        return true;
    }
    *error = QStringLiteral("文件既不是UTF-8编码也不是GBK编码，无法读取公式。"
                            "请把文件另存为UTF-8或ANSI（GBK）编码后再读取。");
    return false;
}

QStringList FormulaTextFile::decodeLines(const QByteArray& bytes)
{
    QStringList lines;
    QString error;
    if (!decode(bytes, &lines, &error))
        lines = splitLines(QStringDecoder("GB18030").decode(bytes));
    return lines;
}

QByteArray FormulaTextFile::encode(const QStringList& lines)
{
    QStringEncoder gbk("GB18030");
    QByteArray out;
    for (const QString& l : lines) {
        out += gbk.encode(l);
        out += "\r\n";
    }
    return out;
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
