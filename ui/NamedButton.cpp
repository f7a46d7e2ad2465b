#include "ui/NamedButton.h"

#include <QPushButton>

QPushButton* namedButton(const char* objectName, const QString& caption, const QString& tooltip)
{
    auto* button = new QPushButton(caption);
    button->setObjectName(QString::fromLatin1(objectName));
    if (!tooltip.isEmpty())
        button->setToolTip(tooltip);
    return button;
}

QPushButton* dialogButton(const char* objectName, const QString& caption, const QString& tooltip)
{
    QPushButton* button = namedButton(objectName, caption, tooltip);
    button->setAutoDefault(false);
    return button;
}
