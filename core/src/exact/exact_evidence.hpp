#pragma once
// Deterministic evidence for a sharp hypothesis on categorical data.
//
// The posterior of the cell probabilities p is a product of independent
// Dirichlet blocks with parameters a. With the log kernel
// f(p) = sum_i (a_i - 1) ln p_i and f* = f(p*) at the hypothesis point p*,
// the evidence is P(f(p) < f*) under the posterior: one minus the mass of
// the tangent set {f(p) >= f*}.
//
// Method: each Dirichlet block is written as independent Beta factors (stick
// breaking), so that f(p) = max f - (D_1 + ... + D_m) with D_j >= 0 the
// deficiency of factor j (at most three factors). With Delta = max f - f*,
// the evidence is P(D_1 + ... + D_m > Delta), built as a sum of non-negative
// parts: the density of sqrt(D_j) is approximated by piecewise Chebyshev
// series from level-set roots and the Beta density, the tail of one factor
// is anchored by the incomplete beta function, and the sum is integrated in
// polar coordinates in (sqrt(D_1), sqrt(D_2), ...) by adaptive Gauss-Kronrod
// quadrature.
//
// Domain: every parameter in (1, 1e7]; blocks of 2, 3 or 4 cells, at most 4
// cells in all (layouts {2}, {3}, {4}, {2, 2}); every point coordinate
// positive and each block of the point summing to 1 within 1e-12 (the point
// is taken as the nearest point of the simplex). Anything else is
// outside_domain. tolerance is an absolute error target in [1e-13, 1e-2].
//
// The result carries an error estimate: the sum of the quadrature error
// estimates (differences between embedded rules, which overstate the error
// of the rule used) and of the series and incomplete-beta error estimates.
// When it exceeds tolerance the status is not_converged and the number is
// the best estimate available, not to be trusted to tolerance.
//
// Reentrant, no global state, no I/O, no exceptions.

#include <span>

namespace kavo::exact {

enum class ExactStatus {
  ok,
  outside_domain,
  not_converged,
};

struct ExactEvidence {
  double evidence = 0.0;     // in [0, 1]
  double error_bound = 0.0;  // estimated absolute error of evidence
  ExactStatus status = ExactStatus::outside_domain;
};

// a: Dirichlet parameters, cells in order. blocks: sizes of the independent
// Dirichlet blocks in cell order ({2}, {3}, {4} or {2, 2}). point: the
// hypothesis point, same cell order, each block summing to 1.
ExactEvidence exact_evidence(std::span<const double> a, std::span<const int> blocks,
                             std::span<const double> point, double tolerance = 1e-10);

// The largest parameter accepted.
inline constexpr double kMaxParameter = 1e7;

}  // namespace kavo::exact
