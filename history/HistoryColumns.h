#pragma once

#include "history/DrawRecord.h"

#include <cstddef>
#include <vector>

// The draw history laid out column by column for fast formula evaluation: one contiguous array of
// doubles per parameter column, rows in ascending issue order (the order of HistoryStore::draws()).
// Rebuild it after every change of the history.
class HistoryColumns
{
public:
    HistoryColumns() = default;
    explicit HistoryColumns(const std::vector<DrawRecord>& draws);

    int drawCount() const { return m_drawCount; }
    // drawCount() values of ParameterTable column `index`, oldest first.
    const double* column(int index) const { return m_values.data() + static_cast<std::size_t>(index) * m_drawCount; }
    double value(int column, int row) const { return this->column(column)[row]; }

private:
    int m_drawCount = 0;
    std::vector<double> m_values;
};
