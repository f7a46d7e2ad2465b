#pragma once

#include "search/SearchCandidate.h"
#include "search/SearchResult.h"
#include "search/SearchSettings.h"

#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <vector>

class AnalysisSession;
class GeneratorFrames;
class KindPicker;
class OptimumFrame;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QTimer;
class RangeFrame;
class SearchCounters;
class SearchResultModel;
class SearchRun;
class Workspace;
struct FormulaStats;
struct GeneratorOptions;
struct SearchRules;

// The single search of the search window: the kind, range, current-figure and generator frames,
// the counters, the result list and its buttons ("开始搜索(&F)" searches random formulas of one
// kind on worker threads until stopped or until the auto-stop count qualified; the results are
// appended to or replace the kind's stored formulas, or exported), and the optimum-range frame,
// which the window places beside the scheme.
//
// The kind, the sense, the result list and the counters are shared with the all-kinds search
// (SchemePanel), which drives them through this panel.
class SearchPanel : public QWidget
{
    Q_OBJECT
public:
    enum class SaveKind
    {
        Append,
        Update
    };

    // It searches with the session's options and tells the session after every save; `session`
    // outlives the panel.
    explicit SearchPanel(AnalysisSession* session, QWidget* parent = nullptr);
    ~SearchPanel() override;

    // "公式参数智能设置": placed by the window in its right column.
    QWidget* optimumFrame() const;
    // Tells whether an all-kinds search is started and not finished: its current kind's count then
    // stays in the qualified box after a save.
    void setSchemeInProgress(std::function<bool()> inProgress) { m_schemeInProgress = std::move(inProgress); }

    bool isRunning() const { return m_run != nullptr; }
    const std::vector<SearchResult>& pendingResults() const { return m_entries; }
    SearchResultModel* resultModel() const { return m_resultModel; }
    int currentSlot() const { return m_slot; }
    bool killSense() const { return m_kill; }
    bool formulasChangedFlag() const { return m_formulasChanged; }
    SearchSettings& settings() { return m_settings; }

    // What the all-kinds search takes from the frames; a bad tail constant is shown and refused.
    bool generatorOptions(GeneratorOptions* options);
    ChineseFormStyle chineseStyle() const;
    // An all-kinds search starts: the qualified list starts empty, the checked sense is taken,
    // and saves from now on leave the kind shown as it is. Returns that sense.
    bool beginSchemeSearch();
    // Shows a kind as chosen by hand (slot 1..6), with its stored ranges and operand count.
    void chooseKind(int slot);
    void setAutoStopTarget(double target);
    qint64 tried() const { return m_tried; }
    void showTried(qint64 tried);
    void showQualified(qsizetype count);
    void takeResults(std::vector<SearchResult> results);
    void showCurrent(const QString& chinese, const FormulaStats& stats);
    // "合格 Q 条：留出期平均正确率 …" over the list box's candidates with hold-out figures; hidden
    // while there are none.
    QLabel* holdOutLabel() const { return m_holdOutLabel; }
    // Saves the pending results into their kinds' tables; says how it went.
    void saveResults(SaveKind kind);
    // Asks before "公式更新到数据库(&N)" deletes the formulas of the kinds in the result list.
    bool confirmUpdate();

    // "跳过等价公式": candidates equivalent to a stored formula of their kind and sense, or to one
    // already in the result list, do not qualify (both searches).
    bool skipEquivalents() const;
    QCheckBox* skipEquivalentsCheck() const;

    // Stops the single search and takes its last results.
    void stopSearch();
    // Before the unsaved results are given up (closing the window, starting the all-kinds
    // search): asks whether to go on when there are any ("…，关闭窗口将放弃这些公式，是否关闭？"
    // for `action` 关闭窗口 and `verb` 关闭); true to go on.
    bool confirmDiscard(const QString& action, const QString& verb);
    // Worker threads of a search: one per processor.
    static int threadCount();
    // Enables what may run now: `busy` while either search works, `saveAllowed` unless one runs.
    void enableControls(bool busy, bool saveAllowed);

signals:
    // The single search started or ended.
    void runningChanged();

private:
    QWidget* buildCurrentFrame();

    void onKindChosen(const FormulaKind& kind);
    void onSenseChosen(bool kill);
    void loadKindRanges();
    void loadOperandCount();
    QStringList rangeTexts() const;
    void setRangeTexts(const QStringList& texts);
    SearchRules rules() const;
    // The rules of kind `slot` with the list's sense and the session's options.
    SearchRules rulesFor(int slot) const;
    // Either search has worker threads going or paused.
    bool isSearching() const;

    void startSearch();
    // "自动中止" and its number apply at once to a running single search.
    void applyAutoStop();
    void showHoldOutSummary();
    void poll();
    void exportChinese();
    void saveCurrentKindSettings();
    void optimumForCurrentKind();
    void optimumForAllKinds();

    AnalysisSession* m_session;
    Workspace* m_workspace;
    SearchSettings m_settings;
    std::function<bool()> m_schemeInProgress;
    bool m_kill = true;
    int m_slot = 1;
    bool m_schemeWasLast = false; // the last search started was the all-kinds search
    bool m_formulasChanged = false;
    qint64 m_tried = 0;
    std::vector<SearchResult> m_entries;
    std::unique_ptr<SearchRun> m_run;
    QTimer* m_pollTimer;

    KindPicker* m_kindPicker = nullptr;
    RangeFrame* m_rangeFrame = nullptr;
    std::array<QLineEdit*, 5> m_currentBoxes{};
    GeneratorFrames* m_generator = nullptr;
    SearchCounters* m_counters = nullptr;
    QLineEdit* m_currentFormulaBox = nullptr;
    QLabel* m_holdOutLabel = nullptr;
    QListView* m_resultView = nullptr;
    SearchResultModel* m_resultModel = nullptr;
    QPushButton* m_startButton = nullptr;
    QPushButton* m_stopButton = nullptr;
    QPushButton* m_appendButton = nullptr;
    QPushButton* m_updateButton = nullptr;

    OptimumFrame* m_optimumFrame = nullptr;
};
