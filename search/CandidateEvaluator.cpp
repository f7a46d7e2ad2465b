#include "search/CandidateEvaluator.h"

#include <algorithm>

namespace {

// Predictions lie in -4..6; bit p + kBitOffset stands for p.
constexpr int kBitOffset = 4;
constexpr std::uint16_t kAllPredictions = 0x7FF;
// Rows handled at a time: the running sums stay in registers and cache.
constexpr int kBlockRows = 256;

} // namespace

LookBackWindow CandidateEvaluator::window(int drawCount, int lookBackDraws)
{
    // From the oldest draw move forward n − W − 1 rows, at least one: the newest W + 1 draws.
    return LookBackWindow::of(drawCount, lookBackDraws, false);
}

CandidateEvaluator::CandidateEvaluator(const std::vector<DrawRecord>& draws, const SearchRules& rules)
    : m_rules(rules), m_window(window(static_cast<int>(draws.size()), rules.lookBackDraws)),
      m_rows(m_window.size())
{
    m_values.resize(static_cast<std::size_t>(kParameterCount) * m_rows);
    for (int i = 0; i < m_rows; ++i) {
        const DrawRecord& before = draws[m_window.first - 1 + i];
        for (int c = 0; c < kParameterCount; ++c)
            m_values[static_cast<std::size_t>(c) * m_rows + i] = before.values[c];
    }
    const std::vector<int> drawnColumns = rules.kind.checkedColumns();
    m_hitBits.reserve(m_rows);
    m_weights.reserve(m_rows);
    for (int i = 0; i < m_rows; ++i) {
        const DrawRecord& draw = draws[m_window.first + i];
        std::uint16_t drawn = 0;
        for (int c : drawnColumns) {
            const int number = draw.values[c];
            if (number >= -kBitOffset && number <= 6)
                drawn |= std::uint16_t(1u << (number + kBitOffset));
        }
        m_hitBits.push_back(rules.kill ? std::uint16_t(~drawn & kAllPredictions) : drawn);
        const std::int64_t k = i + 1;
        m_weights.push_back(rules.weighted ? k * k : 1);
        m_totalWeight += m_weights.back();
    }
}

FormulaStats CandidateEvaluator::evaluate(const SearchCandidate& candidate) const
{
    FormulaStats s;
    s.totalWeight = m_totalWeight;
    std::int32_t sums[kBlockRows];
    std::uint8_t bits[kBlockRows];
    std::int64_t hits = 0;
    int hitRun = 0, missRun = 0, maxHitRun = 0, maxMissRun = 0;
    for (int start = 0; start < m_rows; start += kBlockRows) {
        const int n = std::min(kBlockRows, m_rows - start);
        std::fill(sums, sums + n, candidate.tail);
        for (int k = 0; k < candidate.operandCount; ++k) {
            const std::int32_t* column =
                m_values.data() + static_cast<std::size_t>(candidate.operands[k]) * m_rows + start;
            for (int i = 0; i < n; ++i)
                sums[i] += column[i];
        }
        // ((x − 1) MOD 6) + 1 on integers: C++'s remainder has the sign of its left operand too.
        for (int i = 0; i < n; ++i)
            bits[i] = static_cast<std::uint8_t>((sums[i] - 1) % 6 + 1 + kBitOffset);
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
    // A candidate is a sum of parameters, so every draw before a window row has a value: each row
    // is predicted 1..6 (by chance right with the kind's q) or 0 and below (certain).
    ChanceSums sums;
    sums.totalWeight = m_totalWeight;
    sums.tested = m_rows;
    for (int i = 0; i < m_rows; ++i) {
        std::int32_t sum = candidate.tail;
        for (int k = 0; k < candidate.operandCount; ++k)
            sum += m_values[static_cast<std::size_t>(candidate.operands[k]) * m_rows + i];
        const int prediction = (sum - 1) % 6 + 1;
        const int hit = (m_hitBits[i] >> (prediction + kBitOffset)) & 1;
        const std::int64_t w = m_weights[i];
        sums.weightedHits += hit ? w : 0;
        sums.hits += hit;
        if (prediction >= 1) {
            sums.valuedWeight += w;
            sums.valuedWeightSquares += double(w) * double(w);
        } else {
            sums.nonPositiveWeight += w;
        }
    }
    return ChanceModel::figures(sums, int(m_rules.kind.checkedColumns().size()), m_rules.kill);
}
