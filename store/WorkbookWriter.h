#pragma once

#include <QHash>
#include <QString>
#include <cstdint>
#include <optional>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

struct WorkbookStyle
{
    std::optional<uint32_t> background; // 0xRRGGBB
    std::optional<uint32_t> foreground;
    bool bold = false;
    QString numberFormat; // e.g. "0.0000"; empty: the spreadsheet's general format
};

// Writes one .xlsx workbook with a single sheet "Sheet1". Cells are addressed from 0; colours
// are 0xRRGGBB. The file appears only when save() succeeds: it is written beside the target
// and moved over an old file of the same name.
class WorkbookWriter
{
public:
    explicit WorkbookWriter(const QString& path);
    ~WorkbookWriter();
    WorkbookWriter(const WorkbookWriter&) = delete;
    WorkbookWriter& operator=(const WorkbookWriter&) = delete;

    void writeText(int row, int column, const QString& text, const WorkbookStyle& style = {});
    void writeNumber(int row, int column, double value, const WorkbookStyle& style = {});
    // Writes a number when the text is one (so the spreadsheet can compute with it), else text.
    // A number is written with a format that shows the same text ("85.3300" keeps its four
    // decimals, "+1.23" its sign, "83.33%" is 0.8333 shown as a percentage); text with leading
    // zeros (outside a percentage), blanks or an exponent stays text.
    void writeCell(int row, int column, const QString& text, const WorkbookStyle& style = {});
    // The number a cell text stands for, and the format that shows it as that text; false when
    // the text is no plain decimal number.
    static bool numberOf(const QString& text, double* value, QString* numberFormat);
    void setColumnWidth(int column, double characters);
    bool save(QString* error);

private:
    lxw_format* format(const WorkbookStyle& style);

    QString m_path;
    QString m_tempPath;
    lxw_workbook* m_workbook = nullptr;
    lxw_worksheet* m_sheet = nullptr;
    QHash<QString, lxw_format*> m_formats;
    bool m_failed = false;
};
