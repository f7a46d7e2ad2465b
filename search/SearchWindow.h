#pragma once

#include "search/SchemePlan.h"
#include "search/SearchCandidate.h"
#include "search/SearchResult.h"
#include "search/SearchSettings.h"

#include <QDialog>
#include <array>
#include <memory>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QTimer;
class FormulaGenerator;
class SchemeSearch;
class SearchResultModel;
class SearchRun;
class Workspace;
struct FormulaStats;
struct GeneratorOptions;
struct QualificationRanges;
struct SearchRules;

// The formula search window frmGSGL ("公式搜索设置以及搜索结果"), opened modally by the main
// window's "公式搜索(&F)". It searches random formulas of one kind ("开始搜索(&F)") or of all kinds
// in turn ("确定搜索方案开始搜索") on worker threads, shows the counters and the current
// candidate several times a second, keeps the qualified ones in its result list, saves them into
// the formula tables, and keeps the per-kind ranges, operand counts and the all-kinds scheme in
// the settings. Only one of the two searches runs at a time.
//
// After every save it emits formulasChanged() (and formulasChanged() stays true), so the main
// window runs its refresh chain: formula grid, history grid, back-test.
class SearchWindow : public QDialog
{
    Q_OBJECT
public:
    explicit SearchWindow(Workspace* workspace, QWidget* parent = nullptr);
    ~SearchWindow() override;

    bool formulasChangedFlag() const { return m_formulasChanged; }
    // A search (either one) has worker threads going or paused.
    bool isSearching() const;
    // The result list waiting to be saved (the qualified count is its size).
    const std::vector<SearchResult>& pendingResults() const { return m_entries; }
    SearchResultModel* resultModel() const { return m_resultModel; }
    int currentSlot() const { return m_slot; }
    bool killSense() const { return m_kill; }

signals:
    void formulasChanged();

protected:
    // Closing (also by Esc or the title bar): asks before unsaved results are discarded.
    void reject() override;

private:
    QWidget* buildKindFrames();
    QWidget* buildRangeFrame();
    QWidget* buildCurrentFrame();
    QWidget* buildGeneratorFrames();
    QWidget* buildSchemeFrame();
    QWidget* buildOptimumFrame();
    QPushButton* addButton(const char* objectName, const QString& caption, const QString& tooltip = QString());

    // Kinds and modes.
    void onPositionChosen(int position);
    void onSelectionChosen(bool single);
    void onSenseChosen(bool kill);
    void chooseKind(int slot);
    void loadKindRanges();
    void loadOperandCount();
    void onOperandCountChanged(int value);
    QStringList rangeTexts() const;
    void setRangeTexts(const QStringList& texts);
    bool generatorOptions(GeneratorOptions* options);
    ChineseFormStyle chineseStyle() const;
    SearchRules rules() const;

    // The searches.
    void startSingleSearch();
    void stopSingleSearch();
    void startSchemeSearch();
    void pauseSchemeSearch();
    void resumeSchemeSearch();
    void poll();
    void takeResults(std::vector<SearchResult> results);
    void showCurrent(const QString& chinese, const FormulaStats& stats);
    void showSlotMoves(const std::vector<int>& leftBehind);
    void enterSchemeSlot(int slot);
    void finishSchemeSearch();
    void updateControls();
    static int threadCount();

    // Saving, export, settings.
    enum class SaveKind { Append, Update };
    void saveResults(SaveKind kind);
    void exportChinese();
    void saveCurrentKindSettings();
    void saveScheme();
    void loadScheme();
    void countStoredFormulas();
    SchemeTargets schemeTargets() const;
    void recomputeTotals();
    void onCountModeChosen(bool held);
    void onAutoSaveToggled(QCheckBox* box, bool checked);

    // Optimum ranges.
    void optimumForCurrentKind();
    void optimumForAllKinds();
    int sampleCount() const;

    Workspace* m_workspace;
    SearchSettings m_settings;
    bool m_kill = true;
    int m_slot = 1;
    bool m_schemeFlag = false;
    bool m_schemeActive = false; // started and not yet wound up (colours, automatic save)
    bool m_formulasChanged = false;
    qint64 m_tried = 0;
    qint64 m_schemeTriedBase = 0;
    std::vector<SearchResult> m_entries;
    std::unique_ptr<SearchRun> m_run;
    std::unique_ptr<SchemeSearch> m_scheme;
    QTimer* m_pollTimer;

    std::array<QRadioButton*, 3> m_positionOptions{};
    QRadioButton* m_singleOption = nullptr;
    QRadioButton* m_generalOption = nullptr;
    QRadioButton* m_keepOption = nullptr;
    QRadioButton* m_killOption = nullptr;
    std::array<QLineEdit*, 10> m_rangeBoxes{};
    std::array<QLineEdit*, 5> m_currentBoxes{};
    QLineEdit* m_operandBox = nullptr;
    QScrollBar* m_operandBar = nullptr;
    QRadioButton* m_givenTailOption = nullptr;
    QRadioButton* m_randomTailOption = nullptr;
    QLineEdit* m_tailBox = nullptr;
    QRadioButton* m_bracketOption = nullptr;
    QRadioButton* m_nextDrawOption = nullptr;
    QCheckBox* m_autoStopCheck = nullptr;
    QLineEdit* m_autoStopBox = nullptr;
    QLineEdit* m_triedBox = nullptr;
    QLineEdit* m_qualifiedBox = nullptr;
    QLineEdit* m_currentFormulaBox = nullptr;
    QListView* m_resultView = nullptr;
    SearchResultModel* m_resultModel = nullptr;
    QPushButton* m_startButton = nullptr;
    QPushButton* m_stopButton = nullptr;
    QPushButton* m_appendButton = nullptr;
    QPushButton* m_updateButton = nullptr;
    QPushButton* m_exportButton = nullptr;
    QPushButton* m_saveKindButton = nullptr;

    std::array<QLineEdit*, 7> m_targetBoxes{};  // by slot 1..6
    std::array<QLabel*, 7> m_storedLabels{};   // by slot 1..6
    std::array<QLabel*, 7> m_slotLabels{};     // by slot 1..6
    std::array<int, 7> m_storedCounts{};       // counted when the window opened
    int m_totalStored = 0;
    QRadioButton* m_newCountOption = nullptr;
    QRadioButton* m_heldCountOption = nullptr;
    QLabel* m_totalLabel = nullptr;
    QCheckBox* m_autoAppendCheck = nullptr;
    QCheckBox* m_autoUpdateCheck = nullptr;
    QPushButton* m_schemeStartButton = nullptr;
    QPushButton* m_schemePauseButton = nullptr;
    QPushButton* m_schemeResumeButton = nullptr;
    QPushButton* m_saveSchemeButton = nullptr;
    QPushButton* m_loadSchemeButton = nullptr;

    QScrollBar* m_sampleBar = nullptr;
    QLineEdit* m_sampleBox = nullptr;
    QPushButton* m_optimumButton = nullptr;
    QPushButton* m_optimumAllButton = nullptr;
};
