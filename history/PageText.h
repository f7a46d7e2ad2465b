#pragma once

#include <QByteArray>
#include <QString>

// The visible text of a web page in reading order, the way a reader sees it: markup, the head,
// scripts, styles and comments dropped; character references decoded; runs of white space
// shown as one blank; table cells separated by one blank and blocks (rows, paragraphs, line
// breaks) by a line end. Inline markup adds nothing, so "<td>160121041<b>3 5 6</b></td>" reads
// "1601210413 5 6".
class PageText
{
public:
    // Decodes the bytes with the charset of the Content-Type header, else of a <meta> tag, else
    // UTF-8 when the bytes are valid UTF-8, else GB18030 (which covers GB2312 and GBK).
    static QString fromHtml(const QByteArray& bytes, const QString& contentType = QString());
    static QString fromHtml(const QString& html);
    static QString decode(const QByteArray& bytes, const QString& contentType);
};
