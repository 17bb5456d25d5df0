#pragma once
// Two cells in one block: p ~ Beta(a1, a2), and the points that beat the
// hypothesis are those whose gap below the kernel's maximum,
//   g(q) = C [m ln(m / q) + (1 - m) ln((1 - m) / (1 - q))],  m = c1 / C,
// is below y*: an interval (q_lo, q_hi) around the mode. The evidence is the
// Beta mass outside it, I_q_lo(a1, a2) + I_(1 - q_hi)(a2, a1), from Boost's
// incomplete beta function, or for a small whole shape beside one too large
// for it, from negative binomial sums: a closed form, faster than the
// contour. The
// hypothesis point itself is one end (its gap is y*); in log-odds x the gap
// has slope C (q - m) and curvature C q (1 - q) > 0, so Newton's method finds
// the other.

#include <optional>

#include "exact_evidence.hpp"

namespace kavo::exact {

// Empty when the closed form cannot promise the tolerance (parameters above
// about 1e7, where the incomplete beta function loses digits, or an evidence
// below 1e-250 with both cells above 1, an end beyond the double range); the
// contour then takes the table.
// point: the hypothesis point's first cell, normalised (p1 / (p1 + p2)).
std::optional<ExactEvidence> beta_tails(double a1, double a2, double point, double gap,
                                        double gap_error, double tolerance);

}  // namespace kavo::exact
