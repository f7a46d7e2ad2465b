#include "backtest/BacktestEngine.h"

#include "backtest/AnalysisOptions.h"
#include "formula/FormulaArithmetic.h"
#include "history/DrawModel.h"
#include "history/HistoryColumns.h"
#include "history/Probability.h"
#include "store/Settings.h"

#include <algorithm>
#include <array>
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
    // by predicted number, or all in the first place when the model gives every number the same
    // chance; and the weights and count of the rows predicting 0 or below.
    std::array<std::int64_t, 6> valuedWeight{};
    std::array<double, 6> valuedWeightSquares{};
    std::int64_t nonPositiveWeight = 0;
    int nonPositiveDraws = 0;
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

// `window` may also be the held-out draws, which are scored unweighted.
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

// The rows a run scores: the look-back window and, with a hold-out, the held-out draws after it.
struct ScoredRows
{
    LookBackWindow window;
    WindowRows rows;
    LookBackWindow heldOut; // empty without a hold-out
    WindowRows heldOutRows;
};

ChanceSums sumsOf(const RunState& s, std::int64_t totalWeight, int tested)
{
    ChanceSums sums;
    sums.weightedHits = s.weightedHits;
    sums.totalWeight = totalWeight;
    sums.hits = s.hits;
    sums.tested = tested;
    sums.valuedWeight = s.valuedWeight;
    sums.valuedWeightSquares = s.valuedWeightSquares;
    sums.nonPositiveWeight = s.nonPositiveWeight;
    sums.nonPositiveDraws = s.nonPositiveDraws;
    return sums;
}

class Worker
{
public:
    Worker(const HistoryColumns& history, const ScoredRows& scored, const DrawModel& model, int mask,
           bool kill, bool weighted, std::size_t scratchSize, const PredictionCache* cache)
        : m_history(history), m_window(scored.window), m_rows(scored.rows), m_scored(scored), m_model(model),
          m_mask(mask), m_byNumber(!model.isUniform(mask)), m_kill(kill), m_weighted(weighted),
          m_cache(cache), m_values(CompiledFormula::kBlockRows),
          m_scratch(std::max<std::size_t>(scratchSize, 1)), m_bits(CompiledFormula::kBlockRows)
    {
    }

    // Statistics of formulas[first, first + count) that are valid.
    void runChunk(const std::vector<CompiledFormula>& formulas, int first, int count,
                  std::vector<FormulaOutcome>* out)
    {
        m_states.assign(count, RunState{});
        for (int i = 0; i < count; ++i)
            if (formulas[first + i].isValid())
                m_states[i].bit = bitBefore(formulas, first + i, m_window.first);
        scoreRows(formulas, first, count, m_window, m_rows, &m_states);
        if (!m_scored.heldOut.isEmpty()) {
            // The held-out draws go on from the prediction in force after the window: a new
            // count, the same carried value.
            m_heldOutStates.assign(count, RunState{});
            for (int i = 0; i < count; ++i)
                if (formulas[first + i].isValid())
                    m_heldOutStates[i].bit = m_window.isEmpty()
                                                 ? bitBefore(formulas, first + i, m_scored.heldOut.first)
                                                 : m_states[i].bit;
            scoreRows(formulas, first, count, m_scored.heldOut, m_scored.heldOutRows, &m_heldOutStates);
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
            o.chance = ChanceModel::figures(sumsOf(s, m_rows.totalWeight, m_window.size()), m_model, m_mask,
                                            m_kill, m_weighted);
            // The held-out draws are scored unweighted.
            if (!m_scored.heldOut.isEmpty())
                o.holdOut = ChanceModel::figures(
                    sumsOf(m_heldOutStates[i], m_scored.heldOutRows.totalWeight, m_scored.heldOut.size()),
                    m_model, m_mask, m_kill, false);
        }
    }

private:
    // Scores the valid formulas of the chunk over `window`, block by block, each formula's state
    // carrying on from where it stands.
    void scoreRows(const std::vector<CompiledFormula>& formulas, int first, int count,
                   const LookBackWindow& window, const WindowRows& rows, std::vector<RunState>* states)
    {
        for (int blockStart = window.first; blockStart <= window.last;
             blockStart += CompiledFormula::kBlockRows) {
            const int rowsInBlock = std::min(CompiledFormula::kBlockRows, window.last + 1 - blockStart);
            const int offset = blockStart - window.first;
            const int block = offset / CompiledFormula::kBlockRows;
            const bool cached = m_cache && m_cache->covers(blockStart, rowsInBlock);
            for (int i = 0; i < count; ++i) {
                const CompiledFormula& f = formulas[first + i];
                if (!f.isValid())
                    continue;
                if (cached) {
                    scoreCodes(rows, m_cache->codes(first + i, blockStart), offset, block, rowsInBlock,
                               &(*states)[i]);
                    continue;
                }
                if (const ColumnSum* sum = f.columnSum()) {
                    // Integer sums always have a value: the codes come straight from the columns.
                    sum->predictionCodes(m_history, blockStart, rowsInBlock, m_bits.data());
                } else {
                    f.evaluateBlock(m_history, blockStart, rowsInBlock, m_values.data(), m_scratch.data());
                    for (int r = 0; r < rowsInBlock; ++r)
                        m_bits[r] = static_cast<std::int8_t>(predictionBit(m_values[r], -1));
                }
                scoreCodes(rows, m_bits.data(), offset, block, rowsInBlock, &(*states)[i]);
            }
        }
    }

    // Scores rows from the prediction bits of their own values (-1 where a row has none; worked out
    // beforehand over the block, independent rows the processor overlaps): the short sequential
    // pass carries the last value read and counts the runs.
    //
    // The chance sums: a block in which every row's own value predicts 1..6 and the prediction in
    // force at its start is 1..6 predicts 1..6 on every row, so where every number has the same
    // chance it adds its precomputed block weights; any other block is replayed row by row.
    void scoreCodes(const WindowRows& rows, const std::int8_t* bits, int offset, int block, int n,
                    RunState* s)
    {
        if (m_byNumber) {
            scoreCodesByNumber(rows, bits, offset, n, s);
            return;
        }
        const std::uint16_t* hits = rows.hitBits.data() + offset;
        const std::int64_t* weights = rows.weights.data() + offset;
        bool allValued = isValuedBit(s->bit);
        for (int i = 0; i < n; ++i)
            allValued &= isValuedBit(bits[i]);
        RunState st = *s;
        if (allValued) {
            st.valuedWeight[0] += rows.blockWeights[block];
            st.valuedWeightSquares[0] += rows.blockWeightSquares[block];
        } else {
            addChanceRowByRow(rows, bits, offset, n, &st);
        }
        for (int i = 0; i < n; ++i)
            scoreRow(&st, hits[i], weights[i], bits[i]);
        *s = st;
    }

    // The same where the chance depends on the number predicted (numbers published smallest
    // first): the weights are gathered by the prediction in force on the way, in one pass.
    void scoreCodesByNumber(const WindowRows& rows, const std::int8_t* bits, int offset, int n, RunState* s)
    {
        const std::uint16_t* hits = rows.hitBits.data() + offset;
        const std::int64_t* weights = rows.weights.data() + offset;
        const double* squares = rows.weightSquares.data() + offset;
        std::array<std::int64_t, 16> weightOf{};
        std::array<double, 16> squaresOf{};
        RunState st = *s;
        for (int i = 0; i < n; ++i) {
            weightOf[std::size_t(st.bit)] += weights[i];
            squaresOf[std::size_t(st.bit)] += squares[i];
            // Predictions of 0 or below are rare: a branch that is almost never taken.
            if (st.bit < kFirstValuedBit)
                ++st.nonPositiveDraws;
            scoreRow(&st, hits[i], weights[i], bits[i]);
        }
        for (int b = kFirstValuedBit; b <= kLastValuedBit; ++b) {
            st.valuedWeight[std::size_t(b - kFirstValuedBit)] += weightOf[std::size_t(b)];
            st.valuedWeightSquares[std::size_t(b - kFirstValuedBit)] += squaresOf[std::size_t(b)];
        }
        for (int b = 0; b < kFirstValuedBit; ++b)
            st.nonPositiveWeight += weightOf[std::size_t(b)];
        *s = st;
    }

    // One row of the short sequential pass: the verdict of the prediction in force, the runs, and
    // the prediction in force on the next row. Masks instead of branches: hits and misses
    // alternate unpredictably.
    static void scoreRow(RunState* s, std::uint16_t hits, std::int64_t weight, std::int8_t bit)
    {
        RunState& st = *s;
        const int hit = (hits >> st.bit) & 1;
        const int hitMask = -hit;
        st.weightedHits += weight & static_cast<std::int64_t>(hitMask);
        st.hits += hit;
        st.hitRun = (st.hitRun + 1) & hitMask;
        st.missRun = (st.missRun + 1) & ~hitMask;
        st.maxHitRun = std::max(st.maxHitRun, st.hitRun);
        st.maxMissRun = std::max(st.maxMissRun, st.missRun);
        st.bit = bit >= 0 ? bit : st.bit;
    }

    // The chance sums of a block row by row where every number has the same chance, following the
    // prediction in force (st->bit at the block's start, then each row's own value where it has
    // one).
    void addChanceRowByRow(const WindowRows& rows, const std::int8_t* bits, int offset, int n,
                           RunState* st) const
    {
        int bit = st->bit;
        for (int i = 0; i < n; ++i) {
            const std::int64_t w = rows.weights[offset + i];
            if (isValuedBit(bit)) {
                st->valuedWeight[0] += w;
                st->valuedWeightSquares[0] += rows.weightSquares[offset + i];
            } else if (bit != kNoPreviousBit) {
                st->nonPositiveWeight += w;
                ++st->nonPositiveDraws;
            }
            bit = bits[i] >= 0 ? bits[i] : bit;
        }
    }

    // The prediction bit in force at row `row`: from the newest earlier row with a value. Almost
    // always the row just before has one, so it is tried alone before searching back block by
    // block (a whole block would cost as much as scoring a short window).
    int bitBefore(const std::vector<CompiledFormula>& formulas, int index, int row)
    {
        const CompiledFormula& f = formulas[index];
        if (row <= 0)
            return kNoPreviousBit;
        int end = row; // rows [0, end) lie before it and are still to be searched
        if (m_cache && row > m_cache->firstRow() && row <= m_cache->endRow()) {
            const std::int8_t* codes = m_cache->codes(index, m_cache->firstRow());
            for (int r = row - 1; r >= m_cache->firstRow(); --r)
                if (codes[r - m_cache->firstRow()] >= 0)
                    return codes[r - m_cache->firstRow()];
            end = m_cache->firstRow();
        } else {
            if (const int bit = predictionBit(f.evaluateRow(m_history, row - 1), kNoPreviousBit);
                bit != kNoPreviousBit)
                return bit;
            end = row - 1;
        }
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
    const ScoredRows& m_scored;
    const DrawModel& m_model;
    const int m_mask;
    const bool m_byNumber; // the kind's chance differs by number: chance sums per predicted number
    const bool m_kill;
    const bool m_weighted;
    const PredictionCache* m_cache;
    std::vector<double> m_values;
    std::vector<double> m_scratch;
    std::vector<std::int8_t> m_bits;
    std::vector<RunState> m_states;
    std::vector<RunState> m_heldOutStates;
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
    return AnalysisOptions::fromSettings(settings).backtest();
}

QString BacktestOptions::holdOutRefusal(int drawCount)
{
    return QStringLiteral("留出检验的期数必须是 0 到 %1 之间的整数（最多留出现有 %2 期历史号码的一半）。")
        .arg(std::max(drawCount, 0) / 2)
        .arg(std::max(drawCount, 0));
}

int BacktestOptions::heldOutDraws(int drawCount, int holdOut)
{
    return std::clamp(holdOut, 0, std::max(drawCount, 0) / 2);
}

std::shared_ptr<const PredictionCache> PredictionCache::build(const HistoryColumns& history,
                                                              const std::vector<CompiledFormula>& formulas,
                                                              int firstRow)
{
    // A replay of every draw of a long history with a large table would not fit: evaluate then.
    constexpr std::size_t kMaxBytes = std::size_t(256) << 20;
    firstRow = std::clamp(firstRow, 0, history.drawCount());
    const int rows = history.drawCount() - firstRow;
    if (std::size_t(rows) * formulas.size() > kMaxBytes)
        return nullptr;
    auto cache = std::make_shared<PredictionCache>();
    cache->m_firstRow = firstRow;
    cache->m_rows = rows;
    cache->m_codes.assign(std::size_t(rows) * formulas.size(), std::int8_t(-1));
    std::size_t scratchSize = 1;
    for (const CompiledFormula& f : formulas)
        scratchSize = std::max(scratchSize, f.scratchSize());
    std::vector<double> values(CompiledFormula::kBlockRows), scratch(scratchSize);
    for (std::size_t i = 0; i < formulas.size(); ++i) {
        if (!formulas[i].isValid())
            continue;
        std::int8_t* codes = cache->m_codes.data() + i * std::size_t(rows);
        for (int start = firstRow; start < history.drawCount(); start += CompiledFormula::kBlockRows) {
            const int n = std::min(CompiledFormula::kBlockRows, history.drawCount() - start);
            if (const ColumnSum* sum = formulas[i].columnSum()) {
                sum->predictionCodes(history, start, n, codes + (start - firstRow));
                continue;
            }
            formulas[i].evaluateBlock(history, start, n, values.data(), scratch.data());
            for (int r = 0; r < n; ++r)
                codes[start - firstRow + r] = static_cast<std::int8_t>(predictionBit(values[r], -1));
        }
    }
    return cache;
}

BacktestResult BacktestEngine::run(const HistoryColumns& history,
                                   const std::vector<CompiledFormula>& formulas, const FormulaKind& kind,
                                   bool kill, const BacktestOptions& options, const Progress& progress,
                                   const std::atomic<bool>* cancel, const PredictionCache* predictions)
{
    BacktestResult result;
    result.kind = kind;
    result.kill = kill;
    result.options = options;
    result.drawCount = history.drawCount();
    result.heldOut = BacktestOptions::heldOutDraws(result.drawCount, options.holdOut);
    // Everything but the hold-out sees the history as if it ended before the held-out draws.
    const int seen = result.drawCount - result.heldOut;
    ScoredRows scored;
    scored.window = LookBackWindow::of(seen, options.lookBackDraws, options.excludeCurrent);
    scored.rows = windowRows(history, scored.window, kind, kill, options.weighted);
    if (result.heldOut > 0) {
        scored.heldOut = LookBackWindow{seen, result.drawCount - 1};
        scored.heldOutRows = windowRows(history, scored.heldOut, kind, kill, false);
    }
    result.window = scored.window;
    const WindowRows& rows = scored.rows;
    const DrawOrderReading order = DrawModel::read(history, options.publicationOrder);
    result.order = order.order;
    const DrawModel& model = DrawModel::of(order.order);
    const int mask = DrawModel::maskOf(kind.checkedColumns());
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
        if (seen > 0) {
            int fromRow = -1;
            o.nextValue = FormulaArithmetic::predictedNumber(f.lastValue(history, seen - 1, &fromRow));
            o.nextFromEarlierDraw = o.nextValue && fromRow != seen - 1;
        }
        scratchSize = std::max(scratchSize, f.scratchSize());
    }

    const int chunks = (n + kFormulasPerChunk - 1) / kFormulasPerChunk;
    const int threads =
        chooseThreads(options, std::max(chunks, 1),
                      static_cast<long long>(n) * (result.window.size() + result.heldOut + 1));
    std::atomic<int> nextChunk{0};
    std::atomic<int> done{0};
    std::atomic<bool> stopped{false};
    auto work = [&](bool reportsProgress) {
        Worker worker(history, scored, model, mask, kill, options.weighted, scratchSize, predictions);
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
    if (!result.cancelled)
        adjustForMultipleComparisons(&result.outcomes);
    if (progress && !result.cancelled)
        progress(n, n);
    return result;
}

void BacktestEngine::adjustForMultipleComparisons(std::vector<FormulaOutcome>* outcomes)
{
    std::vector<double> p;
    std::vector<std::size_t> index;
    for (std::size_t i = 0; i < outcomes->size(); ++i) {
        (*outcomes)[i].q.reset();
        if ((*outcomes)[i].valid && (*outcomes)[i].chance.p) {
            p.push_back(*(*outcomes)[i].chance.p);
            index.push_back(i);
        }
    }
    const std::vector<double> q = Probability::benjaminiYekutieli(p);
    for (std::size_t k = 0; k < index.size(); ++k)
        (*outcomes)[index[k]].q = q[k];
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
