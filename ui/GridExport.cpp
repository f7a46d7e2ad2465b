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
    WorkbookWriter book(path);
    const int columns = model.columnCount();
    for (int c = 0; c < columns; ++c) {
        const QString header =
            headerText ? headerText(c) : model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        book.writeText(0, c, header, WorkbookStyle{{}, {}, true, {}});
    }
    for (int r = 0; r < model.rowCount(); ++r) {
        for (int c = 0; c < columns; ++c) {
            const QModelIndex i = model.index(r, c);
            WorkbookStyle style;
            style.background = colourOf(model.data(i, Qt::BackgroundRole));
            style.foreground = colourOf(model.data(i, Qt::ForegroundRole));
            if (style.foreground == 0x000000u)
                style.foreground.reset();
            style.bold = model.data(i, Qt::FontRole).value<QFont>().bold();
            const QString text = model.data(i, Qt::DisplayRole).toString();
            if (model.data(i, TextCellRole).toBool())
                book.writeText(r + 1, c, text, style);
            else
                book.writeCell(r + 1, c, text, style);
        }
    }
    return book.save(error);
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
