#pragma once

#include <QGroupBox>

class QLineEdit;
class QPushButton;
class QScrollBar;

// The frame "公式参数智能设置" of the search window: how many random formulas to sample (20 to
// 1000, shown beside the bar) and the two buttons that look for the best ranges of the current
// kind or of every kind. The search panel runs the sampling; the window places the frame beside
// the scheme.
class OptimumFrame : public QGroupBox
{
    Q_OBJECT
public:
    explicit OptimumFrame(QWidget* parent = nullptr);

    int samples() const;
    // While a search works the buttons wait.
    void setBusy(bool busy);

signals:
    // "当前公式类在指定范围内检索最优参数设置".
    void currentKindWanted();
    // "所有公式类在指定范围内检索最优参数设置并保存".
    void allKindsWanted();

private:
    QScrollBar* m_sampleBar = nullptr;
    QLineEdit* m_sampleBox = nullptr;
    QPushButton* m_currentButton = nullptr;
    QPushButton* m_allButton = nullptr;
};
