#include "binet.hpp"

#include <cmath>
#include <numbers>

#include <boost/math/special_functions/gamma.hpp>

#include "boost_policy.hpp"
#include "complex_functions.hpp"

namespace kavo::exact {
namespace {

// Stirling's series B(z) ~ sum_k B_2k / (2k (2k - 1) z^(2k - 1)), terms by
// Bernoulli numbers B_2 .. B_16.
constexpr double kStirling[] = {1.0 / 12.0,          -1.0 / 360.0,   1.0 / 1260.0,
                                -1.0 / 1680.0,       1.0 / 1188.0,   -691.0 / 360360.0,
                                1.0 / 156.0,         -3617.0 / 122400.0};

// The series' error after eight terms is below |B_18| / (18 * 17 |z|^17) times
// sec(arg z / 2)^18: at |z| >= 10 it is below 1e-15 in the right half-plane,
// and at |z| >= 25 for |arg z| up to 150 degrees. Beyond |z| = 100 four terms
// do as well.
double inverse(double x) { return 1.0 / x; }
std::complex<double> inverse(std::complex<double> z) { return reciprocal(z); }

template <class T>
T stirling_series(T z, double modulus_squared) {
  const T r = inverse(z);
  const T r2 = r * r;
  if (modulus_squared >= 1e4) {
    return r * (kStirling[0] + r2 * (kStirling[1] + r2 * (kStirling[2] + r2 * kStirling[3])));
  }
  T sum = kStirling[7];
  for (int k = 6; k >= 0; --k) sum = kStirling[k] + r2 * sum;
  return r * sum;
}

bool series_accurate(double x, double modulus_squared) {
  return modulus_squared >= (x >= 0.0 ? 100.0 : 625.0);
}

}  // namespace

std::complex<double> binet(std::complex<double> z) {
  double m2 = std::norm(z);
  if (series_accurate(z.real(), m2)) return stirling_series(z, m2);
  // Up by n: ln Gamma(z) = ln Gamma(z + n) - ln(z (z + 1) ... (z + n - 1)),
  // one logarithm for the product (modulo 2 pi i is enough).
  std::complex<double> product = z, shifted = z + 1.0;
  int n = 1;
  for (m2 = std::norm(shifted); !series_accurate(shifted.real(), m2); m2 = std::norm(shifted)) {
    product *= shifted;
    shifted += 1.0;
    ++n;
  }
  return stirling_series(shifted, m2) + (shifted - 0.5) * log(shifted) - (z - 0.5) * log(z) -
         static_cast<double>(n) - log(product);
}

double binet(double x) {
  if (x >= 10.0) return stirling_series(x, x * x);
  const double half_log_2pi = 0.5 * std::log(2.0 * std::numbers::pi);
  return boost::math::lgamma(x, BoostPolicy()) - (x - 0.5) * std::log(x) + x - half_log_2pi;
}

}  // namespace kavo::exact
