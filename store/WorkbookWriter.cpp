#include "store/WorkbookWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <xlsxwriter.h>

#include <filesystem>

WorkbookWriter::WorkbookWriter(const QString& path) : m_path(path), m_tempPath(path + QStringLiteral(".part"))
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
    if (!style.background && !style.foreground && !style.bold && style.numberFormat.isEmpty())
        return nullptr;
    const QString key = QStringLiteral("%1/%2/%3/%4")
                            .arg(style.background ? qint64(*style.background) : -1)
                            .arg(style.foreground ? qint64(*style.foreground) : -1)
                            .arg(style.bold)
                            .arg(style.numberFormat);
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
    if (!style.numberFormat.isEmpty())
        format_set_num_format(f, style.numberFormat.toUtf8().constData());
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
    if (worksheet_write_number(m_sheet, lxw_row_t(row), lxw_col_t(column), value, format(style)) !=
        LXW_NO_ERROR)
        m_failed = true;
}

bool WorkbookWriter::numberOf(const QString& text, double* value, QString* numberFormat)
{
    // Plain decimals, a sign "+" kept in view ("+1.23"), and percentages ("83.33%"); at most
    // fifteen digits, all a spreadsheet keeps exactly. Leading zeros only in a percentage
    // ("05.50%"): elsewhere they make a code, not a number.
    static const QRegularExpression plain(QStringLiteral("^([+-]?)([0-9]+)(?:\\.([0-9]+))?(%?)$"));
    const QRegularExpressionMatch m = plain.match(text);
    if (!m.hasMatch())
        return false;
    const QString whole = m.captured(2);
    const qsizetype places = m.capturedLength(3);
    const bool percent = m.capturedLength(4) > 0;
    if (whole.size() + places > 15 || (whole.size() > 1 && whole.startsWith('0') && !percent))
        return false;
    bool ok = false;
    *value = QString(text).remove('%').toDouble(&ok);
    if (!ok)
        return false;
    if (percent)
        *value /= 100;
    // The format shows the text again: as many integer digits as a percentage was padded to, the
    // same count of places ("85.3300" would otherwise show as 85.33), the "%", the "+". The
    // general format shows up to eleven digits as written; longer integers need "0".
    QString body = whole.startsWith('0') ? QString(whole.size(), QLatin1Char('0')) : QStringLiteral("0");
    if (places > 0)
        body += QStringLiteral(".") + QString(places, QLatin1Char('0'));
    if (percent)
        body += QLatin1Char('%');
    if (m.captured(1) == QLatin1String("+"))
        *numberFormat = QStringLiteral("+%1;-%1;+%1").arg(body);
    else if (body == QLatin1String("0"))
        *numberFormat = whole.size() > 11 ? body : QString();
    else
        *numberFormat = body;
    return true;
}

void WorkbookWriter::writeCell(int row, int column, const QString& text, const WorkbookStyle& style)
{
    double value = 0;
    QString numberFormat;
    if (!numberOf(text, &value, &numberFormat)) {
        writeText(row, column, text, style);
        return;
    }
    WorkbookStyle numberStyle = style;
    numberStyle.numberFormat = numberFormat;
    writeNumber(row, column, value, numberStyle);
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
        *error =
            QStringLiteral("无法写入表格文件“%1”：%2").arg(shown, QString::fromUtf8(lxw_strerror(closed)));
        return false;
    }
    std::error_code ec;
    std::filesystem::rename(QFile::encodeName(m_tempPath).toStdString(),
                            QFile::encodeName(m_path).toStdString(), ec);
    if (ec) {
        QFile::remove(m_tempPath);
        *error = QStringLiteral("无法保存表格文件“%1”：%2").arg(shown, QString::fromStdString(ec.message()));
        return false;
    }
    return true;
}
