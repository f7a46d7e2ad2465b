#pragma once

#include "history/Workspace.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <array>
#include <ostream>

struct FormulaKind;

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

// A workspace opened on a fresh data folder; the test fails when it cannot be opened.
struct TempWorkspace
{
    TempDataFolder dir;
    Workspace ws;
    TempWorkspace();
};

// Appends draws typed by hand ("ISSUE", "DDD") to an open workspace; fails the test on error.
void addDraws(Workspace& ws, std::initializer_list<std::pair<const char*, const char*>> draws);

// Appends formulas given in code form to a kind's table; gongshiCN is the code with
// `chinesePrefix` in front, so a test can tell which form the grid shows.
void addFormulas(Workspace& ws, const FormulaKind& kind, bool kill, const QStringList& codes,
                 const QString& chinesePrefix);

// One part of an .xlsx zip container ("xl/sharedStrings.xml"), read with python3's zipfile; empty
// when the part or python3 is missing.
QString readWorkbookPart(const QString& xlsx, const QString& part);

// Readable failure messages for Qt strings.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList& l, std::ostream* os)
{
    *os << '{' << l.join(QStringLiteral(" | ")).toStdString() << '}';
}
QT_END_NAMESPACE
