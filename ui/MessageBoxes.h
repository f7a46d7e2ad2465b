#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// Every question, message and input box of the windows goes through here, so tests can
// pre-answer them: queued answers are taken in order instead of showing a dialog, and every
// text shown is recorded.
class MessageBoxes
{
public:
    // OK/Cancel question with a question icon; true for OK.
    static bool question(QWidget* parent, const QString& title, const QString& text);
    static void information(QWidget* parent, const QString& title, const QString& text);
    static void warning(QWidget* parent, const QString& title, const QString& text);
    // The main window's own errors: a warning titled with the program's name.
    static void error(QWidget* parent, const QString& text);
    // Input box; false when cancelled.
    static bool input(QWidget* parent, const QString& title, const QString& prompt,
                      const QString& defaultText, QString* answer);

    // A choice among `items` in a drop-down list, `current` offered first; false when cancelled. A
    // queued answer gives the chosen item's text.
    static bool choose(QWidget* parent, const QString& title, const QString& prompt, const QStringList& items,
                       int current, int* chosen);

    // File-open dialog; false when cancelled. A queued answer gives the path.
    static bool openFile(QWidget* parent, const QString& title, const QString& folder, const QString& filter,
                         QString* path);

    // Test hooks.
    static void pushAnswer(bool accept, const QString& text = QString());
    static void clearAnswers();
    static int pendingAnswers();
    static const QStringList& shownTexts();
    static void clearShownTexts();
    // Default text offered by the last input box.
    static const QString& lastInputDefault();
};
