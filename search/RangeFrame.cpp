#include "search/RangeFrame.h"

#include "search/QualificationRanges.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

RangeFrame::RangeFrame(QWidget* parent) : QGroupBox(QStringLiteral("公式参数"), parent)
{
    setObjectName(QStringLiteral("fraRanges"));
    auto* grid = new QGridLayout(this);
    const QStringList labels{QStringLiteral("正确率"), QStringLiteral("最大连错"), QStringLiteral("最大连对"),
                             QStringLiteral("最后连错"), QStringLiteral("最后连对")};
    const QStringList defaults = QualificationRanges::formDefaults().texts();
    for (int row = 0; row < 5; ++row) {
        grid->addWidget(new QLabel(labels[row]), row, 0);
        for (int side = 0; side < 2; ++side) {
            const int j = row * 2 + side;
            m_boxes[j] = new QLineEdit(defaults[j]);
            m_boxes[j]->setObjectName(QStringLiteral("range%1").arg(j));
            grid->addWidget(m_boxes[j], row, side == 0 ? 1 : 3);
        }
        grid->addWidget(new QLabel(QStringLiteral("到")), row, 2);
    }
}

QStringList RangeFrame::texts() const
{
    QStringList texts;
    for (const QLineEdit* box : m_boxes)
        texts << box->text();
    return texts;
}

void RangeFrame::setTexts(const QStringList& texts)
{
    for (int j = 0; j < QualificationRanges::kBoxes; ++j)
        m_boxes[j]->setText(texts.value(j));
}
