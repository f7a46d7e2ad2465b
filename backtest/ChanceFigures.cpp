#include "backtest/ChanceFigures.h"

#include "history/DrawModel.h"
#include "history/Probability.h"

#include <cmath>
#include <numeric>

double ChanceModel::chanceOf(const DrawModel& model, int mask, bool kill, int v)
{
    return kill ? model.outChance(mask, v) : model.inChance(mask, v);
}

ChanceFigures ChanceModel::figures(const ChanceSums& sums, const DrawModel& model, int mask, bool kill,
                                   bool weighted)
{
    ChanceFigures f;
    f.hits = sums.hits;
    f.tested = sums.tested;
    if (sums.totalWeight <= 0)
        return f;
    const double total = double(sums.totalWeight);
    const double certain = kill ? double(sums.nonPositiveWeight) : 0.0;
    double expectedHits = certain, variance = 0;
    bool sameChance = true;
    if (model.isUniform(mask)) {
        // One chance for every number: the sums taken whole, as integers, before the one product.
        const double q = chanceOf(model, mask, kill, 1);
        const std::int64_t valued = std::accumulate(sums.valuedWeight.begin(), sums.valuedWeight.end(), 0LL);
        const double squares =
            std::accumulate(sums.valuedWeightSquares.begin(), sums.valuedWeightSquares.end(), 0.0);
        expectedHits += q * double(valued);
        variance = q * (1.0 - q) * squares;
    } else {
        std::optional<double> common;
        for (int v = 1; v <= 6; ++v) {
            const std::size_t i = std::size_t(v - 1);
            if (sums.valuedWeight[i] == 0)
                continue;
            const double q = chanceOf(model, mask, kill, v);
            expectedHits += q * double(sums.valuedWeight[i]);
            variance += q * (1.0 - q) * sums.valuedWeightSquares[i];
            sameChance = sameChance && (!common || *common == q);
            common = q;
        }
    }
    f.chanceRate = expectedHits / total * 100.0;
    f.excess = double(sums.weightedHits) / total * 100.0 - f.chanceRate;
    if (!(variance > 0))
        return f;
    const double sd = std::sqrt(variance);
    f.z = (double(sums.weightedHits) - expectedHits) / sd;
    if (weighted) {
        f.p = Probability::normalUpperTail(*f.z);
    } else if (sameChance) {
        // Unweighted, each weight is 1: the draws that can go either way are a binomial count.
        int n = 0, v = 1;
        for (int i = 0; i < 6; ++i)
            if (sums.valuedWeight[std::size_t(i)] > 0) {
                n += int(sums.valuedWeight[std::size_t(i)]);
                v = i + 1;
            }
        const int certainHits = kill ? sums.nonPositiveDraws : 0;
        f.p = Probability::binomialUpperTail(n, chanceOf(model, mask, kill, v), sums.hits - certainHits);
    } else {
        f.p = Probability::normalUpperTail((double(sums.hits) - 0.5 - expectedHits) / sd);
    }
    return f;
}
