#include "standardized_evidence.hpp"

#include <cmath>

#include <boost/math/distributions/chi_squared.hpp>

#include "exact/boost_policy.hpp"

namespace kavo {

double standardized_evidence(double evidence, int t, int df) {
  if (df == t || !(evidence > 0.0) || !(evidence < 1.0)) return evidence;
  using ChiSquared = boost::math::chi_squared_distribution<double, exact::BoostPolicy>;
  // The point of chi2(t) whose upper tail is the evidence, then chi2(df)'s
  // upper tail there.
  // Two dimensions (two alleles, two proportions): chi2(2)'s upper tail is
  // exp(-x / 2), so x = -2 ln(evidence) without the quantile's root finding.
  const double x = t == 2 ? -2.0 * std::log(evidence) : quantile(complement(ChiSquared(t), evidence));
  return cdf(complement(ChiSquared(df), x));
}

}  // namespace kavo
