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

void GridColumns::fitNumbers(QTableView* view, const std::vector<int>& columns)
{
    QAbstractItemModel* model = view->model();
    if (!model)
        return;
    QHeaderView* header = view->horizontalHeader();
    const int rows = model->rowCount();
    for (int c : columns) {
        if (c < 0 || c >= model->columnCount())
            continue;
        int longestRow = -1;
        qsizetype longest = -1;
        for (int r = 0; r < rows; ++r) {
            const qsizetype length = model->data(model->index(r, c), Qt::DisplayRole).toString().size();
            if (length > longest) {
                longest = length;
                longestRow = r;
            }
        }
        int w = std::max(view->columnWidth(c), header->sectionSizeHint(c));
        if (longestRow >= 0)
            w = std::max(w, view->sizeHintForIndex(model->index(longestRow, c)).width() +
                                (view->showGrid() ? 1 : 0));
        view->setColumnWidth(c, w);
    }
}
