#pragma once

#include <cstdint>
#include <vector>

// The inner loop of every plain column sum: the sums of a block of rows and their predictions,
// compiled for several instruction sets and chosen once by what the processor offers, so one build
// runs on any x86-64 and uses its wider registers where present. Every path gives the same codes.
class SumKernels
{
public:
    enum class Path
    {
        Plain,
        Avx2,
        Avx512
    };
    // Rows one call handles at most.
    static constexpr int kMaxRows = 256;

    // The paths this processor can run, Plain first; and the one chosen for it.
    static std::vector<Path> availablePaths();
    static Path chosenPath();
    static const char* name(Path path);

    // codes[i] = ((s − 1) MOD 6) + 1 + 4 with s = constant + Σ added[k][i] − Σ subtracted[k][i], for
    // i < n ≤ kMaxRows: the prediction −4..6 offset to 0..10, the engine's coding. The sums must
    // stay within 32 bits (ColumnSum admits only such formulas).
    static void predictionCodes(const std::int16_t* const* added, int addedCount,
                                const std::int16_t* const* subtracted, int subtractedCount,
                                std::int32_t constant, int n, std::int8_t* codes);
    // The same on a given path (one of availablePaths()), to compare the paths.
    static void predictionCodes(Path path, const std::int16_t* const* added, int addedCount,
                                const std::int16_t* const* subtracted, int subtractedCount,
                                std::int32_t constant, int n, std::int8_t* codes);
};
