#pragma once
// The Beta density at a point to full double precision for shapes up to the
// domain's 4e7. Written through Stirling remainders, whose differences stay
// small, instead of differences of lgamma that lose ~1e-9 relative there.

namespace kavo::exact {

// mu(z) = lgamma(z) - (z - 1/2) ln z + z - ln(2 pi) / 2, for z >= 1.
double stirling_remainder(double z);

// x^A (1 - x)^B / B(A, B) for A, B >= 1 and 0 < x < 1: x (1 - x) times the
// Beta(A, B) density at x, the density of the log-odds.
double log_odds_beta_density(double A, double B, double x);

}  // namespace kavo::exact
