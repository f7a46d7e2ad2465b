#include "store/TextFileCodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <array>

namespace {

// The encoding a byte-order mark names, and the mark's length; UTF-32 LE's mark begins with
// UTF-16 LE's, so it is looked for first.
struct Mark
{
    QStringDecoder::Encoding encoding;
    int length;
};

bool unicodeMark(const QByteArray& bytes, Mark* mark)
{
    if (bytes.startsWith(QByteArray("\xFF\xFE\x00\x00", 4)))
        *mark = {QStringDecoder::Utf32LE, 4};
    else if (bytes.startsWith(QByteArray("\x00\x00\xFE\xFF", 4)))
        *mark = {QStringDecoder::Utf32BE, 4};
    else if (bytes.startsWith("\xFF\xFE"))
        *mark = {QStringDecoder::Utf16LE, 2};
    else if (bytes.startsWith("\xFE\xFF"))
        *mark = {QStringDecoder::Utf16BE, 2};
    else
        return false;
    return true;
}

// UTF-16 or UTF-32 without a mark: in UTF-16 the zero bytes every ASCII character brings along
// stand in every second place and none elsewhere; in UTF-32 two bytes of every four are zero for
// every character of the text.
bool looksLikeBareUtf16Or32(const QByteArray& bytes)
{
    const qsizetype n = std::min<qsizetype>(bytes.size(), 4096) / 4 * 4;
    if (n < 8)
        return false;
    std::array<int, 4> zeros{};
    for (qsizetype i = 0; i < n; ++i)
        zeros[i % 4] += bytes[i] == '\0';
    const int perPlace = int(n / 4);
    const int even = zeros[0] + zeros[2];
    const int odd = zeros[1] + zeros[3];
    // One place in five or more holds a zero, the other places hardly any.
    auto some = [&](int z) { return z * 10 >= perPlace * 2 * 2; };
    auto hardly = [&](int z) { return z * 20 <= perPlace * 2; }; // 5 % (CJK such as 开 U+5F00 hold one)
    auto all = [&](int z) { return z == perPlace; };
    const bool utf16 = (some(odd) && hardly(even)) || (some(even) && hardly(odd));
    const bool utf32le = all(zeros[2]) && all(zeros[3]) && hardly(zeros[0]);
    const bool utf32be = all(zeros[0]) && all(zeros[1]) && hardly(zeros[3]);
    return utf16 || utf32le || utf32be;
}

// Zero bytes and control characters other than tab, line ends, form feed and the end-of-file
// mark (0x1A) of old editors: no text file holds them, in UTF-8 or in GBK.
bool holdsBinary(const QByteArray& bytes)
{
    return std::any_of(bytes.cbegin(), bytes.cend(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < 0x20 && u != '\t' && u != '\n' && u != '\r' && u != '\f' && u != '\v' && u != 0x1A;
    });
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
    Mark mark{};
    if (unicodeMark(bytes, &mark)) {
        QStringDecoder unicode(mark.encoding, QStringDecoder::Flag::Stateless);
        const QString decoded = unicode.decode(QByteArrayView(bytes).sliced(mark.length));
        if (unicode.hasError() || decoded.contains(QChar(0))) {
            *refusal = Refusal::BadUnicodeAfterBom;
            return false;
        }
        *text = decoded;
        return true;
    }
    if (looksLikeBareUtf16Or32(bytes)) {
        *refusal = Refusal::Utf16Or32;
        return false;
    }
    if (holdsBinary(bytes)) {
        *refusal = Refusal::NotText;
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
    case Refusal::BadUnicodeAfterBom:
        return QStringLiteral(
                   "文件以UTF-16或UTF-32的字节顺序标记开头，但内容不是这种编码的文字，无法读取%1。")
                   .arg(what) +
               saveAs;
    case Refusal::NotText:
        return QStringLiteral(
                   "不是文本文件（文件里有零字节或控制字符，例如图片、程序或压缩文件），无法读取%1。")
            .arg(what);
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
