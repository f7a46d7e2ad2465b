#pragma once

#include <array>
#include <cstdint>

// The votes of one next-draw calculation. General selection (通选) has one cell per number 1..6;
// single selection (单选) one cell per digit 0..9 of each position 1 (个位), 2 (十位), 3 (百位).
// A vote always counts as an all vote and a kill vote; after a keep-sense calculation
// moveKillToKeep() turns the kill votes into keep votes, so a finished tally has kill == all and
// keep == 0 (kill sense) or keep == all and kill == 0 (keep sense).
class VoteTally
{
public:
    struct Cell
    {
        std::int16_t all = 0;
        std::int16_t kill = 0;
        std::int16_t keep = 0;

        bool operator==(const Cell&) const = default;
    };

    static constexpr int kGeneralPosition = 0; // the position argument that means 通选
    static constexpr int kPositions = 3;
    static constexpr int kNumbers = 6;
    static constexpr int kDigits = 10;

    // Zeroes every cell of both selection modes.
    void clear();
    // Zeroes the cells of one position: 0 the general numbers, 1..3 one position's digits.
    void clearPosition(int position);
    // One formula's vote for `value` (a number 1..6 for position 0, a digit 0..9 for 1..3).
    // False, and nothing counted, when the value or position has no cell.
    bool vote(int position, int value);
    // Keep sense: the kill votes of the position become keep votes and the kill votes 0.
    void moveKillToKeep(int position);

    // The cell of a general number 1..6, or of digit 0..9 at position 1..3 (position 0 means the
    // general numbers). Out-of-range arguments give an empty cell.
    Cell cell(int position, int value) const;
    // How many cells a position has: 6 for position 0, else 10; and its first value (1 or 0).
    static int cellCount(int position) { return position == kGeneralPosition ? kNumbers : kDigits; }
    static int firstValue(int position) { return position == kGeneralPosition ? 1 : 0; }

    bool operator==(const VoteTally&) const = default;

private:
    // The cell of a position and value, or null; one body for the const and non-const tallies.
    template <typename Self> static auto* find(Self& self, int position, int value);

    std::array<Cell, kNumbers> m_general{};
    std::array<std::array<Cell, kDigits>, kPositions> m_single{};
};
