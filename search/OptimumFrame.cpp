#include "search/OptimumFrame.h"

#include "ui/NamedButton.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

constexpr int kMinSamples = 20;
constexpr int kMaxSamples = 1000;

} // namespace

OptimumFrame::OptimumFrame(QWidget* parent) : QGroupBox(QStringLiteral("公式参数智能设置"), parent)
{
    setObjectName(QStringLiteral("fraOptimum"));
    auto* layout = new QVBoxLayout(this);
    auto* samples = new QHBoxLayout;
    m_sampleBar = new QScrollBar(Qt::Horizontal);
    m_sampleBar->setObjectName(QStringLiteral("hsbSamples"));
    m_sampleBar->setRange(kMinSamples, kMaxSamples);
    m_sampleBar->setSingleStep(20);
    m_sampleBar->setPageStep(100);
    m_sampleBar->setValue(kMinSamples);
    m_sampleBox = new QLineEdit;
    m_sampleBox->setObjectName(QStringLiteral("txtSamples"));
    m_sampleBox->setReadOnly(true);
    m_sampleBox->setText(QString::number(kMinSamples));
    m_sampleBox->setMaximumWidth(60);
    connect(m_sampleBar, &QScrollBar::valueChanged, this,
            [this](int v) { m_sampleBox->setText(QString::number(v)); });
    samples->addWidget(m_sampleBar, 1);
    samples->addWidget(m_sampleBox);
    layout->addLayout(samples);
    m_currentButton = dialogButton("cmdOptimum", QStringLiteral("当前公式类在指定范围内检索最优参数设置"));
    connect(m_currentButton, &QPushButton::clicked, this, &OptimumFrame::currentKindWanted);
    m_allButton =
        dialogButton("cmdOptimumAll", QStringLiteral("所有公式类在指定范围内检索最优参数设置并保存"));
    connect(m_allButton, &QPushButton::clicked, this, &OptimumFrame::allKindsWanted);
    layout->addWidget(m_currentButton);
    layout->addWidget(m_allButton);
}

int OptimumFrame::samples() const
{
    return m_sampleBar->value();
}

void OptimumFrame::setBusy(bool busy)
{
    m_currentButton->setEnabled(!busy);
    m_allButton->setEnabled(!busy);
}
