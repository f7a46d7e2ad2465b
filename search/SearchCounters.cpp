#include "search/SearchCounters.h"

#include "search/NumericText.h"
#include "search/SearchSettings.h"
#include "ui/DigitWidth.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

SearchCounters::SearchCounters(SearchSettings* settings, QWidget* parent) : QWidget(parent)
{
    auto* counters = new QHBoxLayout(this);
    counters->setContentsMargins(0, 0, 0, 0);
    m_autoStopCheck = new QCheckBox(QStringLiteral("自动中止"));
    m_autoStopCheck->setObjectName(QStringLiteral("chkAutoStop"));
    m_autoStopBox = new QLineEdit(QStringLiteral("50"));
    m_autoStopBox->setObjectName(QStringLiteral("txtAutoStop"));
    m_autoStopBox->setMaximumWidth(60);
    connect(m_autoStopCheck, &QCheckBox::toggled, this, &SearchCounters::autoStopChanged);
    connect(m_autoStopBox, &QLineEdit::textChanged, this, &SearchCounters::autoStopChanged);
    counters->addWidget(m_autoStopCheck);
    counters->addWidget(m_autoStopBox);
    m_distinctCheck = new QCheckBox(QStringLiteral("跳过等价公式"));
    m_distinctCheck->setObjectName(QStringLiteral("chkDistinct"));
    m_distinctCheck->setToolTip(
        QStringLiteral("每一期预测都和已保存的同类公式或已搜到的公式相同的候选公式不算合格"));
    m_distinctCheck->setChecked(settings->skipEquivalents());
    connect(m_distinctCheck, &QCheckBox::toggled, this,
            [settings](bool on) { settings->saveSkipEquivalents(on); });
    counters->addWidget(m_distinctCheck);
    counters->addWidget(new QLabel(QStringLiteral("当前验证公式数")));
    m_triedBox = new QLineEdit;
    m_triedBox->setObjectName(QStringLiteral("txtTried"));
    m_triedBox->setReadOnly(true);
    m_triedBox->setText(QStringLiteral("0"));
    fitDigits(m_triedBox, 10); // a long search tries millions
    counters->addWidget(m_triedBox);
    counters->addWidget(new QLabel(QStringLiteral("条")));
    // The count box sits inside its label, over the blanks before "合格".
    auto* qualifiedLabel = new QLabel(QStringLiteral("检索合格公式数               合格"));
    m_qualifiedBox = new QLineEdit(qualifiedLabel);
    m_qualifiedBox->setObjectName(QStringLiteral("txtQualified"));
    m_qualifiedBox->setReadOnly(true);
    m_qualifiedBox->setText(QStringLiteral("0"));
    {
        const QFontMetrics fm(qualifiedLabel->font());
        const int height = fm.height() + 6;
        qualifiedLabel->setMinimumHeight(height);
        // The box covers the blanks after the first one and leaves "合格" readable.
        const int left = fm.horizontalAdvance(QStringLiteral("检索合格公式数 "));
        const int right = fm.horizontalAdvance(qualifiedLabel->text().chopped(2)) - 2;
        m_qualifiedBox->setGeometry(left, 0, right - left, height);
        qualifiedLabel->setMinimumWidth(fm.horizontalAdvance(qualifiedLabel->text()) + 4);
    }
    counters->addWidget(qualifiedLabel);
    counters->addStretch();
}

std::optional<double> SearchCounters::autoStop() const
{
    if (!m_autoStopCheck->isChecked())
        return std::nullopt;
    return NumericText::leadingValue(m_autoStopBox->text());
}

void SearchCounters::setAutoStopTarget(double target)
{
    m_autoStopBox->setText(QString::number(target, 'g', 10));
}

void SearchCounters::showTried(qint64 tried)
{
    m_triedBox->setText(QString::number(tried));
}

void SearchCounters::showQualified(qsizetype count)
{
    m_qualifiedBox->setText(QString::number(count));
}
