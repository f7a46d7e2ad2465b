#pragma once

#include <QGroupBox>
#include <QStringList>
#include <array>

class QLineEdit;

// The frame "公式参数" of the search window: the qualification ranges as ten boxes, a from and a
// to per figure (正确率, 最大连错, 最大连对, 最后连错, 最后连对), in the order QualificationRanges reads
// them.
class RangeFrame : public QGroupBox
{
    Q_OBJECT
public:
    explicit RangeFrame(QWidget* parent = nullptr);

    QStringList texts() const;
    void setTexts(const QStringList& texts);

private:
    std::array<QLineEdit*, 10> m_boxes{};
};
