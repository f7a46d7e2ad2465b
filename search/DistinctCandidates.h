#pragma once

#include "backtest/FormulaEquivalence.h"
#include "formula/CompiledFormula.h"
#include "formula/FormulaKind.h"
#include "history/HistoryColumns.h"
#include "search/SearchCandidate.h"

#include <QStringList>
#include <cstdint>
#include <unordered_map>
#include <vector>

// "跳过等价公式": tells whether a candidate predicts exactly as a formula already known — stored in
// its kind's table with the same sense, or already in the result list — on every stored draw (the
// equivalence of FormulaEquivalence, so for a 单选 kind the votes MOD 10 must agree too). A candidate's key
// is taken as the formulas' keys are, from its integer sums, so the two meet; a matching key is confirmed
// draw by draw. Immutable after construction: the search's worker threads share one.
class DistinctCandidates
{
public:
    // `known`: code forms of the kind's formulas; those that cannot be evaluated are ignored.
    DistinctCandidates(const std::vector<DrawRecord>& draws, const FormulaKind& kind,
                       const QStringList& known);

    // The key of the candidate's predictions (FormulaEquivalence::key of its code form).
    std::uint64_t key(const SearchCandidate& candidate) const;
    // The candidate's prediction tokens on every draw.
    std::vector<std::uint8_t> tokens(const SearchCandidate& candidate) const;
    // Whether the candidate, whose key is given, is equivalent to a known formula.
    bool isKnown(const SearchCandidate& candidate, std::uint64_t key) const;
    // Whether two candidates predict alike on every draw. With no draw stored nothing is alike, as
    // for the formulas of a table.
    bool sameAs(const SearchCandidate& a, const SearchCandidate& b) const
    {
        return m_draws > 0 && tokens(a) == tokens(b);
    }
    int knownCount() const { return int(m_known.size()); }

private:
    std::int32_t sum(const SearchCandidate& candidate, int row) const;

    HistoryColumns m_history;
    PredictionTokens::Reduction m_reduction;
    int m_draws = 0;
    // Column c of every draw: m_columns[c * m_draws + r].
    std::vector<std::int32_t> m_columns;
    std::vector<CompiledFormula> m_known;
    std::unordered_multimap<std::uint64_t, int> m_knownByKey;
};
