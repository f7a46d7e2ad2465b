#pragma once

#include <functional>

class QTableView;

// Column widths of a grid. The program's widths come from the old layouts (twips at 96 dpi) and
// are kept as a guide; a column is widened where its caption, or with fitContents its cells,
// need more room in the font the desktop uses.
class GridColumns
{
public:
    static void apply(QTableView* view, const std::function<int(int column)>& width,
                      bool fitContents = false);
};
