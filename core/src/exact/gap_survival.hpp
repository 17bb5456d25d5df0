#pragma once
// P(Y >= y) for the kernel gap Y, from its Laplace transform M(s) by a
// Bromwich integral on a parabola (Weideman and Trefethen, "Parabolic and
// hyperbolic contours for computing the Bromwich integral", Math. Comp. 2007).
//
// The transform of the survival function itself, (1 - M(s)) / s, has no pole
// at 0, so the contour may cross the real axis anywhere right of -beta:
//
//   P(Y >= y) = 1 / (2 pi i) int exp(s y) (1 - M(s)) / s ds,
//   s = -beta + mu (1 + i u)^2,
//
// by the trapezoid rule in u (N + 1 evaluations by conjugate symmetry). With
// the parabola's focus at the first singularity -beta, every singularity
// lies at Im u = 1 and the factor exp(s y) carries the tail's own decay
// exp(-beta y): nothing cancels, so tiny probabilities keep their relative
// accuracy, and the logarithm is exact where the probability itself is below
// the double range.
//
// The contour crosses the real axis at s = mu - beta, mu y = a. Weideman and
// Trefethen's balance is a = pi N / 12 with step 3 / N; a table whose Y is
// spread like a gamma variable of large shape tau puts its saddle point
// further right (a about tau), where the transform's phase cancels that of
// exp(s y): contour_for balances the three errors (the lines above and below
// the real axis, where the integrand has grown, and the truncation) at
// exp(-digits) for that shape. Each result also reports the last node's
// term, which bounds the truncation whatever the design assumed.

#include <limits>

#include "gap_transform.hpp"

namespace kavo::exact {

struct Contour {
  double mu_y = 0.0;  // a
  double step = 0.0;  // h
  int nodes = 0;      // N: nodes at u = 0, h, ..., N h
};

inline constexpr int kMaxContourNodes = 160;

// The contour for a at an error of about exp(-digits) (digits in e-folds),
// for a transform of order tau (GapTransform::order) whose logarithm where
// the contour crosses the real axis is log_transform.
Contour contour_for(double mu_y, double digits, double order, double log_transform);

// Weideman and Trefethen's own parabola: a = pi N / 12, step 3 / N.
Contour standard_contour(int nodes);
// The node counts of the standard contours the exact method refines
// through; their nodes are computed once.
inline constexpr int kStandardNodes[] = {8, 16, 24, 32, 48, 64, 96, 128};

// A contour that carries its own check: its even nodes alone are the
// trapezoid rule of step 2h on the same parabola, whose difference from the
// whole estimates the coarser rule's error. On the lines within the strip of
// analyticity (width d) the errors are exp(-2 pi d / h) and exp(-pi d / h)
// times growths they share, so halving the step at least squares the
// coarser rule's error factor: the finer one's is smaller by exp(-pi / h)
// or more: 7.6 decades for the first contour below, 12 for the second. For
// a transform of small order (a few cells) a = 2.5 keeps both rules near
// their balance and the truncation below 1e-13; a transform of moderate
// order (6 to 11 cells in a block) falls faster along the contour and puts
// its saddle point further right, where a = 5 with a finer step serves. The
// standard rules of 8, 16 and 24 nodes, each checking the one before, take
// 26 to 51 evaluations of the transform; these, 19 and 27.
struct NestedContour {
  Contour contour;
  double up_to_order;  // the transforms it serves: order up to this
};
inline constexpr NestedContour kNestedContours[] = {
    {{2.5, 0.18, 18}, 2.0},
    {{5.0, 0.11, 26}, 5.0},
};
// Deep in the upper tail the evidence is far below 1e-4, where the tolerance
// is relative, 1e-8 of it: for moderate orders a coarser contour on the same
// parabola serves, its theoretical gain exp(-pi / h) still 10 decades and
// its coarser rule within 3e-6 on the deep tails of the 9-cell benchmark
// (1e-4 is needed). 21 evaluations instead of 27.
inline constexpr NestedContour kNestedTailContour = {{5.0, 0.13, 20}, 5.0};

// A cell near 1 (c below kNearOneCell) slows the first contour's coarser
// rule: on the fixed-shape benchmark sets 38 of 360 such tables missed the
// target with it and took the halved contour too (37 evaluations), against
// 2 of 536 without. Half a node finer from the start (21), 4 of 360 miss.
inline constexpr double kNearOneCell = 0.1;
inline constexpr NestedContour kNestedNearOneContour = {{2.5, 0.16, 20}, 2.0};

// Every nested contour, for their nodes computed once.
inline constexpr const NestedContour* kAllNestedContours[] = {
    &kNestedContours[0], &kNestedContours[1], &kNestedTailContour, &kNestedNearOneContour};

// The nested contour for a transform of this order whose smallest c is
// smallest_c, or nullptr.
inline const NestedContour* nested_contour_for(double order, bool deep_tail = false,
                                               double smallest_c = 1.0) {
  if (deep_tail && order > kNestedContours[0].up_to_order && order <= kNestedTailContour.up_to_order) {
    return &kNestedTailContour;
  }
  if (smallest_c < kNearOneCell && order <= kNestedNearOneContour.up_to_order) return &kNestedNearOneContour;
  for (const NestedContour& n : kNestedContours) {
    if (order <= n.up_to_order) return &n;
  }
  return nullptr;
}

struct GapSurvival {
  bool ok = false;            // false: the sum was not positive (no estimate)
  double log_value = 0.0;     // ln P(Y >= y)
  double relative_error = 0.0;  // from rounding
  double truncation = 0.0;      // the last node's term against the sum
  double log_density = 0.0;   // ln of Y's density at y (for the gap's own error)
  // ln of the value from the even nodes alone (the rule of step 2h), when
  // the node count is even and that sum is positive; NaN otherwise.
  double half_log_value = std::numeric_limits<double>::quiet_NaN();
};

// The contour of half a nested contour's step on the same parabola, for the
// rare table the nested one leaves short of the target: its even nodes are
// the nested contour's, so it costs as many evaluations again and four more,
// and its error is smaller than the nested one's by exp(-2 pi / step) in
// theory (15 decades or more). The four reach two of the nested steps
// further, for a transform that decays slower than the nested contour's
// truncation allowed (a cell near 1).
inline constexpr Contour halved(const Contour& c) { return {c.mu_y, c.step / 2.0, 2 * c.nodes + 4}; }

// A complex number that default construction leaves unset, unlike
// std::complex: a node's terms are written before they are read, and zeroing
// the arrays below cost a two-cell table a tenth of its time.
struct UnsetComplex {
  double re, im;
  UnsetComplex& operator=(std::complex<double> z) {
    re = z.real();
    im = z.imag();
    return *this;
  }
  operator std::complex<double>() const { return {re, im}; }
};

// The terms of a contour's nodes, kept for the contour of half its step
// (see halved).
struct NodeTerms {
  Contour contour;  // whose terms these are (no nodes: none yet)
  UnsetComplex f[kMaxContourNodes + 1], e[kMaxContourNodes + 1], s[kMaxContourNodes + 1];
  double excess[kMaxContourNodes + 1];
  bool scaled[kMaxContourNodes + 1];
};

// y in [1e-100, 1e100]. With terms, the nodes that the contour shares with
// the one whose terms they hold are not evaluated again, and the terms
// become this contour's.
GapSurvival gap_survival(const GapTransform& transform, double y, const Contour& contour,
                         NodeTerms* terms = nullptr);

}  // namespace kavo::exact
