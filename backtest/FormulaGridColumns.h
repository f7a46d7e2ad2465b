#pragma once

#include "ui/GridExport.h"

#include <QStyledItemDelegate>
#include <vector>

class QTableView;

// How the formula grid lays out its columns so that the formula stays readable on a 1366-pixel
// screen: the 公式 column keeps room for at least 24 characters and takes whatever width the other
// columns leave; the other columns get what their captions and figures need, the rates showing
// only their percentage (the "(hits/total)" part is in the cell's tooltip). When the columns need
// more than the grid's width the grid scrolls sideways instead of squeezing the formula.
class FormulaGridColumns : public QStyledItemDelegate
{
public:
    // Installs itself as the view's item delegate; the view (with a FormulaGridModel) owns it.
    explicit FormulaGridColumns(QTableView* view);

    // Sizes every column for the rows shown; columns hidden stay hidden.
    void apply();
    // The least width of the 公式 column: 24 characters of the grid's font.
    int formulaMinimumWidth() const;
    // The text a rate cell shows: "85.3300% (256/300)" becomes "85.3300%".
    static QString shortRate(const QString& rateText);
    // The columns of gongshi.xlsx: those the grid shows, each with its caption, the rates as
    // numbers and their "(hits/total)" part in a column of its own.
    std::vector<GridExport::Column> exportColumns() const;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Gives the 公式 column the width the other shown columns leave, at least its minimum.
    void fitFormulaColumn();

    QTableView* m_view;
};
