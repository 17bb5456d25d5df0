#pragma once
// log1p(x) - x and expm1(x) - x without the cancellation of the plain forms.
// Both are second order at 0; the level-set and mode-density code builds its
// differences of logarithms from them so that small offsets keep all digits.
// They sit in the innermost loop of the level-set roots, hence fixed-degree
// polynomials in Estrin's form (short dependency chains) over divisions.

#include <array>
#include <cmath>
#include <cstddef>

namespace kavo::exact {
namespace detail {

// 1 / (k + 2)! for k = 0..14: expm1(x) - x = x^2 sum_k x^k / (k + 2)!.
constexpr std::array<double, 15> exp_series() {
  std::array<double, 15> c{};
  double factorial = 1.0;  // exact: 16! < 2^53
  for (int k = 1; k <= 16; ++k) {
    factorial *= k;
    if (k >= 2) c[k - 2] = 1.0 / factorial;
  }
  return c;
}

// 1 / (2k + 3) for k = 0..16: the odd part of atanh beyond its first term.
constexpr std::array<double, 17> atanh_series() {
  std::array<double, 17> c{};
  for (int k = 0; k < 17; ++k) c[k] = 1.0 / (2 * k + 3);
  return c;
}

inline constexpr std::array<double, 15> kExpSeries = exp_series();
inline constexpr std::array<double, 17> kAtanhSeries = atanh_series();

// sum_k c[k] x^k by Estrin's scheme.
template <std::size_t N>
double estrin(const std::array<double, N>& c, double x) {
  std::array<double, (N + 1) / 2> level{};
  std::size_t size = (N + 1) / 2;
  for (std::size_t i = 0; i < size; ++i) {
    level[i] = 2 * i + 1 < N ? c[2 * i] + c[2 * i + 1] * x : c[2 * i];
  }
  double power = x * x;
  while (size > 1) {
    const std::size_t next = (size + 1) / 2;
    for (std::size_t i = 0; i < next; ++i) {
      level[i] = 2 * i + 1 < size ? level[2 * i] + level[2 * i + 1] * power : level[2 * i];
    }
    size = next;
    power *= power;
  }
  return level[0];
}

}  // namespace detail

// ln(1 + x) - x for x > -1.
inline double log1pmx(double x) {
  if (std::fabs(x) > 0.5) return std::log1p(x) - x;
  // With s = x / (2 + x): ln(1 + x) = 2 atanh(s) and 2 s - x = -x s.
  // |s| <= 1/3, so s^2 <= 1/9 and 17 terms reach below 1e-17 relative.
  const double s = x / (2.0 + x);
  const double s2 = s * s;
  return -x * s + 2.0 * s * s2 * detail::estrin(detail::kAtanhSeries, s2);
}

// e^x - 1 - x.
inline double expm1mx(double x) {
  if (std::fabs(x) > 0.5) return std::expm1(x) - x;
  // Taylor series through x^16 / 16!: below 1e-17 relative at |x| = 1/2.
  return x * x * detail::estrin(detail::kExpSeries, x);
}

}  // namespace kavo::exact
