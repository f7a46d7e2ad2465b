#pragma once

#include <QString>

class QWidget;

// Whether the main window's database opened at start. The window and its panels stay usable
// without it; an action that needs the stored data asks first and, when the database is closed,
// tells the user why instead of acting.
class DatabaseGuard
{
public:
    // `startupError` is empty when the database opened.
    explicit DatabaseGuard(const QString& startupError = QString()) : m_startupError(startupError) {}

    bool isOpen() const { return m_startupError.isEmpty(); }
    const QString& startupError() const { return m_startupError; }
    // True when open; otherwise shows "数据库没有打开，无法执行此操作。" with the start-up error.
    bool require(QWidget* parent) const;

private:
    QString m_startupError;
};
