#include "store/DataFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString DataFolder::takeOption(QStringList* args)
{
    for (int i = 0; i < args->size(); ++i) {
        const QString a = args->at(i);
        if (a == "--data-dir" && i + 1 < args->size()) {
            const QString dir = args->at(i + 1);
            args->remove(i, 2);
            return dir;
        }
        if (a.startsWith("--data-dir=")) {
            args->removeAt(i);
            return a.mid(int(qstrlen("--data-dir=")));
        }
    }
    return {};
}

QString DataFolder::resolve(const QString& option)
{
    return choose(option, qEnvironmentVariable("ZORVANE_DATA_DIR"), QCoreApplication::applicationDirPath(),
                  QStringLiteral(ZORVANE_INSTALL_BINDIR),
                  QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

QString DataFolder::choose(const QString& option, const QString& environment, const QString& programDir,
                           const QString& installedBinDir, const QString& perUserDir)
{
    if (!option.isEmpty())
        return QDir(option).absolutePath();
    if (!environment.isEmpty())
        return QDir(environment).absolutePath();
    const QFileInfo info(programDir);
    const auto same = [](const QString& a, const QString& b) {
        const QString ca = QFileInfo(a).canonicalFilePath();
        return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
    };
    if (!programDir.isEmpty() && info.isDir() && info.isWritable() && !same(programDir, installedBinDir))
        return programDir;
    return perUserDir;
}

bool DataFolder::ensure(const QString& folder, QString* error)
{
    if (QDir().mkpath(folder))
        return true;
    *error = QStringLiteral("无法创建数据文件夹“%1”。").arg(QDir::toNativeSeparators(folder));
    return false;
}
