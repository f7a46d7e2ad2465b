#pragma once

#include "formula/FormulaKind.h"

#include <QStringList>
#include <QWidget>
#include <array>

class QGroupBox;
class QRadioButton;

// The choice of a formula kind and sense in three frames: "位数选择" (个位, 十位, 百位), "玩法选择"
// (单选, 通选) and "生杀" (杀, 生). It keeps the rule that 个位 has no 通选: choosing 个位 chooses
// 单选 and disables 通选. The main window and the search window show it each in their own look.
class KindPicker : public QWidget
{
    Q_OBJECT
public:
    // How one window shows the frames: the object names its tests and settings know them by.
    struct Look
    {
        Qt::Orientation buttons = Qt::Vertical; // how the buttons stand inside each frame
        std::array<QString, 3> positionNames;   // 个位, 十位, 百位
        QString singleName, generalName, killName, keepName;
        bool keepFirst = false;                            // 生 before 杀
        QString positionFrame, selectionFrame, senseFrame; // frame names (may be empty)
        // The host lays the three frames into its own grid (frames()) instead of the picker
        // showing them side by side; the picker then stays a hidden owner of their state.
        bool framesPlacedByHost = false;
    };
    static Look mainWindowLook();
    static Look searchLook();

    explicit KindPicker(const Look& look, QWidget* parent = nullptr);

    // 位数选择, 玩法选择, 生杀.
    const std::array<QGroupBox*, 3>& frames() const { return m_frames; }

    FormulaKind kind() const;
    bool kill() const;
    // Shows `kind` and `kill` as choosing them by hand would, without the signals.
    void setChoice(const FormulaKind& kind, bool kill);

signals:
    // A click on a position or selection button, also on the one already chosen.
    void kindChosen(const FormulaKind& kind);
    // A click on 杀 (true) or 生 (false).
    void senseChosen(bool kill);

private:
    QGroupBox* frame(const QString& caption, const QString& name, Qt::Orientation buttons);
    void onPositionClicked(int position);
    void onSelectionClicked(bool single);

    std::array<QGroupBox*, 3> m_frames{};
    std::array<QRadioButton*, 3> m_positionOptions{};
    QRadioButton* m_singleOption = nullptr;
    QRadioButton* m_generalOption = nullptr;
    QRadioButton* m_killOption = nullptr;
    QRadioButton* m_keepOption = nullptr;
};
