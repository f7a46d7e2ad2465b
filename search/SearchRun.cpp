#include "search/SearchRun.h"

#include <algorithm>
#include <chrono>

SearchRun::SearchRun(SearchRunConfig config)
    : m_config(std::move(config)), m_kind(m_config.evaluator->rules().kind),
      m_kill(m_config.evaluator->rules().kill), m_maxTries(m_config.maxTries), m_stopAt(m_config.stopAt)
{
    // A target already met still gets one candidate tried, as every start of a search does.
    if (m_config.stopAt && m_config.alreadyQualified >= *m_config.stopAt)
        m_maxTries = m_maxTries < 0 ? 1 : std::min<qint64>(m_maxTries, 1);
}

SearchRun::~SearchRun()
{
    stop();
    wait();
}

void SearchRun::start()
{
    std::lock_guard lock(m_mutex);
    if (m_config.capacity <= 0) {
        m_progress.listFull = true;
        m_progress.finished = true;
        return;
    }
    const int threads = std::max(1, m_config.threads);
    m_workersLeft = threads;
    for (int i = 0; i < threads; ++i)
        m_threads.emplace_back([this] { work(); });
}

void SearchRun::pause()
{
    m_paused = true;
}

void SearchRun::resume()
{
    std::lock_guard lock(m_mutex);
    m_paused = false;
    m_resumed.notify_all();
}

void SearchRun::stop()
{
    std::lock_guard lock(m_mutex);
    m_stop = true;
    m_resumed.notify_all();
}

void SearchRun::setStopAt(std::optional<double> stopAt)
{
    std::lock_guard lock(m_mutex);
    m_stopAt = stopAt;
    if (!m_closed && m_progress.tried > 0 && targetReachedLocked())
        closeLocked();
}

bool SearchRun::targetReachedLocked() const
{
    return m_stopAt && m_config.alreadyQualified + m_progress.qualified >= *m_stopAt;
}

void SearchRun::wait()
{
    for (std::thread& t : m_threads)
        if (t.joinable())
            t.join();
}

bool SearchRun::waitFor(int ms)
{
    std::unique_lock lock(m_mutex);
    return m_finished.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_progress.finished; });
}

bool SearchRun::isFinished() const
{
    std::lock_guard lock(m_mutex);
    return m_progress.finished;
}

SearchRun::Progress SearchRun::progress() const
{
    std::lock_guard lock(m_mutex);
    return m_progress;
}

std::vector<SearchResult> SearchRun::takeResults()
{
    std::lock_guard lock(m_mutex);
    std::vector<SearchResult> out;
    out.swap(m_released);
    return out;
}

void SearchRun::work()
{
    const CandidateEvaluator& evaluator = *m_config.evaluator;
    SearchCandidate candidate;
    FormulaStats stats;
    while (!m_stop.load(std::memory_order_relaxed)) {
        const qint64 block = m_nextBlock.fetch_add(1);
        const qint64 first = block * kBlockTries;
        if (m_maxTries >= 0 && first >= m_maxTries)
            break;
        const int count =
            m_maxTries >= 0 ? int(std::min<qint64>(kBlockTries, m_maxTries - first)) : kBlockTries;
        FormulaGenerator generator(m_config.seed, (m_config.stream << 40) ^ std::uint64_t(block));
        Block done;
        for (int i = 0; i < count; ++i) {
            if (m_paused.load(std::memory_order_relaxed)) {
                std::unique_lock lock(m_mutex);
                m_resumed.wait(lock, [this] { return !m_paused || m_stop; });
            }
            if (m_stop.load(std::memory_order_relaxed))
                break;
            generator.next(m_config.generator, &candidate);
            stats = evaluator.evaluate(candidate);
            ++done.tries;
            const unsigned met = m_config.ranges.rangesMet(stats);
            for (int r = 0; r < QualificationRanges::kRanges; ++r)
                done.inRange[std::size_t(r)] += (met >> r) & 1u;
            if (met != QualificationRanges::kAllRanges)
                continue;
            std::uint64_t key = 0;
            if (m_config.distinct) {
                key = m_config.distinct->key(candidate);
                if (m_config.distinct->isKnown(candidate, key))
                    continue;
            }
            done.results.push_back({i,
                                    SearchResult{m_kind, m_kill, candidate.codeForm(),
                                                 candidate.chineseForm(m_kind, m_kill, m_config.style), stats,
                                                 evaluator.chance(candidate), evaluator.holdOut(candidate)},
                                    candidate, key});
        }
        if (done.tries > 0)
            publishCurrent(candidate, stats);
        const bool complete = done.tries == count;
        if (m_config.beforeSubmit)
            m_config.beforeSubmit(block);
        submit(block, std::move(done));
        if (!complete)
            break;
    }
    std::lock_guard lock(m_mutex);
    if (--m_workersLeft == 0) {
        m_progress.finished = true;
        m_finished.notify_all();
    }
}

void SearchRun::publishCurrent(const SearchCandidate& c, const FormulaStats& s)
{
    QString text = c.chineseForm(m_kind, m_kill, m_config.style);
    std::lock_guard lock(m_mutex);
    // A candidate beyond the one that closed the run was never part of it.
    if (m_closed)
        return;
    m_progress.hasCurrent = true;
    m_progress.currentChinese = std::move(text);
    m_progress.currentStats = s;
}

void SearchRun::submit(qint64 block, Block done)
{
    std::lock_guard lock(m_mutex);
    if (m_closed)
        return;
    if (block != m_nextRelease) {
        m_waiting.emplace(block, std::move(done));
        return;
    }
    releaseLocked(done);
    ++m_nextRelease;
    // Each waiting block leaves the map before it is released: releasing it may close the run,
    // which empties the map, so nothing may still point into it then.
    while (!m_closed) {
        auto node = m_waiting.extract(m_nextRelease);
        if (node.empty())
            break;
        releaseLocked(node.mapped());
        ++m_nextRelease;
    }
}

void SearchRun::releaseLocked(Block& block)
{
    for (Qualified& q : block.results) {
        // Candidates arrive here in the order they were tried, so the first of equivalent ones is
        // kept, whatever thread judged it.
        if (m_config.distinct && isEquivalentToQualifiedLocked(q))
            continue;
        m_released.push_back(std::move(q.result));
        ++m_progress.qualified;
        const bool full = m_progress.qualified >= m_config.capacity;
        if (targetReachedLocked() || full) {
            m_progress.tried += q.index + 1;
            m_progress.listFull = full;
            closeLocked();
            return;
        }
    }
    m_progress.tried += block.tries;
    for (int r = 0; r < QualificationRanges::kRanges; ++r)
        m_progress.inRange[std::size_t(r)] += block.inRange[std::size_t(r)];
    // A target lowered while the run went may be met without a new result.
    if (block.tries > 0 && targetReachedLocked())
        closeLocked();
}

bool SearchRun::isEquivalentToQualifiedLocked(const Qualified& q)
{
    const auto [begin, end] = m_qualifiedByKey.equal_range(q.key);
    for (auto it = begin; it != end; ++it)
        if (m_config.distinct->sameAs(it->second, q.candidate))
            return true;
    m_qualifiedByKey.emplace(q.key, q.candidate);
    return false;
}

void SearchRun::closeLocked()
{
    m_closed = true;
    m_stop = true;
    m_waiting.clear();
    m_resumed.notify_all();
}
