#pragma once

#include "search/SchemePlan.h"
#include "search/SearchSettings.h"

#include <QGroupBox>
#include <array>
#include <memory>
#include <vector>

class AnalysisSession;
class QCheckBox;
class QColor;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;
class SchemeSearch;
class SearchPanel;
class Workspace;

// The all-kinds search of the search window, frame "公式自动搜索方案设置": a target per kind
// beside the kind's stored count, new or held counts, the total held, the automatic save at the
// end, and "确定搜索方案开始搜索" / "暂停" / "继续". The search runs the kinds in turn on worker
// threads; it shows each kind in the single search's frames (SearchPanel), adds its formulas to
// that panel's result list and counters, and colours the kinds done blue and the current one red.
// The targets are stored per sense ("保存设置", "调用设置").
class SchemePanel : public QGroupBox
{
    Q_OBJECT
public:
    // It searches with the session's options; `session` and `search` outlive the panel.
    SchemePanel(AnalysisSession* session, SearchPanel* search, QWidget* parent = nullptr);
    ~SchemePanel() override;

    // Started and not finished (it may be paused).
    bool isInProgress() const;
    bool isRunning() const;
    // Closing the window: the search pauses, and is dropped for good with discard().
    void pause();
    void resume();
    void discard();
    // Takes what the search found since the last look.
    void poll();
    // Enables the buttons for the state of both searches.
    void enableControls(bool singleRunning);

signals:
    // Started, paused, resumed or finished.
    void stateChanged();

private:
    void startSearch();
    void showSlotMoves(const std::vector<int>& leftBehind);
    void enterSlot(int slot);
    void colourSlot(int slot, const QColor& colour);
    void finishSearch();
    // Before a run whose end replaces the stored formulas: one question naming every kind it
    // searches and the formulas that kind holds; true to go on (also when none would be lost).
    bool confirmReplacing();
    void saveTargets();
    void loadTargets();
    void countStoredFormulas();
    SchemeTargets targets() const;
    CountMode countMode() const;
    void recomputeTotal();
    void onCountModeChosen(bool held);
    void onAutoSaveToggled(QCheckBox* box, bool checked);

    AnalysisSession* m_session;
    Workspace* m_workspace;
    SearchPanel* m_search;
    SearchSettings m_settings;
    std::unique_ptr<SchemeSearch> m_scheme;
    bool m_active = false;             // started and not yet wound up (colours, automatic save)
    bool m_replacingConfirmed = false; // the run started replacing, agreed to at its start
    qint64 m_triedBase = 0;
    QTimer* m_pollTimer;

    std::array<QLineEdit*, 7> m_targetBoxes{}; // by slot 1..6
    std::array<QLabel*, 7> m_storedLabels{};   // by slot 1..6
    std::array<QLabel*, 7> m_slotLabels{};     // by slot 1..6
    std::array<int, 7> m_storedCounts{};       // counted when the window opened
    int m_totalStored = 0;
    bool m_totalFromTargets =
        false; // "公式总保有量" shows the total held after the search, not the stored one
    QRadioButton* m_heldCountOption = nullptr;
    QLabel* m_totalLabel = nullptr;
    QCheckBox* m_autoAppendCheck = nullptr;
    QCheckBox* m_autoUpdateCheck = nullptr;
    QPushButton* m_startButton = nullptr;
    QPushButton* m_pauseButton = nullptr;
    QPushButton* m_resumeButton = nullptr;
};
