#pragma once

#include "history/ParameterTable.h"

#include <QString>
#include <array>
#include <cstdint>

// One draw of the history: its issue number (strQQH) and the values of the 77 parameter
// columns in ParameterTable order. Every value fits a 16-bit integer (the largest is 2016).
struct DrawRecord
{
    QString issue;
    std::array<int16_t, kParameterCount> values{};

    int value(int column) const { return values[column]; }
    int value(const char* code) const { return values[ParameterTable::column(code)]; }
    // The drawn number of position 1 (百位), 2 (十位) or 3 (个位).
    int number(int position) const { return values[position - 1]; }
};

// The three numbers of the draw before the one being derived. 0, 0, 0 before any draw is known.
struct PreviousDraw
{
    std::array<int, 3> numbers{0, 0, 0};
    static PreviousDraw of(const DrawRecord& draw)
    {
        return {{draw.number(1), draw.number(2), draw.number(3)}};
    }
};
