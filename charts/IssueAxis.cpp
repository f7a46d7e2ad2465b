#include "charts/IssueAxis.h"

#include <QCategoryAxis>
#include <QChart>
#include <QFontMetrics>

#include <algorithm>

QCategoryAxis* IssueAxis::attach(QChart* chart, const QStringList& issues)
{
    auto* axis = new QCategoryAxis;
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    axis->setRange(-0.5, std::max<qsizetype>(issues.size(), 1) - 0.5);
    axis->setStartValue(-0.5);
    axis->setGridLineVisible(false);
    chart->addAxis(axis, Qt::AlignBottom);
    // A first guess until the chart knows its plot area.
    relabel(chart, axis, issues);
    QObject::connect(chart, &QChart::plotAreaChanged, axis,
                     [chart, axis, issues] { relabel(chart, axis, issues); });
    return axis;
}

QList<int> IssueAxis::labelledIndexes(int count, int fitting)
{
    QList<int> out;
    if (count <= 0)
        return out;
    fitting = std::max(fitting, 1);
    int step = 1;
    for (int scale = 1; step * fitting < count; scale *= 10) {
        for (int f : {1, 2, 5}) {
            step = f * scale;
            if (step * fitting >= count)
                break;
        }
    }
    for (int i = count - 1; i >= 0; i -= step)
        out.prepend(i);
    return out;
}

void IssueAxis::relabel(QChart* chart, QCategoryAxis* axis, const QStringList& issues)
{
    const QFontMetrics metrics(axis->labelsFont());
    int widest = 0;
    for (const QString& issue : issues)
        widest = std::max(widest, metrics.horizontalAdvance(issue));
    // The newest issue is written centred on the plot's right edge: leave room for its second half.
    QMargins margins = chart->margins();
    const int rightRoom = widest / 2 + 4;
    if (margins.right() != rightRoom) {
        margins.setRight(rightRoom);
        chart->setMargins(margins);
    }
    const double width =
        chart->plotArea().width() > 0 ? chart->plotArea().width() : chart->size().width() * 0.8;
    const int fitting = std::max(2, static_cast<int>(width / (widest + metrics.averageCharWidth() * 3)));
    const QList<int> wanted = labelledIndexes(static_cast<int>(issues.size()), fitting);
    QStringList labels;
    for (int i : wanted)
        labels << issues[i];
    if (labels == axis->categoriesLabels())
        return;
    for (const QString& label : axis->categoriesLabels())
        axis->remove(label);
    for (int i : wanted)
        axis->append(issues[i], i);
}
