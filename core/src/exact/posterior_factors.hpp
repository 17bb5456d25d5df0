#pragma once
// Stick-breaking of the posterior into independent Beta factors, and the gap
// Delta = max f - f(p*) between the log kernel at its mode and at the
// hypothesis point.

#include <array>
#include <span>

namespace kavo::exact {

struct FactorShape {
  double alpha = 0.0;  // kernel exponents of the factor
  double beta = 0.0;
  int jacobian_power = 0;  // extra (1 - y)^k of the density
};

struct PosteriorFactors {
  std::array<FactorShape, 3> factors{};
  int count = 0;
  double gap = 0.0;  // Delta >= 0
};

// Checks the arguments against the domain (see exact_evidence.hpp) and
// returns false outside it.
bool factor_posterior(std::span<const double> a, std::span<const int> blocks,
                      std::span<const double> point, PosteriorFactors& out);

// The order in which the cells of a block (e = a - 1, 3 or 4 cells) are
// broken off: the largest first, then the smallest, then the others as
// they stand. The first size entries are a permutation of 0..size-1.
std::array<int, 4> breaking_order(std::span<const double> e);

// Delta of one Dirichlet block, e = a - 1 > 0: with E = sum e and the mode
// m = e / E, Delta = sum e_i ln(m_i / p_i) = sum e_i phi(p_i / m_i) with
// phi(x) = x - 1 - ln x >= 0 when both points lie on the simplex: a sum of
// non-negative terms, free of the cancellation of two large log kernels.
double block_gap(std::span<const double> e, std::span<const double> p);

}  // namespace kavo::exact
