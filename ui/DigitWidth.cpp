#include "ui/DigitWidth.h"

#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>

void fitDigits(QLineEdit* box, int digits)
{
    QStyleOptionFrame option;
    option.initFrom(box);
    option.lineWidth = box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, box);
    const QMargins margins = box->textMargins();
    // QLineEdit keeps a few pixels of its own beside the text.
    const QSize text(box->fontMetrics().horizontalAdvance(QString(digits, QLatin1Char('8'))) +
                         margins.left() + margins.right() + 8,
                     box->fontMetrics().height());
    const int width = box->style()->sizeFromContents(QStyle::CT_LineEdit, &option, text, box).width();
    box->setMinimumWidth(width);
    box->setMaximumWidth(width);
}
