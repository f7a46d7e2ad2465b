#include "ui/KindPicker.h"

#include <QBoxLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QRadioButton>

KindPicker::Look KindPicker::mainWindowLook()
{
    Look look;
    look.buttons = Qt::Vertical;
    look.positionNames = {QStringLiteral("optXing1"), QStringLiteral("optXing2"), QStringLiteral("optXing3")};
    look.singleName = QStringLiteral("opTDG0");
    look.generalName = QStringLiteral("opTDG1");
    look.killName = QStringLiteral("Option20");
    look.keepName = QStringLiteral("Option21");
    look.framesPlacedByHost = true; // in the row of option frames below the formula list
    return look;
}

KindPicker::Look KindPicker::searchLook()
{
    Look look;
    look.buttons = Qt::Horizontal;
    look.positionNames = {QStringLiteral("optPosition1"), QStringLiteral("optPosition2"),
                          QStringLiteral("optPosition3")};
    look.singleName = QStringLiteral("optSingle");
    look.generalName = QStringLiteral("optGeneral");
    look.killName = QStringLiteral("optKill");
    look.keepName = QStringLiteral("optKeep");
    look.keepFirst = true;
    look.positionFrame = QStringLiteral("fraPosition");
    look.selectionFrame = QStringLiteral("fraSelection");
    look.senseFrame = QStringLiteral("fraSense");
    return look;
}

KindPicker::KindPicker(const Look& look, QWidget* parent) : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    QGroupBox* positions = frame(QStringLiteral("位数选择"), look.positionFrame, look.buttons);
    for (int p = 1; p <= 3; ++p) {
        auto* o = new QRadioButton(FormulaKind::positionCaption(p));
        o->setObjectName(look.positionNames[p - 1]);
        connect(o, &QRadioButton::clicked, this, [this, p] { onPositionClicked(p); });
        positions->layout()->addWidget(o);
        m_positionOptions[p - 1] = o;
    }

    QGroupBox* selection = frame(QStringLiteral("玩法选择"), look.selectionFrame, look.buttons);
    m_singleOption = new QRadioButton(QStringLiteral("单选"));
    m_singleOption->setObjectName(look.singleName);
    m_generalOption = new QRadioButton(QStringLiteral("通选"));
    m_generalOption->setObjectName(look.generalName);
    connect(m_singleOption, &QRadioButton::clicked, this, [this] { onSelectionClicked(true); });
    connect(m_generalOption, &QRadioButton::clicked, this, [this] { onSelectionClicked(false); });
    selection->layout()->addWidget(m_singleOption);
    selection->layout()->addWidget(m_generalOption);

    QGroupBox* sense = frame(QStringLiteral("生杀"), look.senseFrame, look.buttons);
    m_killOption = new QRadioButton(QStringLiteral("杀"));
    m_killOption->setObjectName(look.killName);
    m_keepOption = new QRadioButton(QStringLiteral("生"));
    m_keepOption->setObjectName(look.keepName);
    connect(m_killOption, &QRadioButton::clicked, this, [this] { emit senseChosen(true); });
    connect(m_keepOption, &QRadioButton::clicked, this, [this] { emit senseChosen(false); });
    for (QRadioButton* o :
         look.keepFirst ? std::array{m_keepOption, m_killOption} : std::array{m_killOption, m_keepOption})
        sense->layout()->addWidget(o);
    m_frames = {positions, selection, sense};
    if (look.framesPlacedByHost)
        hide();
    else
        for (QGroupBox* frame : m_frames)
            layout->addWidget(frame);

    // Opening: units single selection, kill.
    setChoice(FormulaKind{1, true}, true);
}

QGroupBox* KindPicker::frame(const QString& caption, const QString& name, Qt::Orientation buttons)
{
    auto* box = new QGroupBox(caption, this);
    if (!name.isEmpty())
        box->setObjectName(name);
    new QBoxLayout(buttons == Qt::Vertical ? QBoxLayout::TopToBottom : QBoxLayout::LeftToRight, box);
    return box;
}

FormulaKind KindPicker::kind() const
{
    int position = 1;
    for (int p = 1; p <= 3; ++p)
        if (m_positionOptions[p - 1]->isChecked())
            position = p;
    return FormulaKind{position, !m_generalOption->isChecked()};
}

bool KindPicker::kill() const
{
    return !m_keepOption->isChecked();
}

void KindPicker::setChoice(const FormulaKind& kind, bool kill)
{
    (kill ? m_killOption : m_keepOption)->setChecked(true);
    m_positionOptions[kind.position - 1]->setChecked(true);
    m_generalOption->setEnabled(kind.position != 1);
    (kind.single || kind.position == 1 ? m_singleOption : m_generalOption)->setChecked(true);
}

void KindPicker::onPositionClicked(int position)
{
    if (position == 1) {
        m_singleOption->setChecked(true);
        m_generalOption->setEnabled(false);
    } else {
        m_generalOption->setEnabled(true);
    }
    emit kindChosen(kind());
}

void KindPicker::onSelectionClicked(bool single)
{
    emit kindChosen(FormulaKind{kind().position, single});
}
