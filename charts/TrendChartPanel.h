#pragma once

#include <QWidget>

class QLabel;
class QStackedLayout;

// What every tab's chart area shares: the charts, or in their place the sentence that says what
// they need (fewer than two draws, no formula, no replay yet). Its picture is what
// "保存图片(&S)" and the command line's chart command write.
class TrendChartPanel : public QWidget
{
    Q_OBJECT
public:
    explicit TrendChartPanel(QWidget* parent = nullptr);

    // True while the charts are shown (not the sentence).
    bool showsCharts() const;
    QString requirementText() const;
    // Shows the sentence in place of the charts.
    void showRequirement(const QString& text);

protected:
    // The charts go here; the panel shows them from showCharts() until showRequirement().
    QWidget* chartsArea() const { return m_charts; }
    void showCharts();

private:
    QStackedLayout* m_stack;
    QLabel* m_requirement;
    QWidget* m_charts;
};
