#pragma once

#include <QString>
#include <QStringList>

// Where "formula.mdb" and the exported files live: --data-dir DIR, else $ZORVANE_DATA_DIR, else
// the executable's folder when it already holds a "formula.mdb" (a portable copy, shipped with its
// data), else the per-user data folder ~/.local/share/Zorvane. A build folder therefore keeps no
// data of its own: deleting it deletes no history.
class DataFolder
{
public:
    // Takes "--data-dir DIR" / "--data-dir=DIR" out of args when present.
    static QString takeOption(QStringList* args);
    static QString resolve(const QString& option);
    // The rule of resolve() over given inputs.
    static QString choose(const QString& option, const QString& environment, const QString& programDir,
                          const QString& perUserDir);
    // Creates the folder when missing; false with a message when that fails.
    static bool ensure(const QString& folder, QString* error);
};
