#include "charts/TrendChartPanel.h"

#include <QLabel>
#include <QStackedLayout>

TrendChartPanel::TrendChartPanel(QWidget* parent)
    : QWidget(parent), m_stack(new QStackedLayout(this)), m_requirement(new QLabel), m_charts(new QWidget)
{
    m_requirement->setObjectName("lblChartRequirement");
    m_requirement->setAlignment(Qt::AlignCenter);
    m_requirement->setWordWrap(true);
    m_requirement->setMargin(24);
    QFont font = m_requirement->font();
    font.setPointSizeF(font.pointSizeF() * 1.2);
    m_requirement->setFont(font);
    m_stack->addWidget(m_requirement);
    m_stack->addWidget(m_charts);
    m_stack->setCurrentWidget(m_requirement);
}

bool TrendChartPanel::showsCharts() const
{
    return m_stack->currentWidget() == m_charts;
}

QString TrendChartPanel::requirementText() const
{
    return showsCharts() ? QString() : m_requirement->text();
}

void TrendChartPanel::showRequirement(const QString& text)
{
    m_requirement->setText(text);
    m_stack->setCurrentWidget(m_requirement);
}

void TrendChartPanel::showCharts()
{
    m_stack->setCurrentWidget(m_charts);
}
