#include "history/Probability.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace Probability {

double normalUpperTail(double z)
{
    // erfc keeps its precision far out in the tail, where 1 − Φ(z) would round to 0.
    return 0.5 * std::erfc(z / std::sqrt(2.0));
}

namespace {

// log P(K = i) for K binomial(n, q), 0 < q < 1.
double logBinomialTerm(int n, double q, int i)
{
    return std::lgamma(n + 1.0) - std::lgamma(i + 1.0) - std::lgamma(n - i + 1.0) + i * std::log(q) +
           (n - i) * std::log1p(-q);
}

} // namespace

double binomialUpperTail(int n, double q, int k)
{
    if (k <= 0)
        return 1.0;
    if (k > n || q <= 0)
        return 0.0;
    if (q >= 1)
        return 1.0;
    // The terms fall off geometrically on either side of the mode, so the smaller tail is summed
    // from its edge outwards, each term from the one before, until the terms no longer count.
    const double ratio = q / (1.0 - q);
    if (k > n * q) {
        double term = std::exp(logBinomialTerm(n, q, k));
        double sum = 0;
        for (int i = k; i <= n && term > 0; ++i) {
            sum += term;
            if (term < sum * 1e-17)
                break;
            term *= double(n - i) / double(i + 1) * ratio;
        }
        return std::min(1.0, sum);
    }
    double term = std::exp(logBinomialTerm(n, q, k - 1));
    double lower = 0;
    for (int i = k - 1; i >= 0 && term > 0; --i) {
        lower += term;
        if (term < lower * 1e-17)
            break;
        term *= double(i) / double(n - i + 1) / ratio;
    }
    return std::clamp(1.0 - lower, 0.0, 1.0);
}

namespace {

// The regularized lower incomplete gamma P(a, x) by its series (x < a + 1).
double lowerGammaSeries(double a, double x)
{
    double term = 1.0 / a, sum = term;
    for (int n = 1; n < 10000; ++n) {
        term *= x / (a + n);
        sum += term;
        if (std::abs(term) < std::abs(sum) * 1e-16)
            break;
    }
    return sum * std::exp(-x + a * std::log(x) - std::lgamma(a));
}

// The regularized upper incomplete gamma Q(a, x) by its continued fraction (x ≥ a + 1), in
// Lentz's form.
double upperGammaFraction(double a, double x)
{
    constexpr double tiny = 1e-300;
    double b = x + 1.0 - a, c = 1.0 / tiny, d = 1.0 / b, h = d;
    for (int i = 1; i < 10000; ++i) {
        const double an = -i * (i - a);
        b += 2.0;
        d = an * d + b;
        if (std::abs(d) < tiny)
            d = tiny;
        c = b + an / c;
        if (std::abs(c) < tiny)
            c = tiny;
        d = 1.0 / d;
        const double delta = d * c;
        h *= delta;
        if (std::abs(delta - 1.0) < 1e-16)
            break;
    }
    return std::exp(-x + a * std::log(x) - std::lgamma(a)) * h;
}

} // namespace

double chiSquareUpperTail(double x, int degrees)
{
    if (degrees <= 0)
        return x > 0 ? 0.0 : 1.0;
    if (x <= 0)
        return 1.0;
    const double a = degrees / 2.0, half = x / 2.0;
    return half < a + 1.0 ? std::clamp(1.0 - lowerGammaSeries(a, half), 0.0, 1.0)
                          : std::clamp(upperGammaFraction(a, half), 0.0, 1.0);
}

std::vector<double> benjaminiYekutieli(const std::vector<double>& p)
{
    const std::size_t m = p.size();
    std::vector<double> adjusted(m);
    if (m == 0)
        return adjusted;
    double harmonic = 0;
    for (std::size_t i = 1; i <= m; ++i)
        harmonic += 1.0 / double(i);
    std::vector<std::size_t> order(m);
    std::iota(order.begin(), order.end(), std::size_t(0));
    std::stable_sort(order.begin(), order.end(), [&p](std::size_t a, std::size_t b) { return p[a] < p[b]; });
    // From the largest p down, each adjusted value is the smallest m·c(m)·p(j)/j over j ≥ its rank.
    double running = 1.0;
    for (std::size_t rank = m; rank >= 1; --rank) {
        const std::size_t i = order[rank - 1];
        running = std::min(running, double(m) * harmonic * p[i] / double(rank));
        adjusted[i] = std::min(1.0, running);
    }
    return adjusted;
}

} // namespace Probability
