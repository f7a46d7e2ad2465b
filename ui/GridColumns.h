#pragma once

#include <functional>
#include <vector>

class QTableView;

// Column widths of a grid. The program's widths come from the old layouts (twips at 96 dpi) and
// are kept as a guide; a column is widened where its caption, or with fitContents its cells,
// need more room in the font the desktop uses.
class GridColumns
{
public:
    static void apply(QTableView* view, const std::function<int(int column)>& width,
                      bool fitContents = false);
    // Widens each of the columns, where needed, so that its longest cell text (looked for over
    // every row, not only those in view: the 序号 of the 32,767th formula) and its caption fit.
    // Meant for columns of numbers, whose longest text is the widest.
    static void fitNumbers(QTableView* view, const std::vector<int>& columns);
};
