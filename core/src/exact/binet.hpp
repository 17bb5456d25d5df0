#pragma once
// Binet's function: the remainder of Stirling's formula,
//   B(z) = ln Gamma(z) - (z - 1/2) ln z + z - ln(2 pi) / 2,
// small and smooth where ln Gamma itself is large. The exact method writes
// every log-gamma difference as Stirling's leading terms, which it cancels
// analytically, plus these remainders.

#include <complex>

namespace kavo::exact {

// For z off the non-positive real axis with |arg z| up to about 150 degrees
// (the contour's widest angle): its value modulo 2 pi i.
std::complex<double> binet(std::complex<double> z);

// For real x > 0.
double binet(double x);

}  // namespace kavo::exact
