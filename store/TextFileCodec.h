#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The text files users exchange with the program (formula files, history files, pasted pages):
// read as UTF-8 (with or without BOM) when the bytes are valid UTF-8, else as GBK; lines end in
// CR LF, LF or a lone CR. Written in GBK with CR LF.
class TextFileCodec
{
public:
    static QString decode(const QByteArray& bytes);
    // Splits at CR LF, LF and CR; a final line end adds no empty line.
    static QStringList splitLines(const QString& text);
    static QStringList decodeLines(const QByteArray& bytes) { return splitLines(decode(bytes)); }
    static QByteArray encodeGbk(const QStringList& lines);
};
