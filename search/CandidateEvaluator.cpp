#include "search/CandidateEvaluator.h"

#include "backtest/BacktestEngine.h"
#include "formula/SumKernels.h"

#include <algorithm>

namespace {

// Predictions lie in -4..6; bit p + kBitOffset stands for p.
constexpr int kBitOffset = 4;
constexpr std::uint16_t kAllPredictions = 0x7FF;
// Rows handled at a time: the running sums stay in registers and cache.
constexpr int kBlockRows = SumKernels::kMaxRows;

} // namespace

LookBackWindow CandidateEvaluator::window(int drawCount, int lookBackDraws)
{
    // From the oldest draw move forward n − W − 1 rows, at least one: the newest W + 1 draws.
    return LookBackWindow::of(drawCount, lookBackDraws, false);
}

void CandidateEvaluator::Rows::fill(const std::vector<DrawRecord>& draws, int first, int count,
                                    const SearchRules& rules)
{
    rows = count;
    values.resize(static_cast<std::size_t>(kParameterCount) * rows);
    for (int i = 0; i < rows; ++i) {
        const DrawRecord& before = draws[first - 1 + i];
        for (int c = 0; c < kParameterCount; ++c)
            values[static_cast<std::size_t>(c) * rows + i] = before.values[c];
    }
    const std::vector<int> drawnColumns = rules.kind.checkedColumns();
    hitBits.reserve(rows);
    for (int i = 0; i < rows; ++i) {
        const DrawRecord& draw = draws[first + i];
        std::uint16_t drawn = 0;
        for (int c : drawnColumns) {
            const int number = draw.values[c];
            if (number >= -kBitOffset && number <= 6)
                drawn |= std::uint16_t(1u << (number + kBitOffset));
        }
        hitBits.push_back(rules.kill ? std::uint16_t(~drawn & kAllPredictions) : drawn);
    }
}

CandidateEvaluator::CandidateEvaluator(const std::vector<DrawRecord>& draws, const SearchRules& rules)
    : m_rules(rules), m_order(DrawModel::read(draws, rules.publicationOrder).order),
      m_mask(DrawModel::maskOf(rules.kind.checkedColumns()))
{
    // The window sees the history as if it ended before the held-out draws.
    const int drawCount = static_cast<int>(draws.size());
    const int heldOut = BacktestOptions::heldOutDraws(drawCount, rules.holdOut);
    m_window = window(drawCount - heldOut, rules.lookBackDraws);
    m_rows = m_window.size();
    Rows windowRows;
    windowRows.fill(draws, m_window.first, m_rows, rules);
    m_values = std::move(windowRows.values);
    m_hitBits = std::move(windowRows.hitBits);
    m_weights.reserve(m_rows);
    for (int i = 0; i < m_rows; ++i) {
        const std::int64_t k = i + 1;
        m_weights.push_back(rules.weighted ? k * k : 1);
        m_totalWeight += m_weights.back();
    }
    // A held-out draw is predicted from the draw before it, the oldest draw never (heldOut ≤ n / 2).
    if (heldOut > 0)
        m_heldOut.fill(draws, drawCount - heldOut, heldOut, rules);
}

FormulaStats CandidateEvaluator::evaluate(const SearchCandidate& candidate) const
{
    FormulaStats s;
    s.totalWeight = m_totalWeight;
    std::int8_t bits[kBlockRows];
    const std::int16_t* columns[SearchCandidate::kMaxOperands];
    std::int64_t hits = 0;
    int hitRun = 0, missRun = 0, maxHitRun = 0, maxMissRun = 0;
    for (int start = 0; start < m_rows; start += kBlockRows) {
        const int n = std::min(kBlockRows, m_rows - start);
        for (int k = 0; k < candidate.operandCount; ++k)
            columns[k] = m_values.data() + static_cast<std::size_t>(candidate.operands[k]) * m_rows + start;
        // ((x − 1) MOD 6) + 1 + 4 of the sums, on the widest registers the processor has.
        SumKernels::predictionCodes(columns, candidate.operandCount, nullptr, 0, candidate.tail, n, bits);
        const std::uint16_t* rowHits = m_hitBits.data() + start;
        const std::int64_t* weights = m_weights.data() + start;
        // Masks instead of branches: hits and misses alternate unpredictably.
        for (int i = 0; i < n; ++i) {
            const int hitMask = -((rowHits[i] >> bits[i]) & 1);
            hits += weights[i] & static_cast<std::int64_t>(hitMask);
            hitRun = (hitRun + 1) & hitMask;
            missRun = (missRun + 1) & ~hitMask;
            maxHitRun = std::max(maxHitRun, hitRun);
            maxMissRun = std::max(maxMissRun, missRun);
        }
    }
    s.weightedHits = hits;
    s.rate = m_totalWeight > 0 ? static_cast<float>(100.0 * double(hits) / double(m_totalWeight)) : 0.0f;
    s.maxHitRun = maxHitRun;
    s.maxMissRun = maxMissRun;
    s.finalHitRun = hitRun;
    s.finalMissRun = missRun;
    return s;
}

ChanceFigures CandidateEvaluator::chance(const SearchCandidate& candidate) const
{
    return figures(candidate, m_rows, m_values.data(), m_hitBits.data(), m_weights.data(), m_totalWeight,
                   m_rules.weighted);
}

ChanceFigures CandidateEvaluator::holdOut(const SearchCandidate& candidate) const
{
    if (m_heldOut.rows == 0)
        return {};
    return figures(candidate, m_heldOut.rows, m_heldOut.values.data(), m_heldOut.hitBits.data(), nullptr,
                   m_heldOut.rows, false);
}

ChanceFigures CandidateEvaluator::figures(const SearchCandidate& candidate, int rows,
                                          const std::int16_t* values, const std::uint16_t* hitBits,
                                          const std::int64_t* weights, std::int64_t totalWeight,
                                          bool weighted) const
{
    // A candidate is a sum of parameters, so every draw before a row has a value: each row is
    // predicted 1..6 (by chance right with the kind's q) or 0 and below (certain).
    ChanceSums sums;
    sums.totalWeight = totalWeight;
    sums.tested = rows;
    for (int i = 0; i < rows; ++i) {
        std::int32_t sum = candidate.tail;
        for (int k = 0; k < candidate.operandCount; ++k)
            sum += values[static_cast<std::size_t>(candidate.operands[k]) * rows + i];
        const int prediction = (sum - 1) % 6 + 1;
        const int hit = (hitBits[i] >> (prediction + kBitOffset)) & 1;
        const std::int64_t w = weights ? weights[i] : 1;
        sums.weightedHits += hit ? w : 0;
        sums.hits += hit;
        if (prediction >= 1) {
            sums.valuedWeight[std::size_t(prediction - 1)] += w;
            sums.valuedWeightSquares[std::size_t(prediction - 1)] += double(w) * double(w);
        } else {
            sums.nonPositiveWeight += w;
            ++sums.nonPositiveDraws;
        }
    }
    return ChanceModel::figures(sums, DrawModel::of(m_order), m_mask, m_rules.kill, weighted);
}
