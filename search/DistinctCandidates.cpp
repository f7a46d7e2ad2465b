#include "search/DistinctCandidates.h"

DistinctCandidates::DistinctCandidates(const std::vector<DrawRecord>& draws, const FormulaKind& kind,
                                       const QStringList& known)
    : m_history(draws), m_reduction(PredictionTokens::forKind(kind.single)), m_draws(int(draws.size()))
{
    m_columns.resize(std::size_t(kParameterCount) * std::size_t(m_draws));
    for (int r = 0; r < m_draws; ++r)
        for (int c = 0; c < kParameterCount; ++c)
            m_columns[std::size_t(c) * std::size_t(m_draws) + std::size_t(r)] =
                draws[std::size_t(r)].values[c];
    for (const QString& code : known) {
        CompiledFormula f = CompiledFormula::compile(code);
        if (!f.isValid())
            continue;
        m_knownByKey.emplace(FormulaEquivalence::key(m_history, f, m_reduction), int(m_known.size()));
        m_known.push_back(std::move(f));
    }
}

std::int32_t DistinctCandidates::sum(const SearchCandidate& candidate, int row) const
{
    std::int32_t s = candidate.tail;
    for (int k = 0; k < candidate.operandCount; ++k)
        s += m_columns[std::size_t(candidate.operands[k]) * std::size_t(m_draws) + std::size_t(row)];
    return s;
}

std::uint64_t DistinctCandidates::key(const SearchCandidate& candidate) const
{
    PredictionHash h;
    std::uint8_t tokens[CompiledFormula::kBlockRows];
    for (const FormulaEquivalence::RowRange& r : FormulaEquivalence::keyRows(m_draws)) {
        for (int i = 0; i < r.count; ++i)
            tokens[i] = PredictionTokens::ofInteger(sum(candidate, r.first + i), m_reduction);
        h.add(tokens, r.count);
    }
    return h.value();
}

std::vector<std::uint8_t> DistinctCandidates::tokens(const SearchCandidate& candidate) const
{
    std::vector<std::uint8_t> out(static_cast<std::size_t>(m_draws));
    for (int r = 0; r < m_draws; ++r)
        out[std::size_t(r)] = PredictionTokens::ofInteger(sum(candidate, r), m_reduction);
    return out;
}

bool DistinctCandidates::isKnown(const SearchCandidate& candidate, std::uint64_t key) const
{
    const auto [begin, end] = m_knownByKey.equal_range(key);
    if (begin == end || m_draws == 0)
        return false;
    const std::vector<std::uint8_t> own = tokens(candidate);
    for (auto it = begin; it != end; ++it)
        if (FormulaEquivalence::samePredictions(m_history, m_known[std::size_t(it->second)], own,
                                                m_reduction))
            return true;
    return false;
}
