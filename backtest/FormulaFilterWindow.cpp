#include "backtest/FormulaFilterWindow.h"

#include "ui/MessageBoxes.h"

#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

FormulaFilterWindow::FormulaFilterWindow(QWidget* parent)
    : QDialog(parent), m_confirmButton(new QPushButton(QStringLiteral("确定(&K)"), this))
{
    setWindowTitle(QStringLiteral("公式过滤设置窗口"));
    setModal(true);

    auto* group = new QGroupBox(QStringLiteral("公式参数"), this);
    auto* grid = new QGridLayout(group);
    for (int k = 0; k < kFormulaFigureCount; ++k) {
        grid->addWidget(new QLabel(FormulaOrdering::caption(FormulaFigure(k)), group), k, 0);
        for (int side = 0; side < 2; ++side) {
            QLineEdit*& box = m_boxes[2 * k + side];
            box = new QLineEdit(group);
            box->installEventFilter(this);
            grid->addWidget(box, k, side == 0 ? 1 : 3);
        }
        grid->addWidget(new QLabel(QStringLiteral("到"), group), k, 2);
    }

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_confirmButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons);

    m_confirmButton->setDefault(true);
    connect(m_confirmButton, &QPushButton::clicked, this, &QDialog::accept);
}

QLineEdit* FormulaFilterWindow::box(int index) const
{
    return index >= 0 && index < kBoxes ? m_boxes[index] : nullptr;
}

void FormulaFilterWindow::setBounds(const FormulaFilterBounds& bounds)
{
    for (int k = 0; k < kFormulaFigureCount; ++k) {
        m_boxes[2 * k]->setText(bounds.lower[k]);
        m_boxes[2 * k + 1]->setText(bounds.upper[k]);
    }
}

FormulaFilterBounds FormulaFilterWindow::bounds() const
{
    FormulaFilterBounds b;
    for (int k = 0; k < kFormulaFigureCount; ++k) {
        b.lower[k] = m_boxes[2 * k]->text();
        b.upper[k] = m_boxes[2 * k + 1]->text();
    }
    return b;
}

bool FormulaFilterWindow::run(const std::vector<FormulaFigures>& formulas, std::vector<bool>* selected)
{
    setBounds(FormulaFilter::prefill(formulas, *selected));
    if (exec() != QDialog::Accepted)
        return false;
    const int kept = FormulaFilter::apply(formulas, bounds(), selected);
    MessageBoxes::information(parentWidget(), QStringLiteral("公式过滤结果"),
                              QStringLiteral("过滤后公式剩余%1条").arg(kept));
    return true;
}

bool FormulaFilterWindow::eventFilter(QObject* watched, QEvent* event)
{
    // Entering a box selects its text, so a new bound replaces the old one. The selection waits
    // for the event loop: a mouse click that gave the focus would otherwise clear it again.
    if (event->type() == QEvent::FocusIn) {
        if (auto* box = qobject_cast<QLineEdit*>(watched))
            QTimer::singleShot(0, box, &QLineEdit::selectAll);
    }
    return QDialog::eventFilter(watched, event);
}
