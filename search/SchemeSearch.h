#pragma once

#include "history/DrawRecord.h"
#include "search/KindSlot.h"
#include "search/SchemePlan.h"
#include "search/SearchRun.h"

#include <array>
#include <memory>
#include <utility>
#include <vector>

// What the all-kinds search works with, taken when it starts.
struct SchemeConfig
{
    std::vector<DrawRecord> draws;
    int lookBackDraws = 300;
    bool weighted = true;
    int holdOut = 0; // the newest draws left out of every kind's window ("HoldOut")
    PublicationOrder publicationOrder = PublicationOrder::Detect;
    bool kill = true;
    SchemeTargets targets;
    CountMode mode = CountMode::NewFormulas;
    std::array<QualificationRanges, 7> ranges; // stored ranges per slot for the sense
    std::array<int, 7> operandCounts{};        // stored operand count per slot
    bool randomTail = false;
    int givenTail = 0;
    ChineseFormStyle style = ChineseFormStyle::Bracket;
    std::uint64_t seed = 0;
    int threads = 1;
    int capacity = SearchRun::kMaxResults; // room in the result list
    qint64 maxTriesPerKind = -1;           // candidates each kind tries at most; -1: until its target
    // "跳过等价公式": per slot, the code forms of the formulas a candidate must not repeat (stored in
    // the kind's table with the sense); with distinct off, nothing is compared.
    bool distinct = false;
    std::array<QStringList, 7> knownCodes;
};

// The all-kinds search: the kinds of slots 1, 2, 3, 5, 6 in turn, each searched with its stored
// ranges and operand count until it has found its target. A kind without a target, or already
// full in HeldFormulas mode, is skipped without a candidate; a target of 0 or less still gets one
// candidate tried. The caller drives it: advance() moves to the next kind once the current one is
// done (the window calls it from its timer, the command line after waiting).
class SchemeSearch
{
public:
    explicit SchemeSearch(SchemeConfig config);
    ~SchemeSearch();

    // Starts at slot 1 (skipping kinds as needed; advance() reports the skipped slots).
    void start();
    void pause();
    void resume();
    void stop();
    bool isPaused() const { return m_paused; }

    // When the current kind's run is done: collects it and starts the next kind. Returns the slots
    // left behind since the last call (each one done or skipped), in order.
    std::vector<int> advance();
    // Runs every remaining kind to its end (the command line).
    void runToEnd();
    // Waits up to `ms` milliseconds for the current kind's run to finish; true once it has (or
    // when no kind runs). advance() then moves on.
    bool waitForKind(int ms);

    int currentSlot() const { return m_slot; }
    bool isFinished() const { return m_slot == KindSlot::kFinished; }
    const SchemeConfig& config() const { return m_config; }
    // Candidates tried over all kinds so far, and the current kind's qualified count.
    qint64 tried() const;
    int kindQualified() const;
    SearchRun::Progress currentProgress() const;
    // The final progress of a kind advance() has left behind (empty for a skipped kind).
    const SearchRun::Progress& kindProgress(int slot) const { return m_kindProgress[std::size_t(slot)]; }
    // Results released since the last call, in order (kinds in scheme order).
    std::vector<SearchResult> takeResults();

private:
    // Starts the run of the current slot or, while a kind is to be skipped, moves on.
    void enterSlot();

    SchemeConfig m_config;
    int m_slot = KindSlot::kFirst;
    bool m_paused = false;
    bool m_stopped = false;
    std::unique_ptr<SearchRun> m_run;
    qint64 m_triedBefore = 0;  // by the kinds done
    int m_qualifiedBefore = 0; // by the kinds done
    std::vector<int> m_leftBehind;
    std::array<SearchRun::Progress, 7> m_kindProgress{};
    std::vector<SearchResult> m_results;
};
