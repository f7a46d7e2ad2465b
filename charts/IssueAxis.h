#pragma once

#include <QStringList>

class QCategoryAxis;
class QChart;

// The horizontal axis of a trend chart: x is the index of a draw (0 = the oldest shown), labelled
// with issue numbers. As many issues are written as fit side by side in the plot's width, always
// including the newest at the right; the labels follow whenever the chart is resized.
class IssueAxis
{
public:
    // Adds the axis to the bottom of `chart` (which owns it) for `issues`, ranging over every index.
    static QCategoryAxis* attach(QChart* chart, const QStringList& issues);
    // The indexes labelled for `count` issues when `fitting` labels fit: the newest always, then
    // back from it by an even step (1, 2, 5, 10, 20, 50, ...).
    static QList<int> labelledIndexes(int count, int fitting);

private:
    static void relabel(QChart* chart, QCategoryAxis* axis, const QStringList& issues);
};
