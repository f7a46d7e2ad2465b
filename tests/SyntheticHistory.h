#pragma once

#include "history/DrawRecord.h"

#include <vector>

// A realistic history for tests and benchmarks: `count` random draws of a 78-draw lottery from
// 2016-01-01 on, every parameter derived and chained draw by draw; the same seed gives the same draws.
std::vector<DrawRecord> syntheticDraws(int count, unsigned seed);
