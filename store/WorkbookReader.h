#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

// One sheet of a workbook as text: row i of `rows` is the sheet's row i + 1, cell j its column
// j + 1; trailing empty cells are left off.
struct WorkbookSheet
{
    QString name;
    std::vector<QStringList> rows;
};

// Reads the workbooks players keep their histories in: Excel's .xlsx (a zip of XML parts, read
// with libzip and QXmlStreamReader) and, through LegacyWorkbookReader, the older .xls. Every cell
// becomes the text a spreadsheet shows for it in its general format: text cells and shared
// strings as written, numbers without exponent or trailing zeros ("160121001", "3"), numbers in a
// date format as "2016-01-21" (with a time "2016-01-21 09:30:00", a time alone "09:30:00"),
// numbers in a zero-padded format padded ("001"), booleans as TRUE/FALSE.
class WorkbookReader
{
public:
    enum class Kind
    {
        None,
        Xlsx, // a zip
        Xls   // an OLE2 compound file
    };
    static Kind kindOf(const QByteArray& bytes);

    // Every worksheet in the workbook's order. False with a message in Chinese for a zip that is
    // no workbook, a damaged or encrypted workbook, or one too large to hold in memory.
    static bool read(const QByteArray& bytes, std::vector<WorkbookSheet>* sheets, QString* error);

    // A spreadsheet's date serial (days since 1899-12-30, or since 1904-01-01) as text.
    static QString serialDateText(double serial, bool from1904);
    // A number as a spreadsheet's general format shows it.
    static QString numberText(double value);
};
