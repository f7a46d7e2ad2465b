#include "backtest/DetailListWindow.h"

#include "ui/GridColumns.h"
#include "ui/GridExport.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

DetailListWindow::DetailListWindow(const std::vector<DetailListRow>& rows, const QString& dataFolder,
                                   QWidget* parent)
    : QDialog(parent), m_dataFolder(dataFolder), m_model(new QStandardItemModel(int(rows.size()), 6, this)),
      m_view(new QTableView(this)), m_exportButton(new QPushButton(QStringLiteral("导出数据(&E)"), this))
{
    setObjectName(QStringLiteral("frmXxlb"));
    setWindowTitle(QStringLiteral("详细结果列表"));
    setModal(true);
    resize(900, 480);

    m_model->setHorizontalHeaderLabels({QStringLiteral("序号"), QStringLiteral("公式"),
                                        QStringLiteral("类型"), QStringLiteral("生杀"),
                                        QStringLiteral("结果"), QStringLiteral("号码")});
    for (int r = 0; r < int(rows.size()); ++r) {
        const DetailListRow& row = rows[r];
        const QString texts[] = {QString::number(r + 1), row.formula, row.kind, row.sense,
                                 row.nextValue,          row.rateText};
        for (int c = 0; c < 6; ++c) {
            auto* item = new QStandardItem(texts[c]);
            item->setEditable(false);
            if (c == 1) // a formula may be a bare constant such as "13"
                item->setData(true, GridExport::TextCellRole);
            m_model->setItem(r, c, item);
        }
    }

    m_view->setModel(m_model);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->verticalHeader()->hide();
    GridColumns::apply(m_view, &DetailListWindow::columnWidthPixels, true);
    GridColumns::fitNumbers(m_view, {0, 4});

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_exportButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_view, 1);
    layout->addLayout(buttons);

    connect(m_exportButton, &QPushButton::clicked, this,
            [this] { GridExport::exportAndOpen(this, *m_model, exportPath()); });
}

QString DetailListWindow::exportPath() const
{
    return QDir(m_dataFolder).filePath(QStringLiteral("gongshi.xlsx"));
}

int DetailListWindow::columnWidthPixels(int column)
{
    static constexpr int twips[] = {600, 6000, 600, 600, 600, 2400};
    return column >= 0 && column < 6 ? twips[column] / 15 : 100;
}
