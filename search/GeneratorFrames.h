#pragma once

#include "search/SearchCandidate.h"

#include <QWidget>

class QLineEdit;
class QRadioButton;
class QScrollBar;
struct GeneratorOptions;

// The shape of the random formulas the search window builds, in three frames side by side:
// "公式元数" (how many operands, on a bar), "公式末尾偏移常数" (a given tail or a random one) and
// "公式形式" (the Chinese form the results are written in).
class GeneratorFrames : public QWidget
{
    Q_OBJECT
public:
    explicit GeneratorFrames(QWidget* parent = nullptr);

    int operandCount() const;
    // Shows a kind's stored operand count (the bar then announces it as a change).
    void showOperandCount(int count);
    // The options the frames give; a tail that is not a number in range is refused with the
    // reason in `error`.
    bool options(GeneratorOptions* options, QString* error);
    // After a refused tail: the box takes the focus for correcting.
    void focusTail();
    ChineseFormStyle chineseStyle() const;

signals:
    void operandCountChanged(int count);

private:
    QLineEdit* m_operandBox = nullptr;
    QScrollBar* m_operandBar = nullptr;
    QRadioButton* m_randomTailOption = nullptr;
    QLineEdit* m_tailBox = nullptr;
    QRadioButton* m_nextDrawOption = nullptr;
};
