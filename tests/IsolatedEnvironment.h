#pragma once

#include <QByteArray>
#include <QDir>
#include <QTemporaryDir>
#include <QtGlobal>

// Points the settings store and every default data folder at throw-away folders, so a program
// that is not the product itself (a test suite, a benchmark, the window gallery) never reads or
// writes the user's settings ("Pelq") or data folder, and opens no exported file on the desktop.
// Construct it first in main(), before the application object.
class IsolatedEnvironment
{
public:
    IsolatedEnvironment()
    {
        qputenv("XDG_CONFIG_HOME", folder("config"));
        qputenv("XDG_DATA_HOME", folder("data"));
        qputenv("XDG_CACHE_HOME", folder("cache"));
        qputenv("ZORVANE_DATA_DIR", folder("zorvane"));
        qputenv("ZORVANE_NO_OPEN", "1");
    }

private:
    QByteArray folder(const char* name)
    {
        QDir(m_root.path()).mkpath(QLatin1String(name));
        return QDir(m_root.path()).filePath(QLatin1String(name)).toUtf8();
    }

    QTemporaryDir m_root;
};
