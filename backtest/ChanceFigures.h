#pragma once

#include <array>
#include <cstdint>
#include <optional>

class DrawModel;

// How one formula's back-test compares with pure chance over the same draws and weights.
//
// A prediction p in 1..6 is right by chance with q = the chance, under the history's draw model,
// that p is absent from the kind's published positions (kill) or among them (keep). A prediction of
// 0 or below is always right for kill (q = 1) and never for keep (q = 0); a draw without an earlier
// value is a miss (q = 0). Over the scored draws j with weights w_j:
//   chance rate E = Σ w_j q_j / Σ w_j (per cent), excess = rate − E (percentage points),
//   z = (Σ w_j h_j − Σ w_j q_j) / sqrt(Σ w_j² q_j (1 − q_j)).
// p: with weights, P(Z ≥ z) for a standard normal Z. Unweighted, the exact binomial tail when every
// draw that can go either way has the same q (the certain draws add their known hits), otherwise
// the normal tail with a continuity correction, P(Z ≥ (hits − 0.5 − E) / sd).
// z and p are empty when the variance is 0 (no draw where chance could go either way).
struct ChanceFigures
{
    int hits = 0;          // right draws of the window, unweighted
    int tested = 0;        // scored draws
    double chanceRate = 0; // E, per cent
    double excess = 0;     // rate − E, percentage points
    std::optional<double> z;
    std::optional<double> p;

    // hits / tested in per cent: the rate of an unweighted count (the hold-out's).
    double plainRate() const { return tested > 0 ? 100.0 * hits / tested : 0.0; }
    bool operator==(const ChanceFigures&) const = default;
};

// What a back-test adds up per formula for its chance figures. Only draws predicted 1..6 can go
// either way; their weights and squared weights, per predicted number, give the expectation and
// the variance. Where the model gives every number the kind compares the same chance, a caller may
// add all of them into number 1's place.
struct ChanceSums
{
    std::int64_t weightedHits = 0;
    std::int64_t totalWeight = 0;
    int hits = 0;
    int tested = 0;
    std::array<std::int64_t, 6> valuedWeight{};  // Σ w over the draws predicted 1..6, by number
    std::array<double, 6> valuedWeightSquares{}; // Σ w² (beyond 64-bit integers for long windows)
    std::int64_t nonPositiveWeight = 0;          // Σ w over the draws predicted 0 or below
    int nonPositiveDraws = 0;
};

class ChanceModel
{
public:
    // The chance that a prediction v in 1..6 is right on a fair draw of `model` for the positions
    // in `mask`.
    static double chanceOf(const DrawModel& model, int mask, bool kill, int v);
    static ChanceFigures figures(const ChanceSums& sums, const DrawModel& model, int mask, bool kill,
                                 bool weighted);
};
