#include "store/LegacyWorkbookReader.h"

#include <QTemporaryFile>

#include <freexl.h>

namespace {

QString refused(const QString& why)
{
    return QStringLiteral("这是旧版 Excel 工作簿（.xls），请在 Excel 中另存为 .xlsx 或 CSV（%1）。").arg(why);
}

// freexl reads from a path: the bytes (perhaps from standard input) go to a temporary file that
// is removed with this object.
class Handle
{
public:
    ~Handle()
    {
        if (m_handle)
            freexl_close(m_handle);
    }
    bool open(const QByteArray& bytes, QString* error)
    {
        if (!m_file.open() || m_file.write(bytes) != bytes.size() || !m_file.flush()) {
            *error = QStringLiteral("无法读取旧版 Excel 工作簿（.xls）：无法写入临时文件（%1）。")
                         .arg(m_file.errorString());
            return false;
        }
        const int status = freexl_open(QFile::encodeName(m_file.fileName()).constData(), &m_handle);
        if (status != FREEXL_OK) {
            m_handle = nullptr;
            *error =
                status == FREEXL_BIFF_WORKBOOK_NOT_FOUND
                    ? QStringLiteral(
                          "这是一个 OLE 复合文档（例如 Word 文档或加密的工作簿），但里面没有 Excel 工作簿，"
                          "无法读取。请在 Excel 中另存为 .xlsx 或 CSV。")
                    : refused(QStringLiteral("文件已损坏或是无法识别的版本，错误代码%1").arg(status));
            return false;
        }
        return true;
    }
    const void* get() const { return m_handle; }

private:
    QTemporaryFile m_file;
    const void* m_handle = nullptr;
};

QString cellText(const FreeXL_CellValue& cell)
{
    switch (cell.type) {
    case FREEXL_CELL_INT:
        return QString::number(cell.value.int_value);
    case FREEXL_CELL_DOUBLE:
        return WorkbookReader::numberText(cell.value.double_value);
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME:
    case FREEXL_CELL_TIME:
        return cell.value.text_value ? QString::fromUtf8(cell.value.text_value) : QString();
    default:
        return {};
    }
}

} // namespace

bool LegacyWorkbookReader::read(const QByteArray& bytes, std::vector<WorkbookSheet>* sheets, QString* error)
{
    sheets->clear();
    Handle handle;
    if (!handle.open(bytes, error))
        return false;
    unsigned int info = 0;
    if (freexl_get_info(handle.get(), FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK &&
        info == FREEXL_BIFF_OBFUSCATED) {
        *error = QStringLiteral(
            "旧版 Excel 工作簿（.xls）有密码保护，无法读取。请在 Excel 中去掉密码后另存为 .xlsx 或 CSV。");
        return false;
    }
    unsigned int count = 0;
    if (freexl_get_info(handle.get(), FREEXL_BIFF_SHEET_COUNT, &count) != FREEXL_OK || count == 0) {
        *error = refused(QStringLiteral("里面没有工作表"));
        return false;
    }
    for (unsigned short s = 0; s < count; ++s) {
        WorkbookSheet sheet;
        const char* name = nullptr;
        if (freexl_get_worksheet_name(handle.get(), s, &name) == FREEXL_OK && name)
            sheet.name = QString::fromUtf8(name);
        unsigned int rows = 0;
        unsigned short columns = 0;
        if (freexl_select_active_worksheet(handle.get(), s) != FREEXL_OK ||
            freexl_worksheet_dimensions(handle.get(), &rows, &columns) != FREEXL_OK) {
            *error = refused(QStringLiteral("无法读取工作表“%1”").arg(sheet.name));
            return false;
        }
        sheet.rows.resize(rows);
        for (unsigned int r = 0; r < rows; ++r) {
            QStringList& cells = sheet.rows[r];
            for (unsigned short c = 0; c < columns; ++c) {
                FreeXL_CellValue cell;
                if (freexl_get_cell_value(handle.get(), r, c, &cell) != FREEXL_OK) {
                    *error = refused(QStringLiteral("工作表“%1”的格子无法读取").arg(sheet.name));
                    return false;
                }
                const QString text = cellText(cell);
                if (text.isEmpty())
                    continue;
                while (cells.size() < c)
                    cells << QString();
                cells << text;
            }
        }
        sheets->push_back(std::move(sheet));
    }
    return true;
}
