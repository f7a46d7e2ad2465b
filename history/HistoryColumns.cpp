#include "history/HistoryColumns.h"

#include <algorithm>

HistoryColumns::HistoryColumns(const std::vector<DrawRecord>& draws)
    : m_drawCount(static_cast<int>(draws.size())), m_stride(draws.size()), m_orderDraws(m_drawCount)
{
    auto values =
        std::make_shared<std::vector<double>>(static_cast<std::size_t>(kParameterCount) * draws.size());
    auto values16 =
        std::make_shared<std::vector<std::int16_t>>(static_cast<std::size_t>(kParameterCount) * draws.size());
    for (int row = 0; row < m_drawCount; ++row) {
        const DrawRecord& d = draws[row];
        for (int c = 0; c < kParameterCount; ++c) {
            (*values)[static_cast<std::size_t>(c) * m_stride + row] = d.values[c];
            (*values16)[static_cast<std::size_t>(c) * m_stride + row] = d.values[c];
        }
        m_orderAscending += d.number(1) <= d.number(2) && d.number(2) <= d.number(3);
    }
    m_values = std::move(values);
    m_values16 = std::move(values16);
}

HistoryColumns HistoryColumns::firstDraws(int count) const
{
    HistoryColumns prefix(*this);
    prefix.m_drawCount = std::clamp(count, 0, m_drawCount);
    return prefix;
}
