#include "search/GeneratorFrames.h"

#include "search/FormulaGenerator.h"
#include "search/SearchSettings.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QVBoxLayout>

GeneratorFrames::GeneratorFrames(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* operands = new QGroupBox(QStringLiteral("公式元数"));
    operands->setObjectName(QStringLiteral("fraOperands"));
    auto* operandLayout = new QVBoxLayout(operands);
    operandLayout->addWidget(new QLabel(QStringLiteral("公式运算元数")));
    m_operandBox = new QLineEdit;
    m_operandBox->setObjectName(QStringLiteral("txtOperands"));
    m_operandBox->setReadOnly(true);
    operandLayout->addWidget(m_operandBox);
    m_operandBar = new QScrollBar(Qt::Horizontal);
    m_operandBar->setObjectName(QStringLiteral("hsbOperands"));
    m_operandBar->setRange(SearchSettings::kMinOperandCount, SearchSettings::kMaxOperandCount);
    m_operandBar->setValue(SearchSettings::kDefaultOperandCount);
    m_operandBox->setText(QString::number(SearchSettings::kDefaultOperandCount));
    connect(m_operandBar, &QScrollBar::valueChanged, this, [this](int value) {
        m_operandBox->setText(QString::number(value));
        emit operandCountChanged(value);
    });
    operandLayout->addWidget(m_operandBar);
    layout->addWidget(operands);

    auto* tail = new QGroupBox(QStringLiteral("公式末尾偏移常数"));
    tail->setObjectName(QStringLiteral("fraTail"));
    auto* tailLayout = new QHBoxLayout(tail);
    auto* givenTailOption = new QRadioButton(QStringLiteral("指定"));
    givenTailOption->setObjectName(QStringLiteral("optGivenTail"));
    givenTailOption->setChecked(true);
    m_randomTailOption = new QRadioButton(QStringLiteral("随机"));
    m_randomTailOption->setObjectName(QStringLiteral("optRandomTail"));
    m_tailBox = new QLineEdit(QStringLiteral("0"));
    m_tailBox->setObjectName(QStringLiteral("txtTail"));
    m_tailBox->setMaximumWidth(60);
    tailLayout->addWidget(givenTailOption);
    tailLayout->addWidget(m_randomTailOption);
    tailLayout->addWidget(m_tailBox);
    layout->addWidget(tail);

    auto* form = new QGroupBox(QStringLiteral("公式形式"));
    form->setObjectName(QStringLiteral("fraForm"));
    auto* formLayout = new QVBoxLayout(form);
    auto* bracketOption = new QRadioButton(QStringLiteral("[Xxx类]A+B"));
    bracketOption->setObjectName(QStringLiteral("optBracketForm"));
    bracketOption->setChecked(true);
    m_nextDrawOption = new QRadioButton(QStringLiteral("A+B=下期杀xx"));
    m_nextDrawOption->setObjectName(QStringLiteral("optNextDrawForm"));
    formLayout->addWidget(bracketOption);
    formLayout->addWidget(m_nextDrawOption);
    layout->addWidget(form);
}

int GeneratorFrames::operandCount() const
{
    return m_operandBar->value();
}

void GeneratorFrames::showOperandCount(int count)
{
    m_operandBox->setText(QString::number(count));
    m_operandBar->setValue(count);
}

bool GeneratorFrames::options(GeneratorOptions* options, QString* error)
{
    options->operandCount = m_operandBar->value();
    options->randomTail = m_randomTailOption->isChecked();
    options->givenTail = 0;
    return options->randomTail || FormulaGenerator::givenTail(m_tailBox->text(), &options->givenTail, error);
}

void GeneratorFrames::focusTail()
{
    m_tailBox->setFocus();
}

ChineseFormStyle GeneratorFrames::chineseStyle() const
{
    return m_nextDrawOption->isChecked() ? ChineseFormStyle::NextDraw : ChineseFormStyle::Bracket;
}
