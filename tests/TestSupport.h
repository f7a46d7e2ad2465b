#pragma once

#include <QString>
#include <QTemporaryDir>
#include <array>

class Workspace;

// A fresh data folder for one test; removed afterwards.
class TempDataFolder
{
public:
    TempDataFolder();
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
};

// Appends draws typed by hand ("ISSUE", "DDD") to an open workspace; fails the test on error.
void addDraws(Workspace& ws, std::initializer_list<std::pair<const char*, const char*>> draws);
