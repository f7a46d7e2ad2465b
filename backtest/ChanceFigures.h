#pragma once

#include <cstdint>
#include <optional>

// How one formula's back-test compares with pure chance over the same draws and weights.
//
// On a fair draw a prediction p in 1..6 is right by chance with q = (5/6)^k for a kill formula and
// 1 − (5/6)^k for a keep formula, k being the numbers the kind compares (单选 1, 十位通选 2, 百位通选 3).
// A prediction of 0 or below is always right for kill (q = 1) and never for keep (q = 0); a draw
// without an earlier value is a miss (q = 0). Over the scored draws j with weights w_j:
//   chance rate E = Σ w_j q_j / Σ w_j (per cent), excess = rate − E (percentage points),
//   z = (Σ w_j h_j − Σ w_j q_j) / sqrt(Σ w_j² q_j (1 − q_j)), p = P(Z ≥ z) for a standard normal Z.
// z and p are empty when the variance is 0 (no draw where chance could go either way).
struct ChanceFigures
{
    int hits = 0;          // right draws of the window, unweighted
    int tested = 0;        // scored draws
    double chanceRate = 0; // E, per cent
    double excess = 0;     // rate − E, percentage points
    std::optional<double> z;
    std::optional<double> p;

    bool operator==(const ChanceFigures&) const = default;
};

// What a back-test adds up per formula for its chance figures. Only draws predicted 1..6 can go
// either way; their weights and squared weights give the expectation and the variance.
struct ChanceSums
{
    std::int64_t weightedHits = 0;
    std::int64_t totalWeight = 0;
    int hits = 0;
    int tested = 0;
    std::int64_t valuedWeight = 0;      // Σ w over the draws predicted 1..6
    double valuedWeightSquares = 0;     // Σ w² over those draws (beyond 64-bit integers for long windows)
    std::int64_t nonPositiveWeight = 0; // Σ w over the draws predicted 0 or below
};

class ChanceModel
{
public:
    // The chance that a prediction in 1..6 is right on a fair draw when `compared` numbers are drawn.
    static double baseChance(int compared, bool kill);
    static ChanceFigures figures(const ChanceSums& sums, int compared, bool kill);
    // P(Z ≥ z) for a standard normal Z.
    static double upperTail(double z);
    // P(K ≥ k) for K binomial with n trials of chance q; 1 for k ≤ 0.
    static double binomialUpperTail(int n, double q, int k);
};
