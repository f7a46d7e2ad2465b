#include "backtest/BacktestEngine.h"

#include "formula/FormulaArithmetic.h"
#include "history/HistoryColumns.h"
#include "store/Settings.h"

#include <algorithm>
#include <thread>

namespace {

// Predictions p = ((v − 1) MOD 6) + 1 lie in -4..6; bit p + 4 of a row's hit bits says whether p
// is right on that row. Bit 15 is never set: it stands for "no previous value", always a miss.
constexpr int kPredictionBitOffset = 4;
constexpr int kNoPreviousBit = 15;
constexpr std::uint16_t kAllPredictionBits = 0x7FF;
// Formulas evaluated together over one block of rows, so the block's columns stay in cache.
constexpr int kFormulasPerChunk = 64;
// Below this many formula-draw evaluations a second thread costs more than it saves.
constexpr long long kMinWorkPerExtraThread = 400000;

// Bits p + 4 of the predictions p that equal one of the kind's drawn numbers on a row.
std::uint16_t drawnBits(const HistoryColumns& history, const std::vector<int>& columns, int row)
{
    std::uint16_t bits = 0;
    for (int c : columns) {
        const double v = history.value(c, row);
        if (v >= -4 && v <= 6)
            bits |= std::uint16_t(1u << (static_cast<int>(v) + kPredictionBitOffset));
    }
    return bits;
}

std::uint16_t hitBits(std::uint16_t drawn, bool kill)
{
    return kill ? std::uint16_t(~drawn & kAllPredictionBits) : drawn;
}

// The prediction bit of value x, or `previous` when x has no value (the last value read stays).
inline int predictionBit(double x, int previous)
{
    int v = 0;
    return FormulaArithmetic::toInt32(x, &v) ? FormulaArithmetic::predictedNumber(v) + kPredictionBitOffset
                                             : previous;
}

// Bits of the predictions 1..6; any other bit in force (0 or below, no previous value) makes a
// row certain under chance.
constexpr int kFirstValuedBit = 1 + kPredictionBitOffset;
constexpr int kLastValuedBit = 6 + kPredictionBitOffset;

inline bool isValuedBit(int bit)
{
    return static_cast<unsigned>(bit - kFirstValuedBit) <= unsigned(kLastValuedBit - kFirstValuedBit);
}

struct RunState
{
    std::int64_t weightedHits = 0;
    int hits = 0;
    int hitRun = 0;
    int missRun = 0;
    int maxHitRun = 0;
    int maxMissRun = 0;
    int bit = kNoPreviousBit;
    // Chance sums: the weights of the rows whose prediction in force is 1..6 (and their squares),
    // and of the rows predicting 0 or below.
    std::int64_t valuedWeight = 0;
    double valuedWeightSquares = 0;
    std::int64_t nonPositiveWeight = 0;
};

// Per-row inputs shared by every formula of a run, and the weights of each block of rows (most
// blocks of most formulas predict 1..6 throughout and take these sums whole).
struct WindowRows
{
    std::vector<std::uint16_t> hitBits;
    std::vector<std::int64_t> weights;
    std::vector<double> weightSquares;
    std::vector<std::int64_t> blockWeights;
    std::vector<double> blockWeightSquares;
    std::int64_t totalWeight = 0;
};

WindowRows windowRows(const HistoryColumns& history, const LookBackWindow& window, const FormulaKind& kind,
                      bool kill, bool weighted)
{
    WindowRows rows;
    const std::vector<int> columns = kind.checkedColumns();
    rows.hitBits.reserve(window.size());
    rows.weights.reserve(window.size());
    rows.weightSquares.reserve(window.size());
    for (int r = window.first; r <= window.last; ++r) {
        const std::int64_t j = r - window.first + 1;
        const std::int64_t w = weighted ? j * j : 1;
        if ((j - 1) % CompiledFormula::kBlockRows == 0) {
            rows.blockWeights.push_back(0);
            rows.blockWeightSquares.push_back(0);
        }
        rows.hitBits.push_back(hitBits(drawnBits(history, columns, r), kill));
        rows.weights.push_back(w);
        rows.weightSquares.push_back(double(w) * double(w));
        rows.blockWeights.back() += w;
        rows.blockWeightSquares.back() += rows.weightSquares.back();
        rows.totalWeight += w;
    }
    return rows;
}

class Worker
{
public:
    Worker(const HistoryColumns& history, const LookBackWindow& window, const WindowRows& rows, int compared,
           bool kill, std::size_t scratchSize)
        : m_history(history), m_window(window), m_rows(rows), m_compared(compared), m_kill(kill),
          m_values(CompiledFormula::kBlockRows), m_scratch(std::max<std::size_t>(scratchSize, 1)),
          m_bits(CompiledFormula::kBlockRows)
    {
    }

    // Statistics of formulas[first, first + count) that are valid.
    void runChunk(const std::vector<CompiledFormula>& formulas, int first, int count,
                  std::vector<FormulaOutcome>* out)
    {
        m_states.assign(count, RunState{});
        for (int i = 0; i < count; ++i)
            if (formulas[first + i].isValid())
                m_states[i].bit = bitBeforeWindow(formulas[first + i]);
        for (int blockStart = m_window.first; blockStart <= m_window.last;
             blockStart += CompiledFormula::kBlockRows) {
            const int rowsInBlock = std::min(CompiledFormula::kBlockRows, m_window.last + 1 - blockStart);
            const int offset = blockStart - m_window.first;
            const int block = offset / CompiledFormula::kBlockRows;
            for (int i = 0; i < count; ++i) {
                const CompiledFormula& f = formulas[first + i];
                if (!f.isValid())
                    continue;
                f.evaluateBlock(m_history, blockStart, rowsInBlock, m_values.data(), m_scratch.data());
                score(m_values.data(), offset, block, rowsInBlock, &m_states[i]);
            }
        }
        for (int i = 0; i < count; ++i) {
            FormulaOutcome& o = (*out)[first + i];
            if (!o.valid)
                continue;
            const RunState& s = m_states[i];
            o.stats.weightedHits = s.weightedHits;
            o.stats.totalWeight = m_rows.totalWeight;
            o.stats.rate =
                m_rows.totalWeight > 0
                    ? static_cast<float>(double(s.weightedHits) / double(m_rows.totalWeight) * 100.0)
                    : 0.0f;
            o.stats.maxHitRun = s.maxHitRun;
            o.stats.maxMissRun = s.maxMissRun;
            o.stats.finalHitRun = s.hitRun;
            o.stats.finalMissRun = s.missRun;
            ChanceSums sums;
            sums.weightedHits = s.weightedHits;
            sums.totalWeight = m_rows.totalWeight;
            sums.hits = s.hits;
            sums.tested = m_window.size();
            sums.valuedWeight = s.valuedWeight;
            sums.valuedWeightSquares = s.valuedWeightSquares;
            sums.nonPositiveWeight = s.nonPositiveWeight;
            o.chance = ChanceModel::figures(sums, m_compared, m_kill);
        }
    }

private:
    // Scores rows in two passes: first the prediction bit of every row's own value (independent rows,
    // so the processor overlaps them), then the short sequential pass that carries the last value
    // read and counts the runs.
    //
    // The chance sums: a block in which every row's own value predicts 1..6 and the prediction in
    // force at its start is 1..6 predicts 1..6 on every row, so it adds its precomputed block
    // weights; any other block is replayed row by row.
    void score(const double* values, int offset, int block, int n, RunState* s)
    {
        const std::uint16_t* hits = m_rows.hitBits.data() + offset;
        const std::int64_t* weights = m_rows.weights.data() + offset;
        std::int8_t* bits = m_bits.data();
        bool allValued = isValuedBit(s->bit);
        for (int i = 0; i < n; ++i) {
            bits[i] = static_cast<std::int8_t>(predictionBit(values[i], -1));
            allValued &= isValuedBit(bits[i]);
        }
        RunState st = *s;
        if (allValued) {
            st.valuedWeight += m_rows.blockWeights[block];
            st.valuedWeightSquares += m_rows.blockWeightSquares[block];
        } else {
            addChanceRowByRow(bits, offset, n, &st);
        }
        // Masks instead of branches: hits and misses alternate unpredictably.
        for (int i = 0; i < n; ++i) {
            const int hit = (hits[i] >> st.bit) & 1;
            const int hitMask = -hit;
            st.weightedHits += weights[i] & static_cast<std::int64_t>(hitMask);
            st.hits += hit;
            st.hitRun = (st.hitRun + 1) & hitMask;
            st.missRun = (st.missRun + 1) & ~hitMask;
            st.maxHitRun = std::max(st.maxHitRun, st.hitRun);
            st.maxMissRun = std::max(st.maxMissRun, st.missRun);
            st.bit = bits[i] >= 0 ? bits[i] : st.bit;
        }
        *s = st;
    }

    // The chance sums of a block row by row, following the prediction in force (st->bit at the
    // block's start, then each row's own value where it has one).
    void addChanceRowByRow(const std::int8_t* bits, int offset, int n, RunState* st) const
    {
        int bit = st->bit;
        for (int i = 0; i < n; ++i) {
            const std::int64_t w = m_rows.weights[offset + i];
            if (isValuedBit(bit)) {
                st->valuedWeight += w;
                st->valuedWeightSquares += m_rows.weightSquares[offset + i];
            } else if (bit != kNoPreviousBit) {
                st->nonPositiveWeight += w;
            }
            bit = bits[i] >= 0 ? bits[i] : bit;
        }
    }

    // The prediction bit in force at the window's first row: from the newest earlier row with a
    // value, searching back block by block (usually the row just before the window has one).
    int bitBeforeWindow(const CompiledFormula& f)
    {
        int end = m_window.first; // rows [0, end) lie before the window
        while (end > 0) {
            const int start = std::max(0, end - CompiledFormula::kBlockRows);
            f.evaluateBlock(m_history, start, end - start, m_values.data(), m_scratch.data());
            for (int i = end - start - 1; i >= 0; --i) {
                const int bit = predictionBit(m_values[i], kNoPreviousBit);
                if (bit != kNoPreviousBit)
                    return bit;
            }
            end = start;
        }
        return kNoPreviousBit;
    }

    const HistoryColumns& m_history;
    const LookBackWindow& m_window;
    const WindowRows& m_rows;
    const int m_compared;
    const bool m_kill;
    std::vector<double> m_values;
    std::vector<double> m_scratch;
    std::vector<std::int8_t> m_bits;
    std::vector<RunState> m_states;
};

int chooseThreads(const BacktestOptions& options, int chunks, long long work)
{
    if (options.threads > 0)
        return std::max(1, std::min(options.threads, chunks));
    const int hardware = std::max(1u, std::thread::hardware_concurrency());
    const long long byWork = std::max(1LL, work / kMinWorkPerExtraThread);
    return static_cast<int>(std::max(1LL, std::min<long long>({hardware, 8, chunks, byWork})));
}

} // namespace

BacktestOptions BacktestOptions::fromSettings(const Settings& settings)
{
    BacktestOptions o;
    o.lookBackDraws = LookBackTable::draws(settings.lookBackIndex());
    o.excludeCurrent = settings.excludeCurrent();
    o.weighted = settings.weighted();
    return o;
}

BacktestResult BacktestEngine::run(const HistoryColumns& history,
                                   const std::vector<CompiledFormula>& formulas, const FormulaKind& kind,
                                   bool kill, const BacktestOptions& options, const Progress& progress,
                                   const std::atomic<bool>* cancel)
{
    BacktestResult result;
    result.kind = kind;
    result.kill = kill;
    result.options = options;
    result.drawCount = history.drawCount();
    result.window = LookBackWindow::of(result.drawCount, options.lookBackDraws, options.excludeCurrent);
    const WindowRows rows = windowRows(history, result.window, kind, kill, options.weighted);
    const int compared = static_cast<int>(kind.checkedColumns().size());
    result.totalWeight = rows.totalWeight;

    const int n = static_cast<int>(formulas.size());
    result.outcomes.resize(n);
    std::size_t scratchSize = 0;
    for (int i = 0; i < n; ++i) {
        FormulaOutcome& o = result.outcomes[i];
        const CompiledFormula& f = formulas[i];
        o.valid = f.isValid();
        if (!o.valid) {
            o.error = f.error();
            continue;
        }
        o.stats.totalWeight = rows.totalWeight;
        if (result.drawCount > 0)
            o.nextValue = FormulaArithmetic::predictedNumber(f.evaluateRow(history, result.drawCount - 1));
        scratchSize = std::max(scratchSize, f.scratchSize());
    }

    const int chunks = (n + kFormulasPerChunk - 1) / kFormulasPerChunk;
    const int threads =
        chooseThreads(options, std::max(chunks, 1), static_cast<long long>(n) * (result.window.size() + 1));
    std::atomic<int> nextChunk{0};
    std::atomic<int> done{0};
    std::atomic<bool> stopped{false};
    auto work = [&](bool reportsProgress) {
        Worker worker(history, result.window, rows, compared, kill, scratchSize);
        for (;;) {
            if (cancel && cancel->load(std::memory_order_relaxed)) {
                stopped = true;
                return;
            }
            const int chunk = nextChunk.fetch_add(1);
            if (chunk >= chunks)
                return;
            const int first = chunk * kFormulasPerChunk;
            const int count = std::min(kFormulasPerChunk, n - first);
            worker.runChunk(formulas, first, count, &result.outcomes);
            const int finished = done.fetch_add(count) + count;
            if (reportsProgress && progress)
                progress(finished, n);
        }
    };
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads; ++t)
        helpers.emplace_back(work, false);
    work(true);
    for (auto& t : helpers)
        t.join();
    result.cancelled = stopped.load();
    if (progress && !result.cancelled)
        progress(n, n);
    return result;
}

FormulaTrace BacktestEngine::trace(const HistoryColumns& history, const CompiledFormula& formula,
                                   const FormulaKind& kind, bool kill)
{
    FormulaTrace t;
    const int n = history.drawCount();
    t.canshu.resize(n);
    t.preCanshu.resize(n);
    t.gscs.assign(n, 0);
    std::vector<double> scratch(std::max<std::size_t>(formula.scratchSize(), 1));
    for (int start = 0; start < n; start += CompiledFormula::kBlockRows) {
        const int count = std::min(CompiledFormula::kBlockRows, n - start);
        formula.evaluateBlock(history, start, count, t.canshu.data() + start, scratch.data());
    }
    const std::vector<int> columns = kind.checkedColumns();
    std::optional<int> last;
    for (int r = 0; r < n; ++r) {
        if (r > 0) {
            t.preCanshu[r] = last;
            if (last) {
                const int bit = FormulaArithmetic::predictedNumber(*last) + kPredictionBitOffset;
                t.gscs[r] = (hitBits(drawnBits(history, columns, r), kill) >> bit) & 1u;
            }
        }
        int v = 0;
        if (FormulaArithmetic::toInt32(t.canshu[r], &v))
            last = v;
    }
    return t;
}
