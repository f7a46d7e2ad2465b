#pragma once

#include <QColor>
#include <QPen>

class QAbstractAxis;
class QValueAxis;

// Colours and pens every trend chart uses, so the same thing looks the same on every tab.
namespace ChartStyle {

// 百位, 十位, 个位.
QColor positionColour(int position);
// The line of what pure chance gives: dashed, dark grey.
QPen chanceLinePen();
// The 95 % band of pure chance: a pale fill.
QColor bandColour();
QColor missColour();
// Points are marked on a line while they stay this far apart at most.
constexpr int kMaxMarkedPoints = 150;
// Axis labels a little smaller than the captions, so issue numbers fit.
void styleAxis(QAbstractAxis* axis);
// A value axis over whole numbers [low, high] with a label on every `step`.
QValueAxis* integerAxis(int low, int high, int step);
// The index of the point or bar under a hovered x value (points at 0, 1, ...), or -1 outside
// the `count` there are.
int indexAt(double x, int count);

} // namespace ChartStyle
