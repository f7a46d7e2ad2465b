#include "ui/GridColumns.h"

#include <QHeaderView>
#include <QTableView>
#include <algorithm>

void GridColumns::apply(QTableView* view, const std::function<int(int column)>& width, bool fitContents)
{
    QAbstractItemModel* model = view->model();
    if (!model)
        return;
    QHeaderView* header = view->horizontalHeader();
    for (int c = 0; c < model->columnCount(); ++c) {
        int w = std::max(width(c), header->sectionSizeHint(c));
        if (fitContents)
            w = std::max(w, static_cast<QAbstractItemView*>(view)->sizeHintForColumn(c));
        view->setColumnWidth(c, w);
    }
}
