#pragma once

#include <array>
#include <vector>

// What one way of reading a history's rows (which columns, or which numbers after the issue,
// are the draw's numbers) finds on one row.
struct LayoutRowReading
{
    bool found = false; // three numbers where the layout looks for them
    std::array<int, 3> numbers{};
    std::array<int, 3> positions{}; // where they stand on the row: a column, or a number's place
    // One-number fields beside them that may be the row's sum (和值): by slot (a column, or the
    // field right before or after the numbers), with the field's place on the row and its value.
    struct Beside
    {
        int slot = 0;
        int position = 0;
        int value = 0;
    };
    std::vector<Beside> beside;
};

// Chooses how a history is read when its rows can be read in more than one way: a one-number
// field before or after the numbers may be a sum, a count or part of a date. A field that holds
// the sum of the three numbers on every row a layout reads is a sum column, never a number; a
// field the words 和值 name is a sum on its row. Of the layouts left, the one under which the
// most rows read three numbers from 1 to 6 is taken; two that read equally many rows but some row
// differently leave the history ambiguous.
class LayoutChoice
{
public:
    struct Outcome
    {
        int layout = -1;       // the layout taken; -1 when none reads any row
        int rival = -1;        // ambiguous: the layout as good as `layout`
        int ambiguousRow = -1; // a row the two read differently
        // Per row: the places that hold the row's sum, so no layout reads them as numbers.
        std::vector<std::vector<int>> sumPositions;
    };

    // readings[layout][row]; knownSums[row]: places known to hold the row's sum.
    static Outcome choose(const std::vector<std::vector<LayoutRowReading>>& readings,
                          const std::vector<std::vector<int>>& knownSums);
    // Whether the reading is three numbers from 1 to 6 none of which stands on a sum place.
    static bool readsInRange(const LayoutRowReading& reading, const std::vector<int>& sumPositions);
};
