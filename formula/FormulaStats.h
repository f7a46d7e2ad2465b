#pragma once

#include <cstdint>

// One formula's back-test figures over the look-back window. Weighted hits and the total weight
// are 64-bit: with weighting on, 3,000 rows already weigh 9,004,500,500. The runs fit 16 bits,
// since a history holds at most 32,767 draws.
struct FormulaStats
{
    std::int64_t weightedHits = 0;
    std::int64_t totalWeight = 0; // the same for every formula of a run
    float rate = 0;               // weightedHits / totalWeight * 100; 0 for an empty window
    int maxMissRun = 0;           // 最大连错 (intGsErrCon)
    int maxHitRun = 0;            // 最大连对 (intGsTrueCon)
    int finalMissRun = 0;         // 最后连错 (intGsErrLst)
    int finalHitRun = 0;          // 最后连对 (intGsTrueLst)

    bool operator==(const FormulaStats&) const = default;
};
