#pragma once

#include <cstdint>
#include <optional>
#include <vector>

class CompiledFormula;
class HistoryColumns;

// A formula that is a plain sum of parameter columns and an integer constant (L1A+LT+L3D+7,
// L1A-L2A+3, 2*LT+1…: every formula the search makes and most that players keep). Its value is an
// integer on every draw, so it is evaluated on the 16-bit columns with integer sums, which give the
// interpreter's value exactly: the terms are admitted only while no sum, partial or whole, can leave
// the 32-bit range, where the interpreter's doubles are exact as well.
class ColumnSum
{
public:
    // The most column terms (a column counted as often as its coefficient says) taken this way.
    static constexpr int kMaxTerms = 64;

    // The sum a compiled formula is, or none when it is anything else (a product of columns, a
    // division, MOD, a fraction) or too large.
    static std::optional<ColumnSum> of(const CompiledFormula& formula);
    // constant + Σ added columns, the search's candidates.
    static ColumnSum ofColumns(const std::vector<int>& added, std::int32_t constant);

    const std::vector<int>& added() const { return m_added; }
    const std::vector<int>& subtracted() const { return m_subtracted; }
    std::int32_t constant() const { return m_constant; }

    // The prediction codes ((v − 1) MOD 6) + 1 + 4 of rows [firstRow, firstRow + count) of
    // `history`, count <= SumKernels::kMaxRows.
    void predictionCodes(const HistoryColumns& history, int firstRow, int count, std::int8_t* codes) const;

private:
    std::vector<int> m_added;      // column indices, repeated by their coefficient
    std::vector<int> m_subtracted; // likewise, with coefficient −1 each
    std::int32_t m_constant = 0;
};
