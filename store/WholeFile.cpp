#include "store/WholeFile.h"

#include <QDir>
#include <QSaveFile>

bool WholeFile::write(const QString& path, const QByteArray& bytes, QString* error)
{
    QSaveFile file(path);
    qint64 written = -1;
    if (file.open(QIODevice::WriteOnly)) {
        written = file.write(bytes);
        // A full disk may take part of the bytes without reporting an error.
        if (written == bytes.size() && file.commit())
            return true;
    }
    QString reason = file.errorString();
    if (written >= 0 && written < bytes.size())
        reason = QStringLiteral("磁盘已满或文件太大，%1字节中只写入了%2字节").arg(bytes.size()).arg(written);
    *error = QStringLiteral("无法写入文件“%1”：%2").arg(QDir::toNativeSeparators(path), reason);
    return false;
}
