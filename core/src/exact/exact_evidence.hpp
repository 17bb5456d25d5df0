#pragma once
// The exact evidence: P(Y >= y*) for the kernel gap Y = max f - f(p) under
// the Dirichlet posterior and the hypothesis's gap y* (kernel_gap.hpp), from
// Y's Laplace transform (gap_transform.hpp) inverted on a parabolic contour
// (gap_survival.hpp). The point p with f(p) >= f* are those with Y <= y*, so
// the evidence, one minus their mass, is P(Y > y*) = P(Y >= y*).
//
// Every table of parameters >= 1 is in reach (a parameter of exactly 1 drops
// out of the transform); the work is a fixed number of evaluations of the
// transform, each a few complex operations per cell. The contour is refined
// until the estimated error, from the difference to the one before it,
// meets the target; the estimate also counts the rounding of the sum and of
// the gap itself.
//
// Reentrant, no global state, no allocation, no I/O.

#include <span>

namespace kavo::exact {

enum class ExactStatus {
  ok,
  not_converged,
};

struct ExactEvidence {
  ExactStatus status = ExactStatus::not_converged;
  double evidence = 0.0;        // in [0, 1]; 0 only when it is below the double range
  double log10_evidence = 0.0;  // kept where evidence underflows
  double error = 0.0;           // estimated absolute error of evidence
};

// a: Dirichlet parameters (each >= 1), cells in order; blocks: the sizes of
// the independent Dirichlet blocks; gap, gap_error: y* and its uncertainty.
// The result is ok when error <= tolerance * min(1, 1e4 * evidence): an
// absolute error of tolerance, and a relative error of 1e4 tolerance for
// evidences below 1e-4.
// point: the hypothesis point (each block may miss a sum of 1 by rounding).
ExactEvidence exact_evidence(std::span<const double> a, std::span<const int> blocks,
                             std::span<const double> point, double gap, double gap_error,
                             double tolerance);

}  // namespace kavo::exact
