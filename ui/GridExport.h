#pragma once

#include <QString>
#include <functional>

class QAbstractItemModel;
class QWidget;

// Copies a grid into a workbook: the header row to sheet row 1, grid row r to sheet row r + 2,
// column c to sheet column c + 1, with each cell's own text colour, background and bold.
class GridExport
{
public:
    using HeaderText = std::function<QString(int column)>;

    static bool writeWorkbook(const QAbstractItemModel& model, const QString& path, QString* error,
                              const HeaderText& headerText = {});
    // Writes the workbook and opens it with the desktop's default application; tells the user
    // when either fails. Returns true when the file was written.
    static bool exportAndOpen(QWidget* parent, const QAbstractItemModel& model, const QString& path,
                              const HeaderText& headerText = {});
    // Opens a written file; tells the user when no application can show it.
    static void openWritten(QWidget* parent, const QString& path);
};
