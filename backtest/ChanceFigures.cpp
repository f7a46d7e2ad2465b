#include "backtest/ChanceFigures.h"

#include <algorithm>
#include <cmath>

double ChanceModel::baseChance(int compared, bool kill)
{
    const double allMissed = std::pow(5.0 / 6.0, compared);
    return kill ? allMissed : 1.0 - allMissed;
}

ChanceFigures ChanceModel::figures(const ChanceSums& sums, int compared, bool kill)
{
    ChanceFigures f;
    f.hits = sums.hits;
    f.tested = sums.tested;
    if (sums.totalWeight <= 0)
        return f;
    const double q = baseChance(compared, kill);
    const double total = double(sums.totalWeight);
    const double expectedHits = q * double(sums.valuedWeight) + (kill ? double(sums.nonPositiveWeight) : 0.0);
    f.chanceRate = expectedHits / total * 100.0;
    f.excess = double(sums.weightedHits) / total * 100.0 - f.chanceRate;
    const double variance = q * (1.0 - q) * sums.valuedWeightSquares;
    if (variance > 0) {
        f.z = (double(sums.weightedHits) - expectedHits) / std::sqrt(variance);
        f.p = upperTail(*f.z);
    }
    return f;
}

double ChanceModel::upperTail(double z)
{
    // erfc keeps its precision far out in the tail, where 1 − Φ(z) would round to 0.
    return 0.5 * std::erfc(z / std::sqrt(2.0));
}

double ChanceModel::binomialUpperTail(int n, double q, int k)
{
    if (k <= 0)
        return 1.0;
    if (k > n || q <= 0)
        return 0.0;
    if (q >= 1)
        return 1.0;
    // Terms in logarithms: n may be 32,767, where the binomial coefficients overflow doubles.
    const double logQ = std::log(q), logRest = std::log1p(-q);
    const double logNFactorial = std::lgamma(n + 1.0);
    double sum = 0;
    for (int i = k; i <= n; ++i) {
        const double logTerm =
            logNFactorial - std::lgamma(i + 1.0) - std::lgamma(n - i + 1.0) + i * logQ + (n - i) * logRest;
        const double term = std::exp(logTerm);
        sum += term;
        // Past the mode the terms only shrink; stop once they no longer count.
        if (i > n * q && term < sum * 1e-17)
            break;
    }
    return std::min(1.0, sum);
}
