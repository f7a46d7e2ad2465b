#include "store/TextFileCodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>

namespace {

// Characters outside what the program's Chinese text files hold: ASCII, CJK ideographs, CJK and
// general punctuation (ideographic space, 《》, dashes) and full-width forms (：).
qsizetype unexpectedChars(const QString& text)
{
    return std::count_if(text.cbegin(), text.cend(), [](QChar c) {
        const char16_t u = c.unicode();
        return !(u < 0x80 || (u >= 0x4E00 && u <= 0x9FFF) || (u >= 0x3000 && u <= 0x303F) ||
                 (u >= 0x2010 && u <= 0x206F) || (u >= 0xFF00 && u <= 0xFFEF));
    });
}

} // namespace

QString TextFileCodec::decode(const QByteArray& bytes)
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
        // Cyrillic letters. Such a file is read as GBK when that gives fewer characters these
        // files do not hold.
        QStringDecoder gbk("GB18030", QStringDecoder::Flag::Stateless);
        const QString asGbk = gbk.decode(body);
        if (!gbk.hasError() && unexpectedChars(asGbk) < unexpectedChars(text))
            text = asGbk;
    }
    return text;
}

QStringList TextFileCodec::splitLines(const QString& text)
{
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != QLatin1Char('\n') && c != QLatin1Char('\r'))
            continue;
        lines << text.mid(start, i - start);
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines << text.mid(start);
    return lines;
}

QByteArray TextFileCodec::encodeGbk(const QStringList& lines)
{
    QStringEncoder gbk("GB18030");
    QByteArray out;
    for (const QString& l : lines) {
        out += gbk.encode(l);
        out += "\r\n";
    }
    return out;
}
