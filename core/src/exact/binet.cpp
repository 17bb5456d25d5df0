#include "binet.hpp"

#include <cmath>
#include <numbers>

#include <boost/math/special_functions/gamma.hpp>

#include "boost_policy.hpp"
#include "complex_functions.hpp"

namespace kavo::exact {
namespace {

// The series' error after n terms is below the next term,
// |B_2n+2| / ((2n + 2)(2n + 1) |z|^(2n + 1)), times sec(arg z / 2)^(2n + 2):
// at most 2^(n + 1) in the right half-plane, 3.2^(2n + 2) on the rest of the
// contour, where |z| counts as if 2.24 times smaller. The fewest terms that
// keep it below 1e-16: eight from |z| = 11.4, down to two from 580; below
// 1e-12, five from |z| = 7 (the complex series sums all eight anyway).
int terms_for(double real, double modulus_squared) {
  const double m2 = real >= 0.0 ? modulus_squared : modulus_squared / 5.0;
  constexpr double kFrom[] = {3.4e5, 9600.0, 1600.0, 576.0, 276.0, 182.0};
  for (int i = 0; i < 6; ++i) {
    if (m2 >= kFrom[i]) return i + 2;
  }
  return 8;
}

double stirling_series(double z, double modulus_squared) {
  const double r = 1.0 / z, r2 = r * r;
  const int n = terms_for(z, modulus_squared);
  double sum = kStirling[n - 1];
  for (int k = n - 2; k >= 0; --k) sum = kStirling[k] + r2 * sum;
  return r * sum;
}

}  // namespace

// A fixed count of terms costs no mispredicted branch, which the count for
// |z| cost more than the terms it saved; Estrin's scheme in q = 1 / z^2
// halves the chain of dependent products that Horner's rule would make.
std::complex<double> stirling_series(std::complex<double> z, double modulus_squared) {
  const double inverse = 1.0 / modulus_squared;
  const double rx = z.real() * inverse, ry = -z.imag() * inverse;  // 1 / z
  const double qx = rx * rx - ry * ry, qy = 2.0 * rx * ry;          // q
  const double q2x = qx * qx - qy * qy, q2y = 2.0 * qx * qy;        // q^2
  const double q4x = q2x * q2x - q2y * q2y, q4y = 2.0 * q2x * q2y;  // q^4
  // k + l q for the pairs of coefficients
  const auto pair = [&](int k, double& x, double& y) {
    x = kStirling[k] + kStirling[k + 1] * qx;
    y = kStirling[k + 1] * qy;
  };
  double p0x, p0y, p1x, p1y, p2x, p2y, p3x, p3y;
  pair(0, p0x, p0y);
  pair(2, p1x, p1y);
  pair(4, p2x, p2y);
  pair(6, p3x, p3y);
  // p0 + q^2 p1 and p2 + q^2 p3, then the first plus q^4 the second
  const double lx = p0x + q2x * p1x - q2y * p1y, ly = p0y + q2x * p1y + q2y * p1x;
  const double hx = p2x + q2x * p3x - q2y * p3y, hy = p2y + q2x * p3y + q2y * p3x;
  const double sx = lx + q4x * hx - q4y * hy, sy = ly + q4x * hy + q4y * hx;
  return {rx * sx - ry * sy, rx * sy + ry * sx};
}

int stirling_terms_from(double modulus) {
  // Counted as if in the left half-plane, the worse side.
  return modulus * modulus / 5.0 >= 11.4 * 11.4 ? terms_for(-1.0, modulus * modulus) : 0;
}

std::complex<double> log_gamma_plus(std::complex<double> z, std::complex<double>& product,
                                    SeriesPrecision precision) {
  // Up by n: ln Gamma(z) = ln Gamma(z + n) - ln(z (z + 1) ... (z + n - 1)).
  product = z;
  std::complex<double> shifted = z + 1.0;
  int n = 1;
  double m2 = std::norm(shifted);
  for (; !stirling_accurate(shifted.real(), m2, precision); m2 = std::norm(shifted)) {
    product *= shifted;
    shifted += 1.0;
    ++n;
  }
  return stirling_series(shifted, m2) + (shifted - 0.5) * log(shifted) - static_cast<double>(n);
}

std::complex<double> log_gamma_plus(std::complex<double> z) {
  std::complex<double> product;
  const std::complex<double> partial = log_gamma_plus(z, product);
  return partial - log(product);
}

std::complex<double> log_gamma_near_one(std::complex<double> t) {
  // (-1)^k zeta(k) / k for k = 1 .. 24 (zeta(1) read as Euler's gamma).
  static constexpr double kTaylor[] = {
      -0.57721566490153286061, 0.82246703342411321824,  -0.40068563438653142847, 0.27058080842778454788,
      -0.20738555102867398527, 0.16955717699740818995,  -0.14404989676884611812, 0.12550966952474304242,
      -0.11133426586956469049, 0.10009945751278180853,  -0.090954017145829042233, 0.083353840546109004025,
      -0.076932516411352191473, 0.071432946295361336059, -0.066668705882420468033, 0.062500955141213040742,
      -0.058823978658684582339, 0.055555767627403611102, -0.052631679379616660734, 0.05000004769810169364,
      -0.047619070330142227991, 0.045454556293204669442, -0.043478266053040259361, 0.041666669150341210469};
  // The terms beyond the last are below |t|^(n + 1) / (n + 1) / (1 - |t|):
  // n = 11 to |t| = 0.05, 15 to 0.1, 24 to 0.2 keep them below 1e-17.
  const double r2 = t.real() * t.real() + t.imag() * t.imag();
  const int n = r2 <= 0.0025 ? 11 : r2 <= 0.01 ? 15 : 24;
  double sx = kTaylor[n - 1], sy = 0.0;
  for (int k = n - 2; k >= 0; --k) {
    const double x = kTaylor[k] + t.real() * sx - t.imag() * sy;
    sy = t.real() * sy + t.imag() * sx;
    sx = x;
  }
  return {t.real() * sx - t.imag() * sy, t.real() * sy + t.imag() * sx};
}

std::complex<double> binet(std::complex<double> z) {
  const double m2 = std::norm(z);
  if (stirling_accurate(z.real(), m2)) return stirling_series(z, m2);
  return log_gamma_plus(z) - (z - 0.5) * log(z);
}

double binet(double x) {
  if (x >= 10.0) return stirling_series(x, x * x);
  return boost::math::lgamma(x, BoostPolicy()) - (x - 0.5) * std::log(x) + x - kHalfLog2Pi;
}

}  // namespace kavo::exact
