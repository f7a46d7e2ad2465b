#pragma once

#include "history/DrawRecord.h"

#include <array>
#include <vector>

// A realistic history for tests and benchmarks: `count` random draws of a 78-draw lottery from
// 2016-01-01 on, every parameter derived and chained draw by draw; the same seed gives the same draws.
// With `ascending` each draw's numbers are written smallest first, as results pages publish them
// (the same dice as without).
std::vector<DrawRecord> syntheticDraws(int count, unsigned seed, bool ascending = false);

// Draws with only the three numbers set (百位, 十位, 个位), issues 160121001 onwards.
std::vector<DrawRecord> drawsWithNumbers(const std::vector<std::array<int, 3>>& draws);
