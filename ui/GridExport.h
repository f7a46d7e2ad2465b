#pragma once

#include <QString>
#include <Qt>
#include <functional>
#include <vector>

class QAbstractItemModel;
class QWidget;

// Copies a grid into a workbook: the header row to sheet row 1, grid row r to sheet row r + 2,
// column c to sheet column c + 1, with each cell's own text colour, background and bold. A cell
// whose text is a number is written as a number that shows the same text, so a spreadsheet can
// sum and sort it, unless the model marks it with TextCellRole (issue numbers, drawn numbers
// written side by side, formulas that are a bare constant).
class GridExport
{
public:
    using HeaderText = std::function<QString(int column)>;
    // Data role: true for a cell whose text must stay text in a workbook.
    static constexpr int TextCellRole = Qt::UserRole + 0x5A00;

    static bool writeWorkbook(const QAbstractItemModel& model, const QString& path, QString* error,
                              const HeaderText& headerText = {});
    // One sheet column taken from a grid column: its caption, and the cell text made from the
    // grid cell's text (empty: the cell's text as it stands). Colours and bold come from the grid cell.
    struct Column
    {
        int source = 0;
        QString header;
        std::function<QString(const QString& text)> text;
        bool asText = false; // text even when it reads as a number
    };
    // The same with the sheet's columns chosen and captioned by `columns`, in their order.
    static bool writeColumns(const QAbstractItemModel& model, const std::vector<Column>& columns,
                             const QString& path, QString* error);
    static bool exportColumnsAndOpen(QWidget* parent, const QAbstractItemModel& model,
                                     const std::vector<Column>& columns, const QString& path);
    // Writes the workbook and opens it with the desktop's default application; tells the user
    // when either fails. Returns true when the file was written.
    static bool exportAndOpen(QWidget* parent, const QAbstractItemModel& model, const QString& path,
                              const HeaderText& headerText = {});
    // Opens a written file; tells the user when no application can show it.
    static void openWritten(QWidget* parent, const QString& path);
};
