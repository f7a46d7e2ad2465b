#pragma once

#include <QString>
#include <QStringList>

// Where "formula.mdb" and the exported files live: --data-dir DIR, else $ZORVANE_DATA_DIR,
// else the executable's folder when writable, else the per-user data folder.
class DataFolder
{
public:
    // Takes "--data-dir DIR" / "--data-dir=DIR" out of args when present.
    static QString takeOption(QStringList* args);
    static QString resolve(const QString& option);
    // Creates the folder when missing; false with a message when that fails.
    static bool ensure(const QString& folder, QString* error);
};
