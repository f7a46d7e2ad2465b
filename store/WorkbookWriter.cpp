#include "store/WorkbookWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <xlsxwriter.h>

#include <filesystem>

WorkbookWriter::WorkbookWriter(const QString& path)
    : m_path(path)
    , m_tempPath(path + QStringLiteral(".part"))
{
    QFile::remove(m_tempPath);
    m_workbook = workbook_new(QFile::encodeName(m_tempPath).constData());
    if (m_workbook)
        m_sheet = workbook_add_worksheet(m_workbook, "Sheet1");
    m_failed = !m_workbook || !m_sheet;
}

WorkbookWriter::~WorkbookWriter()
{
    if (m_workbook) {
        workbook_close(m_workbook);
        QFile::remove(m_tempPath);
    }
}

lxw_format* WorkbookWriter::format(const WorkbookStyle& style)
{
    if (!style.background && !style.foreground && !style.bold)
        return nullptr;
    const QString key = QStringLiteral("%1/%2/%3")
                            .arg(style.background ? qint64(*style.background) : -1)
                            .arg(style.foreground ? qint64(*style.foreground) : -1)
                            .arg(style.bold);
    if (lxw_format* f = m_formats.value(key))
        return f;
    lxw_format* f = workbook_add_format(m_workbook);
    if (style.background) {
        format_set_pattern(f, LXW_PATTERN_SOLID);
        format_set_bg_color(f, *style.background);
    }
    if (style.foreground)
        format_set_font_color(f, *style.foreground);
    if (style.bold)
        format_set_bold(f);
    m_formats.insert(key, f);
    return f;
}

void WorkbookWriter::writeText(int row, int column, const QString& text, const WorkbookStyle& style)
{
    if (m_failed)
        return;
    if (worksheet_write_string(m_sheet, lxw_row_t(row), lxw_col_t(column), text.toUtf8().constData(),
                               format(style)) != LXW_NO_ERROR)
        m_failed = true;
}

void WorkbookWriter::writeNumber(int row, int column, double value, const WorkbookStyle& style)
{
    if (m_failed)
        return;
    if (worksheet_write_number(m_sheet, lxw_row_t(row), lxw_col_t(column), value, format(style)) != LXW_NO_ERROR)
        m_failed = true;
}

void WorkbookWriter::writeCell(int row, int column, const QString& text, const WorkbookStyle& style)
{
    bool isNumber = false;
    const double value = text.toDouble(&isNumber);
    // Issue numbers and other long digit strings stay text so they are not shown in exponent form.
    if (isNumber && text.size() <= 8 && !text.startsWith('+') && text.trimmed() == text)
        writeNumber(row, column, value, style);
    else
        writeText(row, column, text, style);
}

void WorkbookWriter::setColumnWidth(int column, double characters)
{
    if (!m_failed)
        worksheet_set_column(m_sheet, lxw_col_t(column), lxw_col_t(column), characters, nullptr);
}

bool WorkbookWriter::save(QString* error)
{
    const QString shown = QDir::toNativeSeparators(QFileInfo(m_path).absoluteFilePath());
    if (!m_workbook) {
        *error = QStringLiteral("无法建立表格文件“%1”。").arg(shown);
        return false;
    }
    const lxw_error closed = workbook_close(m_workbook);
    m_workbook = nullptr;
    if (m_failed || closed != LXW_NO_ERROR) {
        QFile::remove(m_tempPath);
        *error = QStringLiteral("无法写入表格文件“%1”：%2").arg(shown, QString::fromUtf8(lxw_strerror(closed)));
        return false;
    }
    std::error_code ec;
    std::filesystem::rename(QFile::encodeName(m_tempPath).toStdString(), QFile::encodeName(m_path).toStdString(), ec);
    if (ec) {
        QFile::remove(m_tempPath);
        *error = QStringLiteral("无法保存表格文件“%1”：%2").arg(shown, QString::fromStdString(ec.message()));
        return false;
    }
    return true;
}
