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
                  QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

QString DataFolder::choose(const QString& option, const QString& environment, const QString& programDir,
                           const QString& perUserDir)
{
    if (!option.isEmpty())
        return QDir(option).absolutePath();
    if (!environment.isEmpty())
        return QDir(environment).absolutePath();
    if (!programDir.isEmpty() && QFileInfo(QDir(programDir).filePath(QStringLiteral("formula.mdb"))).isFile())
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
