#pragma once

#include "store/WorkbookReader.h"

// Reads the older Excel workbooks (.xls, BIFF in an OLE2 compound file) with libfreexl: every
// worksheet's cells as text, the same way WorkbookReader shows the cells of an .xlsx.
class LegacyWorkbookReader
{
public:
    // False with a message when the file is no Excel workbook, is protected with a password or
    // cannot be read; the message then asks for the workbook saved as .xlsx or CSV.
    static bool read(const QByteArray& bytes, std::vector<WorkbookSheet>* sheets, QString* error);
};
