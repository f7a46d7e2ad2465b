#pragma once

#include "backtest/FormulaFilter.h"

#include <QDialog>
#include <array>
#include <vector>

class QLineEdit;
class QPushButton;

// "公式过滤设置窗口": narrows the selection of the formula list to the formulas whose five
// statistics lie inside the ranges typed in the ten boxes. Only flags are cleared; nothing is
// deleted and no formula is selected.
class FormulaFilterWindow : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kBoxes = 2 * kFormulaFigureCount;

    explicit FormulaFilterWindow(QWidget* parent = nullptr);

    // Prefills the boxes from the selected formulas and shows the window modally. On
    // "确定(&K)" clears the flags of the formulas outside the ranges, hides the window and tells
    // how many remain ("过滤后公式剩余k条"). True when the filter was applied.
    bool run(const std::vector<FormulaFigures>& formulas, std::vector<bool>* selected);

    // The ten boxes: the lower and upper bound of 正确率, 最大连错, 最大连对, 最后连错, 最后连对.
    void setBounds(const FormulaFilterBounds& bounds);
    FormulaFilterBounds bounds() const;
    // Box 2k is the lower and box 2k + 1 the upper bound of statistic k.
    QLineEdit* box(int index) const;
    QPushButton* confirmButton() const { return m_confirmButton; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::array<QLineEdit*, kBoxes> m_boxes{};
    QPushButton* m_confirmButton;
};
