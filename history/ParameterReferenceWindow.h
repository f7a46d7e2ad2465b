#pragma once

#include <QWidget>

class QTableWidget;
struct DrawRecord;

// "参数对照": the parameter values of the newest stored draw, one row per parameter; a click on
// a cell puts its text on the clipboard.
class ParameterReferenceWindow : public QWidget
{
    Q_OBJECT
public:
    explicit ParameterReferenceWindow(QWidget* parent = nullptr);
    // Shows the values of `draw`; null clears the values.
    void showDraw(const DrawRecord* draw);
    QTableWidget* grid() const { return m_grid; }

private:
    QTableWidget* m_grid;
};
