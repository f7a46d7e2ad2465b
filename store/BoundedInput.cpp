#include "store/BoundedInput.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace {

constexpr qint64 kChunk = 256 * 1024;

QString tooLarge(const QString& name)
{
    return QStringLiteral("“%1”超过%2 MB，不是历史号码或公式文件，没有读取。")
        .arg(name)
        .arg(BoundedInput::kMaxBytes / (1024 * 1024));
}

QString lineTooLong(const QString& name)
{
    return QStringLiteral("“%1”中有一行超过%2 MB，不是历史号码或公式文件，没有读取。")
        .arg(name)
        .arg(BoundedInput::kMaxLineBytes / (1024 * 1024));
}

} // namespace

bool BoundedInput::startsLikeWorkbook(const QByteArray& head)
{
    return head.startsWith("PK\x03\x04") || head.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
}

bool BoundedInput::readFile(const QString& path, QByteArray* bytes, QString* error)
{
    bytes->clear();
    const QString shown = QDir::toNativeSeparators(path);
    const QFileInfo info(path);
    // A regular file tells its size: one too large is refused without reading a byte.
    if (info.isFile() && info.size() > kMaxBytes) {
        *error = tooLarge(shown);
        return false;
    }
    if (info.isDir()) {
        *error = QStringLiteral("无法读取文件“%1”：这是一个文件夹。").arg(shown);
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("无法读取文件“%1”：%2").arg(shown, file.errorString());
        return false;
    }
    return readDevice(&file, shown, bytes, error);
}

bool BoundedInput::readStandardInput(QByteArray* bytes, QString* error)
{
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly)) {
        *error = QStringLiteral("无法读取标准输入：%1").arg(in.errorString());
        return false;
    }
    return readDevice(&in, QStringLiteral("标准输入"), bytes, error);
}

bool BoundedInput::readDevice(QIODevice* device, const QString& name, QByteArray* bytes, QString* error)
{
    bytes->clear();
    bool workbook = false;
    bool decided = false;
    qint64 lineLength = 0;
    while (true) {
        const qint64 room = kMaxBytes + 1 - bytes->size();
        QByteArray chunk(std::min(kChunk, room), Qt::Uninitialized);
        const qint64 got = device->read(chunk.data(), chunk.size());
        if (got < 0) {
            *error = QStringLiteral("无法读取“%1”：%2").arg(name, device->errorString());
            bytes->clear();
            return false;
        }
        if (got == 0) // the end (a file's reads block until there are bytes or the end)
            break;
        chunk.truncate(got);
        bytes->append(chunk);
        if (bytes->size() > kMaxBytes) {
            *error = tooLarge(name);
            bytes->clear();
            return false;
        }
        if (!decided && bytes->size() >= 8) {
            workbook = startsLikeWorkbook(*bytes);
            decided = true;
        }
        if (!workbook) {
            for (char c : chunk) {
                lineLength = (c == '\n' || c == '\r') ? 0 : lineLength + 1;
                if (lineLength > kMaxLineBytes) {
                    *error = lineTooLong(name);
                    bytes->clear();
                    return false;
                }
            }
        }
    }
    return true;
}
