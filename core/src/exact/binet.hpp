#pragma once
// Binet's function: the remainder of Stirling's formula,
//   B(z) = ln Gamma(z) - (z - 1/2) ln z + z - ln(2 pi) / 2,
// small and smooth where ln Gamma itself is large. The exact method writes
// every log-gamma difference as Stirling's leading terms, which it cancels
// analytically, plus these remainders.

#include <cmath>
#include <complex>
#include <numbers>

namespace kavo::exact {

// For z off the non-positive real axis with |arg z| up to about 150 degrees
// (the contour's widest angle): its value modulo 2 pi i.
std::complex<double> binet(std::complex<double> z);

// For real x > 0.
double binet(double x);

// ln(2 pi) / 2, Stirling's constant term.
inline const double kHalfLog2Pi = 0.5 * std::log(2.0 * std::numbers::pi);

// Stirling's series B(z) ~ sum_k kStirling[k] / z^(2k + 1), from the
// Bernoulli numbers B_2 .. B_16.
inline constexpr double kStirling[] = {1.0 / 12.0,    -1.0 / 360.0,      1.0 / 1260.0,
                                       -1.0 / 1680.0, 1.0 / 1188.0,      -691.0 / 360360.0,
                                       1.0 / 156.0,   -3617.0 / 122400.0};
// How closely Stirling's series must give B(z): to 1e-16, or to
// kCoarseSeriesError where the tolerance is relative to a tiny evidence
// (deep tails), which lets it start from |z| = 7 instead of 11.4.
enum class SeriesPrecision { full, coarse };
inline constexpr double kCoarseSeriesError = 1e-12;
// Whether Stirling's series alone gives B(z) that closely (|z| large enough).
inline bool stirling_accurate(double real, double modulus_squared,
                              SeriesPrecision precision = SeriesPrecision::full) {
  const double from = precision == SeriesPrecision::full ? 130.0 : 49.0;
  return modulus_squared >= (real >= 0.0 ? from : 5.0 * from);
}
// Its sum of all eight terms, where it is accurate at either precision
// (there the terms still fall, so more of them only add accuracy);
// modulus_squared is |z|^2.
std::complex<double> stirling_series(std::complex<double> z, double modulus_squared);
// ln Gamma(z) + z - ln(2 pi) / 2 (modulo 2 pi i), for small |z| off the
// non-positive real axis: Stirling's series after shifting z up.
std::complex<double> log_gamma_plus(std::complex<double> z);
// The same but for -ln(product): the caller may take one logarithm of many
// such products.
std::complex<double> log_gamma_plus(std::complex<double> z, std::complex<double>& product,
                                    SeriesPrecision precision = SeriesPrecision::full);

// ln Gamma(1 + t) for |t| <= kNearOne by its Taylor series, -gamma t +
// sum_k>=2 (-t)^k zeta(k) / k: a cell whose c is small keeps its argument
// near 1, where the shifts up to Stirling's series would cost far more.
inline constexpr double kNearOne = 0.2;
std::complex<double> log_gamma_near_one(std::complex<double> t);

// The fewest of its terms that give B(z) to 1e-16 for every z on the contour
// with |z| >= modulus; 0 when |z| is too small for all eight.
int stirling_terms_from(double modulus);

}  // namespace kavo::exact
