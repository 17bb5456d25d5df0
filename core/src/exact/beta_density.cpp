#include "beta_density.hpp"

#include <cmath>
#include <numbers>

#include "stable_log_exp.hpp"

namespace kavo::exact {

double stirling_remainder(double z) {
  // Raise z to at least 8 with mu(z) = mu(z + 1) + (z + 1/2) ln(1 + 1/z) - 1;
  // each step adds a small term, so nothing cancels.
  double shift = 0.0;
  while (z < 8.0) {
    shift += (z + 0.5) * std::log1p(1.0 / z) - 1.0;
    z += 1.0;
  }
  // Asymptotic series B_2k / (2k (2k - 1) z^(2k - 1)); at z = 8 the first
  // omitted term is below 1e-16.
  const double r = 1.0 / z;
  const double r2 = r * r;
  const double series =
      r * (1.0 / 12.0 +
           r2 * (-1.0 / 360.0 +
                 r2 * (1.0 / 1260.0 +
                       r2 * (-1.0 / 1680.0 +
                             r2 * (1.0 / 1188.0 +
                                   r2 * (-691.0 / 360360.0 +
                                         r2 * (1.0 / 156.0 + r2 * (-3617.0 / 122400.0))))))));
  return series + shift;
}

double log_odds_beta_density(double A, double B, double x) {
  // With x0 = A / (A + B) and Gamma(z) = sqrt(2 pi / z) (z / e)^z e^mu(z):
  //   x^A (1-x)^B / B(A,B) = sqrt(A B / (2 pi (A + B)))
  //       * (x / x0)^A ((1 - x) / (1 - x0))^B * e^(mu(A+B) - mu(A) - mu(B)).
  // With x / x0 = 1 + d, (1 - x) / (1 - x0) = 1 - A d / B and the linear
  // terms of the two logarithms cancel exactly.
  const double n = A + B;
  const double d = std::fma(x, n, -A) / A;
  // Both logarithms through log1pmx: their linear parts cancel exactly, and
  // ln((1 - x) / (1 - x0)) near 0 keeps its digits at B up to 4e7. Far below
  // x0 the ratio x / x0 itself is better than 1 + d (and likewise near 1,
  // where 1 - x is exact).
  const double e = -A * d / B;
  const double low_part = d < -0.5 ? std::log(x * n / A) - d : log1pmx(d);
  const double high_part = e < -0.5 ? std::log((1.0 - x) * n / B) - e : log1pmx(e);
  double exponent = A * low_part + B * high_part;
  exponent += stirling_remainder(n) - stirling_remainder(A) - stirling_remainder(B);
  return std::sqrt(A * B / (2.0 * std::numbers::pi * n)) * std::exp(exponent);
}

}  // namespace kavo::exact
