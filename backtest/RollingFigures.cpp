#include "backtest/RollingFigures.h"

#include "formula/FormulaArithmetic.h"
#include "history/HistoryColumns.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace {

// The back-test's coding: prediction p is bit p + 4 of a row's hit bits; bit 15 ("no previous
// value") is never set, so such a row is a miss.
constexpr int kBitOffset = 4;
constexpr int kNoPreviousBit = 15;
constexpr std::uint16_t kAllPredictionBits = 0x7FF;
constexpr int kFormulasPerTask = 64;

int predictionBit(double x, int previous)
{
    int v = 0;
    return FormulaArithmetic::toInt32(x, &v) ? FormulaArithmetic::predictedNumber(v) + kBitOffset : previous;
}

std::vector<std::uint16_t> hitBitsOf(const HistoryColumns& history, const FormulaKind& kind, bool kill)
{
    const std::vector<int> columns = kind.checkedColumns();
    std::vector<std::uint16_t> bits(std::size_t(history.drawCount()));
    for (int r = 0; r < history.drawCount(); ++r) {
        std::uint16_t drawn = 0;
        for (int c : columns) {
            const double v = history.value(c, r);
            if (v >= -4 && v <= 6)
                drawn |= std::uint16_t(1u << (static_cast<int>(v) + kBitOffset));
        }
        bits[std::size_t(r)] = kill ? std::uint16_t(~drawn & kAllPredictionBits) : drawn;
    }
    return bits;
}

std::int64_t totalWeight(std::int64_t n, bool weighted)
{
    return weighted ? n * (n + 1) * (2 * n + 1) / 6 : n;
}

} // namespace

RollingFigures::RollingFigures(const HistoryColumns& history, const std::vector<CompiledFormula>& formulas,
                               const FormulaKind& kind, bool kill, const BacktestOptions& options,
                               int firstDrawCount)
    : m_history(history), m_formulas(formulas), m_kind(kind), m_kill(kill), m_options(options)
{
    m_drawCount = std::clamp(firstDrawCount, 0, history.drawCount());
    m_window = LookBackWindow::of(m_drawCount, options.lookBackDraws, options.excludeCurrent);
    // Over all draws nothing leaves a window: only the draws still to enter are kept.
    m_storedFirst = options.lookBackDraws > 0 && !m_window.isEmpty() ? m_window.first : m_drawCount;
    m_storedFirst = std::max(m_storedFirst, 1);
    const int stored = std::max(0, history.drawCount() - m_storedFirst);
    m_storedRows = (std::size_t(stored) + 63) / 64 * 64; // whole words per formula: no word is shared
    m_verdicts.assign(m_storedRows / 64 * formulas.size(), 0);
    m_states.assign(formulas.size(), State{});

    const int n = int(formulas.size());
    const int tasks = (n + kFormulasPerTask - 1) / kFormulasPerTask;
    const int hardware = std::max(1u, std::thread::hardware_concurrency());
    const int threads = std::max(1, std::min({options.threads > 0 ? options.threads : hardware, 8, tasks}));
    const std::vector<std::uint16_t> hits = hitBitsOf(history, kind, kill);
    std::atomic<int> next{0};
    auto work = [&] {
        for (int task; (task = next.fetch_add(1)) < tasks;) {
            const int first = task * kFormulasPerTask;
            for (int f = first; f < std::min(n, first + kFormulasPerTask); ++f)
                prepare(f, hits);
        }
    };
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads; ++t)
        helpers.emplace_back(work);
    work();
    for (auto& t : helpers)
        t.join();
}

// One pass over the formula's rows from the first window on: the first window's figures, and the
// verdicts of the rows kept.
void RollingFigures::prepare(int formula, const std::vector<std::uint16_t>& hits)
{
    const CompiledFormula& f = m_formulas[std::size_t(formula)];
    if (!f.isValid())
        return;
    const int start = m_window.isEmpty() ? m_storedFirst : std::min(m_window.first, m_storedFirst);
    const int end = m_history.drawCount();
    // The prediction in force at `start`: from the newest earlier row with a value.
    int bit = kNoPreviousBit;
    for (int r = start - 1; r >= 0 && bit == kNoPreviousBit; --r)
        bit = predictionBit(f.evaluateRow(m_history, r), kNoPreviousBit);
    State& s = m_states[std::size_t(formula)];
    std::vector<std::int8_t> codes(CompiledFormula::kBlockRows);
    std::vector<double> values(CompiledFormula::kBlockRows);
    std::vector<double> scratch(std::max<std::size_t>(f.scratchSize(), 1));
    std::uint64_t* words = m_verdicts.data() + std::size_t(formula) * (m_storedRows / 64);
    for (int block = start; block < end; block += CompiledFormula::kBlockRows) {
        const int count = std::min(CompiledFormula::kBlockRows, end - block);
        if (const ColumnSum* sum = f.columnSum()) {
            sum->predictionCodes(m_history, block, count, codes.data());
        } else {
            f.evaluateBlock(m_history, block, count, values.data(), scratch.data());
            for (int i = 0; i < count; ++i)
                codes[std::size_t(i)] = static_cast<std::int8_t>(predictionBit(values[std::size_t(i)], -1));
        }
        for (int i = 0; i < count; ++i) {
            const int r = block + i;
            const bool hit = (hits[std::size_t(r)] >> bit) & 1u;
            if (r >= m_window.first && r <= m_window.last)
                add(&s, hit, r - m_window.first + 1);
            if (r >= m_storedFirst) {
                const std::size_t b = std::size_t(r - m_storedFirst);
                words[b >> 6] |= std::uint64_t(hit) << (b & 63);
            }
            bit = codes[std::size_t(i)] >= 0 ? codes[std::size_t(i)] : bit;
        }
    }
}

void RollingFigures::add(State* s, bool hit, std::int64_t j)
{
    const int before = int(j - 1);
    // The run the oldest draw starts grows only while it is the whole window.
    if (before == 0)
        s->frontRun = 1;
    else if (s->frontRun == before && (hit ? s->hitRun == before : s->missRun == before))
        ++s->frontRun;
    const std::int64_t h = hit ? 1 : 0;
    s->s0 += h;
    s->s1 += j * h;
    s->s2 += j * j * h;
    s->hitRun = hit ? s->hitRun + 1 : 0;
    s->missRun = hit ? 0 : s->missRun + 1;
    s->maxHitRun = std::max(s->maxHitRun, s->hitRun);
    s->maxMissRun = std::max(s->maxMissRun, s->missRun);
}

bool RollingFigures::removeFront(int formula, State* s, int first, int last) const
{
    const bool h = verdict(formula, first);
    const int n = last - first + 1;
    // Every later draw moves one position down: Σ (j − 1)·h = Σ j·h − Σ h, and likewise for j².
    const std::int64_t s0 = s->s0, s1 = s->s1, s2 = s->s2;
    s->s0 = s0 - (h ? 1 : 0);
    s->s1 = s1 - s0;
    s->s2 = s2 - 2 * s1 + s0;
    if (h)
        s->hitRun = std::min(s->hitRun, n - 1);
    else
        s->missRun = std::min(s->missRun, n - 1);
    // The longest run may have been the one that shortens: then it is counted again.
    const bool longest = s->frontRun == (h ? s->maxHitRun : s->maxMissRun);
    if (--s->frontRun == 0 && n > 1) {
        const bool next = verdict(formula, first + 1);
        int r = first + 1;
        while (r <= last && verdict(formula, r) == next)
            ++r;
        s->frontRun = r - (first + 1);
    }
    return longest;
}

void RollingFigures::rescan(int formula, State* s, int first, int last) const
{
    int hitRun = 0, missRun = 0;
    s->maxHitRun = s->maxMissRun = 0;
    s->frontRun = 0;
    for (int r = first; r <= last; ++r) {
        const bool hit = verdict(formula, r);
        hitRun = hit ? hitRun + 1 : 0;
        missRun = hit ? 0 : missRun + 1;
        s->maxHitRun = std::max(s->maxHitRun, hitRun);
        s->maxMissRun = std::max(s->maxMissRun, missRun);
        if (s->frontRun == r - first && (hit ? hitRun : missRun) == r - first + 1)
            ++s->frontRun;
    }
}

void RollingFigures::advanceTo(int drawCount)
{
    if (drawCount == m_drawCount || drawCount != m_drawCount + 1 || drawCount > m_history.drawCount())
        return;
    const LookBackWindow next =
        LookBackWindow::of(drawCount, m_options.lookBackDraws, m_options.excludeCurrent);
    const bool slides = !m_window.isEmpty() && next.first == m_window.first + 1;
    for (std::size_t i = 0; i < m_formulas.size(); ++i) {
        if (!m_formulas[i].isValid() || next.isEmpty())
            continue;
        State& s = m_states[i];
        const bool longest = slides && removeFront(int(i), &s, m_window.first, m_window.last);
        add(&s, verdict(int(i), next.last), next.last - next.first + 1);
        if (longest)
            rescan(int(i), &s, next.first, next.last);
    }
    m_drawCount = drawCount;
    m_window = next;
}

FormulaStats RollingFigures::stats(int formula) const
{
    FormulaStats out;
    if (!m_formulas[std::size_t(formula)].isValid())
        return out;
    const State& s = m_states[std::size_t(formula)];
    out.totalWeight = totalWeight(m_window.size(), m_options.weighted);
    out.weightedHits = m_options.weighted ? s.s2 : s.s0;
    out.rate = out.totalWeight > 0
                   ? static_cast<float>(double(out.weightedHits) / double(out.totalWeight) * 100.0)
                   : 0.0f;
    out.maxHitRun = s.maxHitRun;
    out.maxMissRun = s.maxMissRun;
    out.finalHitRun = s.hitRun;
    out.finalMissRun = s.missRun;
    return out;
}
