#include "history/ParameterReferenceWindow.h"

#include "history/DrawRecord.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

// Rows with one value per position: label and the letter of the column L<p><letter>.
struct PositionRow
{
    const char* label;
    const char* codes[3];
};

const PositionRow kPositionRows[] = {
    {"号码", {"L1A", "L2A", "L3A"}},
    {"大小", {"L1B", "L2B", "L3B"}},
    {"单双", {"L1C", "L2C", "L3C"}},
    {"除5余数", {"L1D", "L2D", "L3D"}},
    {"除3余数", {"L1E", "L2E", "L3E"}},
    {"3段段数(对应123段)", {"L1F", "L2F", "L3F"}},
    {"平方", {"L1G", "L2G", "L3G"}},
    {"互补数", {"L1I", "L2I", "L3I"}},
    {"2指数方(2作底值作指数）", {"L1J", "L2J", "L3J"}},
    {"立方", {"L1K", "L2K", "L3K"}},
    {"除3余N(对应120)个数", {"L1L", "L2L", "L3L"}},
    {"邻号和", {"L1P", "L2P", "L3P"}},
    {"邻号差", {"L1Q", "L2Q", "L3Q"}},
};

// Rows with one whole-draw value in the "总位" column.
const std::pair<const char*, const char*> kWholeRows[] = {
    {"除5余1", "L1H"},   {"除5余2", "L2H"},  {"除5余3", "L3H"},  {"除5余4", "L4H"}, {"除5余0", "L5H"},
    {"最大振幅", "L1M"}, {"质数个", "L2M"},  {"质数和", "L3M"},  {"合数个", "L4M"}, {"合数和", "L5M"},
    {"和数", "LH"},      {"和个位", "LI"},   {"大数个", "LJ"},   {"大数和", "LK"},  {"小数个", "LL"},
    {"小数和", "LM"},    {"奇数个", "LN"},   {"奇数和", "LO"},   {"偶数个", "LP"},  {"偶数和", "LQ"},
    {"数字个数", "LR"},  {"同号个数", "LS"}, {"总振幅", "LT"},   {"连同号", "LU"},  {"连顺号", "LV"},
    {"逆顺号", "LW"},    {"重上期号", "LX"}, {"同上期数", "LY"}, {"期号", "QH"},    {"期号合", "QHW"},
    {"上期号", "SQH"},   {"上期合", "SQHW"}, {"年份", "NF"},     {"年份合", "NFW"}, {"月份", "YF"},
    {"月份合", "YFW"},   {"日期", "RQ"},     {"日期合", "RQW"},
};

constexpr int kPositionRowCount = int(std::size(kPositionRows));
constexpr int kRowCount = kPositionRowCount + int(std::size(kWholeRows));

} // namespace

ParameterReferenceWindow::ParameterReferenceWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), m_grid(new QTableWidget(kRowCount, 5, this))
{
    setObjectName("frmShuoming");
    setWindowTitle(QStringLiteral("参数对照"));
    m_grid->setObjectName("MSFlexGrid1");
    m_grid->setHorizontalHeaderLabels({QString(), QStringLiteral("百位"), QStringLiteral("十位"),
                                       QStringLiteral("个位"), QStringLiteral("总位")});
    m_grid->verticalHeader()->hide();
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int r = 0; r < kPositionRowCount; ++r)
        m_grid->setItem(r, 0, new QTableWidgetItem(QString::fromUtf8(kPositionRows[r].label)));
    for (int r = kPositionRowCount; r < kRowCount; ++r)
        m_grid->setItem(r, 0,
                        new QTableWidgetItem(QString::fromUtf8(kWholeRows[r - kPositionRowCount].first)));
    m_grid->resizeColumnToContents(0);
    for (int c = 1; c <= 4; ++c)
        m_grid->setColumnWidth(c, 60);
    connect(m_grid, &QTableWidget::cellClicked, this, [this](int row, int column) {
        QClipboard* clipboard = QApplication::clipboard();
        clipboard->clear();
        const QTableWidgetItem* item = m_grid->item(row, column);
        clipboard->setText(item ? item->text() : QString());
    });
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_grid);
    resize(m_grid->columnWidth(0) + 4 * 60 + 40, 640);
}

void ParameterReferenceWindow::showDraw(const DrawRecord* draw)
{
    auto put = [this](int row, int column, const QString& text) {
        QTableWidgetItem* item = m_grid->item(row, column);
        if (!item) {
            item = new QTableWidgetItem;
            item->setTextAlignment(Qt::AlignCenter);
            m_grid->setItem(row, column, item);
        }
        item->setText(text);
    };
    for (int r = 0; r < kPositionRowCount; ++r)
        for (int p = 0; p < 3; ++p)
            put(r, p + 1, draw ? QString::number(draw->value(kPositionRows[r].codes[p])) : QString());
    for (int r = kPositionRowCount; r < kRowCount; ++r)
        put(r, 4, draw ? QString::number(draw->value(kWholeRows[r - kPositionRowCount].second)) : QString());
}
