#pragma once

#include <QString>

class QPushButton;

// A push button with the object name the tests find it by, and a tooltip when one is given.
QPushButton* namedButton(const char* objectName, const QString& caption, const QString& tooltip = QString());

// The same for a dialog's button that Enter in the dialog's boxes does not press (no auto-default).
QPushButton* dialogButton(const char* objectName, const QString& caption, const QString& tooltip = QString());
