#include "charts/ChartStyle.h"

#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace ChartStyle {

QColor positionColour(int position)
{
    static const QColor colours[] = {QColor(0x1f, 0x5f, 0xb4), QColor(0xe0, 0x6c, 0x00),
                                     QColor(0x2c, 0x9a, 0x2c)};
    return colours[std::clamp(position, 0, 2)];
}

QPen chanceLinePen()
{
    QPen pen(QColor(0x44, 0x44, 0x44));
    pen.setStyle(Qt::DashLine);
    pen.setWidthF(1.6);
    return pen;
}

QColor bandColour()
{
    return QColor(0x9e, 0xc5, 0xe8, 120);
}

QColor missColour()
{
    return QColor(0xd0, 0x20, 0x20);
}

void styleAxis(QAbstractAxis* axis)
{
    QFont font = axis->labelsFont();
    font.setPointSizeF(std::max(7.5, font.pointSizeF() * 0.9));
    axis->setLabelsFont(font);
}

QValueAxis* integerAxis(int low, int high, int step)
{
    auto* axis = new QValueAxis;
    axis->setRange(low - 0.5, high + 0.5);
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(low);
    axis->setTickInterval(step);
    axis->setLabelFormat(QStringLiteral("%d"));
    styleAxis(axis);
    return axis;
}

int indexAt(double x, int count)
{
    const int i = static_cast<int>(std::lround(x));
    return i >= 0 && i < count ? i : -1;
}

} // namespace ChartStyle
