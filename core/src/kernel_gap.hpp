#pragma once
// The gap between the largest log kernel and its value at the hypothesis
// point: y* = max f - f(p*), f(p) = sum c_i ln p_i, c_i = a_i - 1, the
// maximum at the block modes m_i = c_i / C_b. Twice the gap is the table's
// log-likelihood-ratio statistic G^2.
//
// Written as a sum of non-negative terms so that nothing cancels:
//   y* = sum_b C_b sum_i p_i phi(m_i / p_i),   phi(r) = r ln r - r + 1 >= 0,
// with each block of the point normalised to sum 1 (the nearest point of the
// simplex along its ray). A cell with c_i = 0 adds C_b p_i.

#include <span>

namespace kavo {

struct KernelGap {
  double gap = 0.0;    // y* >= 0; +infinity when the point gives 0 to a cell with c_i > 0
  double error = 0.0;  // bound on gap's rounding error, from the point's precision
};

// a: the Dirichlet parameters (>= 1); blocks: their sizes in order; point:
// the hypothesis point, computed in the same floating type.
KernelGap kernel_gap(std::span<const double> a, std::span<const int> blocks, const double* point);
KernelGap kernel_gap(std::span<const double> a, std::span<const int> blocks,
                     const long double* point);

}  // namespace kavo
