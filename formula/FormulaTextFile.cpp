#include "formula/FormulaTextFile.h"

#include "store/WholeFile.h"

#include <QDir>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>

namespace {

const QChar kIdeographicSpace(0x3000);
constexpr int kLinesPerBlock = 50;

// Characters outside what formula files hold: ASCII, CJK ideographs, CJK and general punctuation
// (ideographic space, 《》, the dashes of the separators) and full-width forms (：).
qsizetype unexpectedChars(const QString& text)
{
    return std::count_if(text.cbegin(), text.cend(), [](QChar c) {
        const char16_t u = c.unicode();
        return !(u < 0x80 || (u >= 0x4E00 && u <= 0x9FFF) || (u >= 0x3000 && u <= 0x303F) ||
                 (u >= 0x2010 && u <= 0x206F) || (u >= 0xFF00 && u <= 0xFFEF));
    });
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

QStringList FormulaTextFile::decodeLines(const QByteArray& bytes)
{
    QByteArray body = bytes;
    const bool bom = body.startsWith("\xEF\xBB\xBF");
    if (bom)
        body.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(body);
    if (utf8.hasError()) {
        QStringDecoder gbk("GB18030");
        text = gbk.decode(body);
    } else if (!bom) {
        // GBK text can happen to be valid UTF-8 ("十位通选杀" is): it then reads as Latin, Greek or
        // Cyrillic letters. Such a file is read as GBK when that gives fewer characters a formula
        // file does not hold.
        QStringDecoder gbk("GB18030", QStringDecoder::Flag::Stateless);
        const QString asGbk = gbk.decode(body);
        if (!gbk.hasError() && unexpectedChars(asGbk) < unexpectedChars(text))
            text = asGbk;
    }
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& l : lines)
        if (l.endsWith(QLatin1Char('\r')))
            l.chop(1);
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
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
