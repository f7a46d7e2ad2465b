#include "killkeep/VoteTally.h"

#include <limits>

void VoteTally::clear()
{
    m_general = {};
    m_single = {};
}

void VoteTally::clearPosition(int position)
{
    if (position == kGeneralPosition)
        m_general = {};
    else if (position >= 1 && position <= kPositions)
        m_single[position - 1] = {};
}

template <typename Self> auto* VoteTally::find(Self& self, int position, int value)
{
    using CellPointer = decltype(&self.m_general[0]);
    if (position == kGeneralPosition)
        return value >= 1 && value <= kNumbers ? &self.m_general[value - 1] : CellPointer{};
    if (position < 1 || position > kPositions || value < 0 || value >= kDigits)
        return CellPointer{};
    return &self.m_single[position - 1][value];
}

bool VoteTally::vote(int position, int value)
{
    Cell* c = find(*this, position, value);
    if (!c)
        return false;
    // A table holds at most 32,767 formulas, so a cell cannot pass the 16-bit limit; stopping
    // there keeps a corrupt caller from wrapping to negative counts.
    constexpr std::int16_t top = std::numeric_limits<std::int16_t>::max();
    if (c->all < top)
        ++c->all;
    if (c->kill < top)
        ++c->kill;
    return true;
}

void VoteTally::moveKillToKeep(int position)
{
    const int first = firstValue(position);
    for (int v = first; v < first + cellCount(position); ++v) {
        if (Cell* c = find(*this, position, v)) {
            c->keep = c->kill;
            c->kill = 0;
        }
    }
}

VoteTally::Cell VoteTally::cell(int position, int value) const
{
    const Cell* c = find(*this, position, value);
    return c ? *c : Cell{};
}
