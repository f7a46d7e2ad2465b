#pragma once

#include <QString>
#include <QStringList>

// Where "formula.mdb" and the exported files live: --data-dir DIR, else $ZORVANE_DATA_DIR,
// else the executable's folder when it is writable and not the folder the program is installed
// to (an installed program started from the desktop menu keeps its data per user), else the
// per-user data folder.
class DataFolder
{
public:
    // Takes "--data-dir DIR" / "--data-dir=DIR" out of args when present.
    static QString takeOption(QStringList* args);
    static QString resolve(const QString& option);
    // The rule of resolve() over given inputs; `installedBinDir` is the folder `cmake --install`
    // puts the programs in.
    static QString choose(const QString& option, const QString& environment, const QString& programDir,
                          const QString& installedBinDir, const QString& perUserDir);
    // Creates the folder when missing; false with a message when that fails.
    static bool ensure(const QString& folder, QString* error);
};
