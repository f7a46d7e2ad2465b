#pragma once

#include <vector>

// Tail probabilities the figures against chance are read from.
namespace Probability {

// P(Z ≥ z) for a standard normal Z.
double normalUpperTail(double z);
// P(K ≥ k) for K binomial with n trials of chance q; 1 for k ≤ 0, 0 for k > n. Exact to the
// precision of doubles, at a cost of a few hundred terms even when n is 32,767.
double binomialUpperTail(int n, double q, int k);
// P(X ≥ x) for X chi-square with `degrees` degrees of freedom.
double chiSquareUpperTail(double x, int degrees);
// The Benjamini–Yekutieli adjusted p values of `p`, in the same order: they keep the false
// discovery rate whatever the dependence between the tests.
std::vector<double> benjaminiYekutieli(const std::vector<double>& p);

} // namespace Probability
