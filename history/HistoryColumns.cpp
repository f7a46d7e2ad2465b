#include "history/HistoryColumns.h"

HistoryColumns::HistoryColumns(const std::vector<DrawRecord>& draws)
    : m_drawCount(static_cast<int>(draws.size()))
    , m_values(static_cast<std::size_t>(kParameterCount) * draws.size())
{
    for (int row = 0; row < m_drawCount; ++row) {
        const DrawRecord& d = draws[row];
        for (int c = 0; c < kParameterCount; ++c)
            m_values[static_cast<std::size_t>(c) * m_drawCount + row] = d.values[c];
    }
}
