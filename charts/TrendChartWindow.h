#pragma once

#include "formula/FormulaKind.h"
#include "formula/FormulaRecord.h"

#include <QWidget>
#include <optional>

class AnalysisSession;
class DrawModel;
class FormulaTrendCharts;
class NumberTrendCharts;
class QLabel;
class QPushButton;
class QSpinBox;
class QTabWidget;
class ReplayTrendCharts;
struct ReplayResult;
class TrendChartPanel;
class Workspace;

// "走势图": trend charts of the stored draws on three tabs.
//   号码走势  the newest N draws (box N, default 100, 10 .. the whole history): each position's
//             number, the 和数 and how often each number came beside chance;
//   公式走势  the chosen formula's rolling rate over the previous M draws (box M, default the
//             look-back) beside its chance rate and 95 % band, with its misses below;
//   计算回测  the last replay of the calculation (计算方法回测): where the drawn numbers stood in
//             its rankings beside chance, and the share of right 滤杀 per block of 10 draws.
// "保存图片(&S)" writes the shown tab's charts as a PNG into the data folder and opens it.
// The window is modeless; it draws afresh whenever the session announces a new history or another
// publication order.
class TrendChartWindow : public QWidget
{
    Q_OBJECT
public:
    enum Tab
    {
        NumbersTab,
        FormulaTab,
        ReplayTab
    };

    // `session` outlives the window.
    explicit TrendChartWindow(AnalysisSession* session, QWidget* parent = nullptr);

    // Draws every tab again from the stored draws (the session calls it after the history changed).
    void refresh();
    // The formula of "公式走势", of `kind` and sense `kill`, named by `number`, the 序号 the formula
    // list shows (0: by its idx); M starts at the look-back `lookBackDraws` (0 = all) unless the user
    // changed it.
    void setFormula(const FormulaKind& kind, bool kill, const FormulaRecord& formula, int lookBackDraws,
                    int number = 0);
    // The charts of "计算回测" from a finished (or cancelled) replay; they stay until the next one.
    void setReplay(const ReplayResult& replay);
    void showTab(Tab tab);
    Tab currentTab() const;

    // The PNG name of a tab in the data folder: "ZSHM.png", "ZSGS.png", "ZSHC.png".
    static QString pictureName(Tab tab);
    // "保存图片(&S)": writes the shown tab's charts and opens the file; false (after telling the
    // user) when the tab has nothing to draw or the file could not be written.
    bool savePicture();

    NumberTrendCharts* numberCharts() const { return m_numberCharts; }
    FormulaTrendCharts* formulaCharts() const { return m_formulaCharts; }
    ReplayTrendCharts* replayCharts() const { return m_replayCharts; }
    QSpinBox* drawsBox() const { return m_drawsBox; }
    QSpinBox* windowBox() const { return m_windowBox; }
    QSpinBox* shownBox() const { return m_shownBox; }
    QPushButton* saveButton() const { return m_saveButton; }

private:
    QWidget* buildNumbersTab();
    QWidget* buildFormulaTab();
    QWidget* buildReplayTab();
    void drawNumbers();
    void drawFormula();
    // The session's draw model of the stored history under its publication order ("HMSX").
    const DrawModel& drawModel() const;
    TrendChartPanel* currentPanel() const;
    void updateSaveButton();

    AnalysisSession* m_session;
    Workspace* m_workspace;
    struct ChosenFormula
    {
        FormulaKind kind;
        bool kill = true;
        FormulaRecord record;
        int number = 0;
    };
    std::optional<ChosenFormula> m_formula;
    bool m_windowChosen = false; // the user set M by hand: a new formula keeps it

    QTabWidget* m_tabs;
    QSpinBox* m_drawsBox = nullptr;
    QSpinBox* m_windowBox = nullptr;
    QSpinBox* m_shownBox = nullptr;
    QLabel* m_formulaLabel = nullptr;
    QLabel* m_fairnessLabel = nullptr;
    NumberTrendCharts* m_numberCharts = nullptr;
    FormulaTrendCharts* m_formulaCharts = nullptr;
    ReplayTrendCharts* m_replayCharts = nullptr;
    QPushButton* m_saveButton = nullptr;
};
