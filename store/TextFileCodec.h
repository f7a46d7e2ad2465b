#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

// The text files users exchange with the program (formula files, history files, pasted pages):
// read as UTF-8 (with or without BOM), GBK, or UTF-16/UTF-32 with a byte-order mark (Excel's
// "Unicode 文本", Notepad's "Unicode"); lines end in CR LF, LF or a lone CR. Written in GBK with
// CR LF.
class TextFileCodec
{
public:
    enum class Refusal
    {
        None,
        Utf16Or32, // UTF-16 or UTF-32 without a byte-order mark
        BadUtf8AfterBom,
        BadUnicodeAfterBom, // a UTF-16 or UTF-32 mark followed by what is no such text
        NeitherUtf8NorGbk,
        NotText // zero bytes or control characters no text holds
    };
    // How many characters of a reading the kind of file would not hold; decides between UTF-8 and
    // GBK when the bytes are valid as both (a GBK file can happen to be valid UTF-8: "十位通选杀" is).
    using ForeignCount = std::function<qsizetype(const QString&)>;

    // Characters outside Chinese text in general: not ASCII, CJK ideographs, CJK or general
    // punctuation, or full-width forms.
    static qsizetype nonChineseTextChars(const QString& text);

    // A byte-order mark names the encoding: UTF-8, UTF-16 or UTF-32, either byte order. Without
    // one, bytes that are valid UTF-8 are read as UTF-8, unless they are also valid GBK and the
    // GBK reading holds fewer foreign characters; else bytes that are valid GBK are read as GBK.
    // False with the refusal when the bytes are neither, are UTF-16 or UTF-32 without a mark (the
    // zero bytes fall in every second or fourth place), or hold zero bytes or control characters
    // elsewhere (no text file: a picture, a program, a zip).
    static bool decode(const QByteArray& bytes, const ForeignCount& foreign, QString* text, Refusal* refusal);
    // The message for a refusal; `what` names what could not be read ("公式", "历史号码").
    static QString refusalText(Refusal refusal, const QString& what);
    // decode() for files of our own making: bytes that are neither are read as GBK regardless.
    static QString decodeLenient(const QByteArray& bytes, const ForeignCount& foreign = nonChineseTextChars);

    // Splits at CR LF, LF and CR; a final line end adds no empty line.
    static QStringList splitLines(const QString& text);
    static QByteArray encodeGbk(const QStringList& lines);
};
