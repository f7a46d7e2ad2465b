#pragma once

#include <QString>

class QWidget;

// Opens an exported file with the desktop's default application. Setting ZORVANE_NO_OPEN=1
// turns this off (tests, scripts); the call then reports success without opening anything.
class DesktopOpener
{
public:
    static bool isDisabled();
    static bool open(const QString& path);
    // Opens a written text file; where no program can, tells the user (title `title`) where it
    // was saved.
    static void openTextFile(QWidget* parent, const QString& title, const QString& path);
    // A web address ("https://…") or a local file path.
    static bool openAddress(const QString& address);
    // Paths that would have been opened while opening was off (for tests).
    static QString lastRequested();
};
