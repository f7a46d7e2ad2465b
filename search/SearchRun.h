#pragma once

#include "search/CandidateEvaluator.h"
#include "search/DistinctCandidates.h"
#include "search/FormulaGenerator.h"
#include "search/QualificationRanges.h"
#include "search/SearchResult.h"

#include <QString>
#include <QtGlobal>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <vector>

struct SearchRunConfig
{
    std::shared_ptr<const CandidateEvaluator> evaluator; // the kind, sense and window
    GeneratorOptions generator;
    ChineseFormStyle style = ChineseFormStyle::Bracket;
    QualificationRanges ranges;
    std::uint64_t seed = 0;
    std::uint64_t stream = 0; // separates the runs made with one seed (the all-kinds search's kinds)
    int threads = 1;
    qint64 maxTries = -1; // -1: until stopped
    // Auto-stop: the run ends with the candidate after which alreadyQualified plus the run's
    // qualified candidates reach this number; at least one candidate is tried.
    std::optional<double> stopAt;
    int alreadyQualified = 0;
    int capacity = 32767; // room left in the result list; the run ends when it is full
    // "跳过等价公式": when set, a candidate equivalent to a known formula (stored, or already
    // listed) or to one qualified earlier in this run does not qualify and is not counted.
    std::shared_ptr<const DistinctCandidates> distinct;
    // Called by a worker with a finished block's number just before handing it in; tests use it
    // to hold chosen blocks back so that later ones finish first.
    std::function<void(qint64 block)> beforeSubmit;
};

// One search of one kind on worker threads. Candidates are numbered in the order they are tried;
// each block of kBlockTries numbers is built from its own generator stream and judged by whichever
// worker takes it, and the results are released strictly in candidate order. So the list, the
// tried count and the auto-stop are exactly those of a one-by-one search: the run ends with the
// candidate that reaches the target, never with more results than asked, and a fixed seed gives the
// same results for any number of threads.
class SearchRun
{
public:
    static constexpr int kBlockTries = 256;
    static constexpr int kMaxResults = 32767; // the result list's 16-bit count

    struct Progress
    {
        qint64 tried = 0;  // candidates released in order so far
        int qualified = 0; // of which qualified
        bool hasCurrent = false;
        QString currentChinese; // a recently tried candidate and its figures
        FormulaStats currentStats;
        bool finished = false;
        bool listFull = false;
        // Of the candidates released, how many fell in each of the five ranges on its own (counted
        // by whole blocks: the block a run ends in is left out when it ends part-way).
        std::array<qint64, QualificationRanges::kRanges> inRange{};
    };

    explicit SearchRun(SearchRunConfig config);
    ~SearchRun();
    SearchRun(const SearchRun&) = delete;
    SearchRun& operator=(const SearchRun&) = delete;

    void start();
    // Workers wait between two candidates until resume() or stop().
    void pause();
    void resume();
    // Asks the workers to end after their current candidate; returns at once.
    void stop();
    // Changes the auto-stop while the run goes (none: no auto-stop). A target that the results
    // released so far already reach ends the run at once (once a candidate was tried); otherwise
    // the run ends with the candidate that reaches it, as if it had been set at the start.
    void setStopAt(std::optional<double> stopAt);
    void wait();
    // Waits up to `ms` milliseconds for the run to finish; true once it has.
    bool waitFor(int ms);

    bool isFinished() const;
    Progress progress() const;
    // The results released since the last call, in candidate order.
    std::vector<SearchResult> takeResults();

private:
    struct Qualified
    {
        int index; // within its block
        SearchResult result;
        SearchCandidate candidate; // with distinct: to compare with later candidates
        std::uint64_t key = 0;
    };
    struct Block
    {
        qint64 tries = 0;
        std::vector<Qualified> results;
        std::array<qint64, QualificationRanges::kRanges> inRange{};
    };

    void work();
    void submit(qint64 block, Block done);
    void releaseLocked(Block& block);
    void closeLocked();
    bool targetReachedLocked() const;
    // With distinct: whether q is equivalent to a candidate qualified before it; if not, it is
    // remembered for the candidates after it.
    bool isEquivalentToQualifiedLocked(const Qualified& q);
    void publishCurrent(const SearchCandidate& c, const FormulaStats& s);

    const SearchRunConfig m_config;
    const FormulaKind m_kind;
    const bool m_kill;
    qint64 m_maxTries;

    std::vector<std::thread> m_threads;
    std::atomic<qint64> m_nextBlock{0};
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_paused{false};

    mutable std::mutex m_mutex;
    std::condition_variable m_resumed;
    std::condition_variable m_finished;
    std::map<qint64, Block> m_waiting; // blocks done out of order
    qint64 m_nextRelease = 0;
    bool m_closed = false;
    int m_workersLeft = 0;
    Progress m_progress;
    std::optional<double> m_stopAt; // the auto-stop in force
    std::vector<SearchResult> m_released;
    // With distinct: the candidates qualified so far, by key.
    std::unordered_multimap<std::uint64_t, SearchCandidate> m_qualifiedByKey;
};
