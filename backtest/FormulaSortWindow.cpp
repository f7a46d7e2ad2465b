#include "backtest/FormulaSortWindow.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

const QString kDefaultLimit = QStringLiteral("3");

} // namespace

FormulaSortWindow::FormulaSortWindow(QWidget* parent)
    : QDialog(parent), m_limitBox(new QLineEdit(kDefaultLimit, this)),
      m_confirmButton(new QPushButton(QStringLiteral("确定(&O)"), this))
{
    setWindowTitle(QStringLiteral("公式排序设置"));
    setModal(true);

    const QString captions[kGroups] = {QStringLiteral("第一排序"), QStringLiteral("第二排序"),
                                       QStringLiteral("第三排序")};
    auto* groupsRow = new QHBoxLayout;
    for (int g = 0; g < kGroups; ++g) {
        auto* box = new QGroupBox(captions[g], this);
        auto* boxLayout = new QVBoxLayout(box);
        m_groups[g] = new QButtonGroup(this);
        for (int f = 0; f < kFormulaFigureCount; ++f) {
            auto* button = new QRadioButton(FormulaOrdering::caption(FormulaFigure(f)), box);
            m_groups[g]->addButton(button, f);
            boxLayout->addWidget(button);
        }
        groupsRow->addWidget(box);
    }
    // Only the first key has a default; the others stay out of the ordering until chosen.
    m_groups[0]->button(int(FormulaFigure::Rate))->setChecked(true);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(groupsRow);
    layout->addWidget(new QLabel(QStringLiteral("设置需要保留的项目个数限额(少于或等于)"), this));
    layout->addWidget(m_limitBox);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_confirmButton);
    layout->addLayout(buttons);

    m_confirmButton->setDefault(true);
    connect(m_confirmButton, &QPushButton::clicked, this, &QDialog::accept);
}

QRadioButton* FormulaSortWindow::option(int group, FormulaFigure figure) const
{
    if (group < 0 || group >= kGroups)
        return nullptr;
    return qobject_cast<QRadioButton*>(m_groups[group]->button(int(figure)));
}

FormulaSortChoice FormulaSortWindow::currentChoice() const
{
    FormulaSortChoice choice;
    for (const QButtonGroup* group : m_groups) {
        const int checked = group->checkedId();
        if (checked >= 0)
            choice.keys.push_back(FormulaOrderKey::preferred(FormulaFigure(checked)));
    }
    choice.limit = FormulaOrdering::limitFromText(m_limitBox->text());
    return choice;
}

FormulaSortChoice FormulaSortWindow::ask()
{
    if (exec() != QDialog::Accepted)
        return {{}, FormulaOrdering::limitFromText(m_limitBox->text())};
    return currentChoice();
}

void FormulaSortWindow::showEvent(QShowEvent* event)
{
    m_limitBox->setText(kDefaultLimit);
    QDialog::showEvent(event);
}
