#pragma once

#include <QByteArray>
#include <QString>

// Writes a file all at once: the bytes go to a temporary file beside it, which replaces the file
// only when every byte was written and flushed. A full disk or a failed write leaves the file as
// it was (or absent), never cut short.
class WholeFile
{
public:
    // False with "无法写入文件“PATH”：reason" when the file could not be written.
    static bool write(const QString& path, const QByteArray& bytes, QString* error);
};
