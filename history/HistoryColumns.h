#pragma once

#include "history/DrawRecord.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// The draw history laid out column by column for fast formula evaluation: one contiguous array of
// doubles per parameter column, rows in ascending issue order (the order of HistoryStore::draws()).
// Rebuild it after every change of the history.
//
// firstDraws() gives the same history as if it ended earlier, sharing the values: the hold-out
// check and the replay of past calculations see only the draws before a point, at no copying cost.
class HistoryColumns
{
public:
    HistoryColumns() = default;
    explicit HistoryColumns(const std::vector<DrawRecord>& draws);

    int drawCount() const { return m_drawCount; }
    // drawCount() values of ParameterTable column `index`, oldest first.
    const double* column(int index) const
    {
        return m_values->data() + static_cast<std::size_t>(index) * m_stride;
    }
    double value(int column, int row) const { return this->column(column)[row]; }
    // The same values as 16-bit integers (every parameter of a draw record is one), for the
    // integer evaluation of plain column sums.
    const std::int16_t* column16(int index) const
    {
        return m_values16->data() + static_cast<std::size_t>(index) * m_stride;
    }

    // The oldest `count` draws (clamped to 0..drawCount()), sharing this history's values.
    HistoryColumns firstDraws(int count) const;

    // The stored draws looked at for the order the numbers are published in, and how many of them
    // are ascending. The order belongs to the lottery, not to a stretch of it: a prefix reports the
    // whole history's counts, so a hold-out or a replay uses the same order as the full back-test.
    int orderDraws() const { return m_orderDraws; }
    int orderAscendingDraws() const { return m_orderAscending; }

private:
    int m_drawCount = 0;
    std::size_t m_stride = 0; // values per column in the shared storage
    int m_orderDraws = 0;
    int m_orderAscending = 0;
    std::shared_ptr<const std::vector<double>> m_values = std::make_shared<const std::vector<double>>();
    std::shared_ptr<const std::vector<std::int16_t>> m_values16 =
        std::make_shared<const std::vector<std::int16_t>>();
};
