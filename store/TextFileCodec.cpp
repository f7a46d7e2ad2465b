#include "store/TextFileCodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>

namespace {

bool isUtf16Or32(const QByteArray& bytes)
{
    // Byte-order marks, or the zero bytes every ASCII character brings along without one; a text
    // file holds no zero byte.
    return bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF") || bytes.contains('\0');
}

} // namespace

qsizetype TextFileCodec::nonChineseTextChars(const QString& text)
{
    return std::count_if(text.cbegin(), text.cend(), [](QChar c) {
        const char16_t u = c.unicode();
        return !(u < 0x80 || (u >= 0x4E00 && u <= 0x9FFF) || (u >= 0x3000 && u <= 0x303F) ||
                 (u >= 0x2010 && u <= 0x206F) || (u >= 0xFF00 && u <= 0xFFEF));
    });
}

bool TextFileCodec::decode(const QByteArray& bytes, const ForeignCount& foreign, QString* text,
                           Refusal* refusal)
{
    text->clear();
    *refusal = Refusal::None;
    if (isUtf16Or32(bytes)) {
        *refusal = Refusal::Utf16Or32;
        return false;
    }
    QByteArray body = bytes;
    const bool bom = body.startsWith("\xEF\xBB\xBF");
    if (bom)
        body.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString asUtf8 = utf8.decode(body);
    const bool validUtf8 = !utf8.hasError();
    if (bom && !validUtf8) {
        *refusal = Refusal::BadUtf8AfterBom;
        return false;
    }
    QStringDecoder gbk("GB18030", QStringDecoder::Flag::Stateless);
    const QString asGbk = gbk.decode(body);
    const bool validGbk = !gbk.hasError();
    if (validUtf8 && (bom || !validGbk || foreign(asGbk) >= foreign(asUtf8))) {
        *text = asUtf8;
        return true;
    }
    if (validGbk) {
        *text = asGbk;
        return true;
    }
    *refusal = Refusal::NeitherUtf8NorGbk;
    return false;
}

QString TextFileCodec::refusalText(Refusal refusal, const QString& what)
{
    const QString saveAs = QStringLiteral("请把文件另存为UTF-8或ANSI（GBK）编码后再读取。");
    switch (refusal) {
    case Refusal::None:
        return {};
    case Refusal::Utf16Or32:
        return QStringLiteral("文件是UTF-16或UTF-32编码（例如记事本另存为“Unicode”），无法读取%1。")
                   .arg(what) +
               saveAs;
    case Refusal::BadUtf8AfterBom:
        return QStringLiteral("文件以UTF-8标记开头，但内容不是有效的UTF-8编码，无法读取%1。").arg(what) +
               saveAs;
    case Refusal::NeitherUtf8NorGbk:
        return QStringLiteral("文件既不是UTF-8编码也不是GBK编码，无法读取%1。").arg(what) + saveAs;
    }
    return {};
}

QString TextFileCodec::decodeLenient(const QByteArray& bytes, const ForeignCount& foreign)
{
    QString text;
    Refusal refusal;
    if (!decode(bytes, foreign, &text, &refusal))
        text = QStringDecoder("GB18030").decode(bytes);
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
