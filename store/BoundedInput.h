#pragma once

#include <QByteArray>
#include <QString>

class QIODevice;

// Reads a history or formula file, or standard input, with bounds that keep memory small on
// endless or huge input (/dev/zero, a wrong file picked by mistake): more than 64 MB, or in a text
// a line longer than 1 MB, is refused with a message before the input is read whole. Workbooks
// (.xlsx, .xls) have no lines and are bounded by their size alone.
class BoundedInput
{
public:
    static constexpr qint64 kMaxBytes = 64 * 1024 * 1024;
    static constexpr qint64 kMaxLineBytes = 1024 * 1024;

    // `name` is how messages name the input (a path, or "标准输入").
    static bool readFile(const QString& path, QByteArray* bytes, QString* error);
    static bool readDevice(QIODevice* device, const QString& name, QByteArray* bytes, QString* error);
    static bool readStandardInput(QByteArray* bytes, QString* error);
    // Whether the bytes start like a workbook (a zip, or an OLE2 compound file).
    static bool startsLikeWorkbook(const QByteArray& head);
};
