#include "search/SchemeSearch.h"

SchemeSearch::SchemeSearch(SchemeConfig config) : m_config(std::move(config)) {}

SchemeSearch::~SchemeSearch()
{
    stop();
}

void SchemeSearch::start()
{
    m_slot = KindSlot::kFirst;
    enterSlot();
}

void SchemeSearch::pause()
{
    m_paused = true;
    if (m_run)
        m_run->pause();
}

void SchemeSearch::resume()
{
    m_paused = false;
    if (m_run)
        m_run->resume();
}

void SchemeSearch::stop()
{
    m_stopped = true;
    if (m_run) {
        m_run->stop();
        m_run->wait();
    }
}

void SchemeSearch::enterSlot()
{
    while (m_slot != KindSlot::kFinished) {
        const std::optional<double> target = SchemePlan::kindTarget(m_slot, m_config.targets, m_config.mode);
        if (!target) {
            m_leftBehind.push_back(m_slot);
            m_slot = KindSlot::next(m_slot);
            continue;
        }
        SearchRunConfig run;
        run.evaluator = std::make_shared<CandidateEvaluator>(
            m_config.draws, SearchRules{*KindSlot::kind(m_slot), m_config.kill, m_config.lookBackDraws,
                                        m_config.weighted, m_config.holdOut, m_config.publicationOrder});
        run.generator = {m_config.operandCounts[m_slot], m_config.randomTail, m_config.givenTail};
        run.style = m_config.style;
        run.ranges = m_config.ranges[m_slot];
        run.seed = m_config.seed;
        run.stream = std::uint64_t(m_slot);
        run.threads = m_config.threads;
        run.stopAt = *target;
        run.capacity = m_config.capacity - m_qualifiedBefore;
        run.maxTries = m_config.maxTriesPerKind;
        if (m_config.distinct)
            run.distinct = std::make_shared<DistinctCandidates>(m_config.draws, *KindSlot::kind(m_slot),
                                                                m_config.knownCodes[m_slot]);
        m_run = std::make_unique<SearchRun>(run);
        if (m_paused)
            m_run->pause();
        m_run->start();
        return;
    }
}

std::vector<int> SchemeSearch::advance()
{
    if (m_run && !m_stopped && m_run->isFinished()) {
        m_run->wait();
        std::vector<SearchResult> last = m_run->takeResults();
        m_results.insert(m_results.end(), std::make_move_iterator(last.begin()),
                         std::make_move_iterator(last.end()));
        const SearchRun::Progress p = m_run->progress();
        m_kindProgress[std::size_t(m_slot)] = p;
        m_triedBefore += p.tried;
        m_qualifiedBefore += p.qualified;
        m_run.reset();
        m_leftBehind.push_back(m_slot);
        // A full result list ends the whole search: no later kind could keep anything.
        m_slot = p.listFull ? KindSlot::kFinished : KindSlot::next(m_slot);
        enterSlot();
    }
    std::vector<int> out;
    out.swap(m_leftBehind);
    return out;
}

void SchemeSearch::runToEnd()
{
    while (!isFinished() && !m_stopped) {
        if (m_run)
            m_run->wait();
        advance();
    }
}

bool SchemeSearch::waitForKind(int ms)
{
    return !m_run || m_run->waitFor(ms);
}

qint64 SchemeSearch::tried() const
{
    return m_triedBefore + (m_run ? m_run->progress().tried : 0);
}

int SchemeSearch::kindQualified() const
{
    return m_run ? m_run->progress().qualified : 0;
}

SearchRun::Progress SchemeSearch::currentProgress() const
{
    return m_run ? m_run->progress() : SearchRun::Progress{};
}

std::vector<SearchResult> SchemeSearch::takeResults()
{
    if (m_run) {
        std::vector<SearchResult> more = m_run->takeResults();
        m_results.insert(m_results.end(), std::make_move_iterator(more.begin()),
                         std::make_move_iterator(more.end()));
    }
    std::vector<SearchResult> out;
    out.swap(m_results);
    return out;
}
