#pragma once

#include "backtest/FormulaOrdering.h"

#include <QDialog>
#include <array>

class QButtonGroup;
class QLineEdit;
class QPushButton;
class QRadioButton;

// "公式排序设置": the three sort keys and the limit L of the best-formula method. The window
// keeps its choices between openings; only the limit box is reset to "3" whenever it is shown.
class FormulaSortWindow : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kGroups = 3;

    explicit FormulaSortWindow(QWidget* parent = nullptr);

    // Shows the window modally. On "确定(&O)" the keys of the groups with a checked option
    // (正确率, 最大连对, 最后连对 descending; 最大连错, 最后连错 ascending) and the limit;
    // closed any other way, no key, and nothing is to be calculated.
    FormulaSortChoice ask();
    // The choice the controls hold now.
    FormulaSortChoice currentChoice() const;

    QRadioButton* option(int group, FormulaFigure figure) const;
    QLineEdit* limitBox() const { return m_limitBox; }
    QPushButton* confirmButton() const { return m_confirmButton; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::array<QButtonGroup*, kGroups> m_groups{};
    QLineEdit* m_limitBox;
    QPushButton* m_confirmButton;
};
