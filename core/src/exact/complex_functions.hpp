#pragma once
// Complex arithmetic for the exact method, written out: logarithms and
// exponentials that keep their relative accuracy near their cancelling
// points, and a reciprocal without the library's infinity handling (the
// method's arguments stay far inside the double range: gap_survival bounds
// the contour's scale).

#include <cmath>
#include <complex>

namespace kavo::exact {

using Complex = std::complex<double>;

inline Complex reciprocal(Complex z) {
  const double n = z.real() * z.real() + z.imag() * z.imag();
  return {z.real() / n, -z.imag() / n};
}

inline Complex divide(Complex a, Complex b) { return a * reciprocal(b); }

inline Complex log(Complex z) {
  return {0.5 * std::log(z.real() * z.real() + z.imag() * z.imag()), std::atan2(z.imag(), z.real())};
}

// ln(1 + v) for |v| <= 0.2 without a library call: 2 atanh(t) with
// t = v / (2 + v), |t| <= 0.112, by its series t (1 + t^2 / 3 + ...), cut
// where the next term is below 1e-17 of the first.
inline Complex log1p_small(Complex v) {
  const Complex t = divide(v, Complex(2.0 + v.real(), v.imag()));
  const Complex t2 = t * t;
  const double r2 = t.real() * t.real() + t.imag() * t.imag();
  // |t|^2 up to which 2, 3, ..., 8 terms suffice; 9 up to 0.0152.
  constexpr double kUpTo[] = {6.4e-9, 3.7e-6, 8.8e-5, 5.8e-4, 2e-3, 5e-3, 9.4e-3};
  int terms = 9;
  for (int i = 0; i < 7; ++i) {
    if (r2 <= kUpTo[i]) {
      terms = i + 2;
      break;
    }
  }
  Complex sum(1.0 / (2 * terms - 1), 0.0);
  for (int j = terms - 2; j >= 0; --j) sum = 1.0 / (2 * j + 1) + t2 * sum;
  return 2.0 * t * sum;
}

// ln(1 + v): the modulus through log1p of 2x + x^2 + y^2, accurate for
// small v, and the angle through atan (1 + x > 1/2 there); far from 0 the
// plain logarithm of 1 + v is as good and copes with 1 + v near 0.
inline Complex log1p(Complex v) {
  const double x = v.real(), y = v.imag();
  if (x * x + y * y > 0.25) return log(Complex(1.0 + x, y));
  return {0.5 * std::log1p(x * (2.0 + x) + y * y), std::atan(y / (1.0 + x))};
}

// exp(v) - 1, with cos(y) - 1 written as -2 sin^2(y / 2).
inline Complex expm1(Complex v) {
  const double em1 = std::expm1(v.real());
  const double sh = std::sin(0.5 * v.imag()), ch = std::cos(0.5 * v.imag());
  const double cos_m1 = -2.0 * sh * sh;
  const double sin_y = 2.0 * sh * ch;
  return {em1 * (1.0 + cos_m1) + cos_m1, (em1 + 1.0) * sin_y};
}

inline Complex exp(Complex v) {
  const double m = std::exp(v.real());
  return {m * std::cos(v.imag()), m * std::sin(v.imag())};
}

}  // namespace kavo::exact
