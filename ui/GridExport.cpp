#include "ui/GridExport.h"

#include "store/WorkbookWriter.h"
#include "ui/DesktopOpener.h"
#include "ui/MessageBoxes.h"

#include <QAbstractItemModel>
#include <QBrush>
#include <QDir>
#include <QFont>

namespace {

std::optional<uint32_t> colourOf(const QVariant& v)
{
    if (!v.isValid())
        return std::nullopt;
    const QColor c = v.canConvert<QBrush>() ? v.value<QBrush>().color() : v.value<QColor>();
    if (!c.isValid())
        return std::nullopt;
    return uint32_t(c.rgb() & 0xFFFFFF);
}

} // namespace

bool GridExport::writeWorkbook(const QAbstractItemModel& model, const QString& path, QString* error,
                               const HeaderText& headerText)
{
    std::vector<Column> columns;
    for (int c = 0; c < model.columnCount(); ++c)
        columns.push_back(
            {c,
             headerText ? headerText(c) : model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(),
             {}});
    return writeColumns(model, columns, path, error);
}

bool GridExport::writeColumns(const QAbstractItemModel& model, const std::vector<Column>& columns,
                              const QString& path, QString* error)
{
    WorkbookWriter book(path);
    for (std::size_t c = 0; c < columns.size(); ++c)
        book.writeText(0, int(c), columns[c].header, WorkbookStyle{{}, {}, true, {}});
    for (int r = 0; r < model.rowCount(); ++r) {
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const Column& column = columns[c];
            const QModelIndex i = model.index(r, column.source);
            WorkbookStyle style;
            style.background = colourOf(model.data(i, Qt::BackgroundRole));
            style.foreground = colourOf(model.data(i, Qt::ForegroundRole));
            if (style.foreground == 0x000000u)
                style.foreground.reset();
            style.bold = model.data(i, Qt::FontRole).value<QFont>().bold();
            QString text = model.data(i, Qt::DisplayRole).toString();
            if (column.text)
                text = column.text(text);
            if (column.asText || model.data(i, TextCellRole).toBool())
                book.writeText(r + 1, int(c), text, style);
            else
                book.writeCell(r + 1, int(c), text, style);
        }
    }
    return book.save(error);
}

bool GridExport::exportColumnsAndOpen(QWidget* parent, const QAbstractItemModel& model,
                                      const std::vector<Column>& columns, const QString& path)
{
    QString error;
    if (!writeColumns(model, columns, path, &error)) {
        MessageBoxes::warning(parent, QStringLiteral("导出"), error);
        return false;
    }
    openWritten(parent, path);
    return true;
}

bool GridExport::exportAndOpen(QWidget* parent, const QAbstractItemModel& model, const QString& path,
                               const HeaderText& headerText)
{
    QString error;
    if (!writeWorkbook(model, path, &error, headerText)) {
        MessageBoxes::warning(parent, QStringLiteral("导出"), error);
        return false;
    }
    openWritten(parent, path);
    return true;
}

void GridExport::openWritten(QWidget* parent, const QString& path)
{
    if (!DesktopOpener::open(path))
        MessageBoxes::warning(
            parent, QStringLiteral("列表显示错误"),
            QStringLiteral("您的电脑没有安装Microsoft Excel表格软件，多参数列表无法显示\n文件已保存为：%1")
                .arg(QDir::toNativeSeparators(path)));
}
