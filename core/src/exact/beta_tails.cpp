#include "beta_tails.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include <boost/math/special_functions/beta.hpp>

#include "boost_policy.hpp"
#include "entropy_term.hpp"

namespace kavo::exact {
namespace {

constexpr double kLargestShapes = 2e7;  // a1 + a2
constexpr double kIbetaRelativeError = 1e-14, kIbetaRelativePerShape = 1e-16;
constexpr double kSmallestEvidence = 1e-300;

struct Side {
  double q;           // the end's q (lower side) or 1 - q (upper side)
  double slope;       // |dg/dx| there
  double log_odds;    // x
};

// The end on one side of the mode (side = -1 below, +1 above) where the gap
// reaches y: Newton's method in x from the quadratic guess; the gap is
// convex in x, so after the first step every iterate lies beyond the root
// and the steps shrink monotonically.
// m1 = 1 - m, from c2 / C: near m = 1, 1.0 - m would lose its digits.
Side end_of(double c_total, double m, double m1, double y, int side) {
  if (m == 0.0 || m == 1.0) {
    // The mode at an end: g = C ln(1 / (1 - q)) (or C ln(1 / q)), whose
    // root is (1 - q) = exp(-y / C).
    const double far = std::exp(-y / c_total), near = -std::expm1(-y / c_total);
    return {far, c_total * near, std::log(near / far) * side};
  }
  const double xm = std::log(m / m1);
  const double spread = std::sqrt(2.0 * y / (c_total * m * m1));
  double x = xm + side * spread;
  Side s{};
  for (int i = 0; i < 200; ++i) {
    // q and 1 - q from x without cancellation.
    const double q = 1.0 / (1.0 + std::exp(-x)), q1 = 1.0 / (1.0 + std::exp(x));
    const double g = c_total * (q * entropy_term(m / q) + q1 * entropy_term(m1 / q1));
    const double slope = c_total * std::fabs(q - m);
    s = {side < 0 ? q : q1, slope, x};
    const double step = (g - y) / (c_total * (q - m));
    x -= step;
    if (std::fabs(step) <= 1e-15 * std::max(1.0, std::fabs(x))) break;
  }
  return s;
}

// The point's own end: its q (or 1 - q) and the gap's slope there.
Side end_at(double c_total, double m, double point, int side) {
  const double q = point, q1 = 1.0 - point;
  return {side < 0 ? q : q1, c_total * std::fabs(q - m), std::log(q / q1)};
}

}  // namespace

std::optional<ExactEvidence> beta_tails(double a1, double a2, double point, double gap,
                                        double gap_error, double tolerance) {
  if (!(gap > 0.0) || !std::isfinite(gap) || !(point > 0.0 && point < 1.0)) return std::nullopt;
  const double c1 = a1 - 1.0, c2 = a2 - 1.0, c_total = c1 + c2;
  // An empty cell: the mass beyond the point is a power, (1 - p0)^a2 or
  // p0^a1, whose logarithm carries it below the double range;
  // d ln(evidence) / dy = -a / c for the other cell's a and c.
  if (c1 == 0.0 || c2 == 0.0) {
    const double a = c1 == 0.0 ? a2 : a1, c = a - 1.0;
    const double log_evidence = a * (c1 == 0.0 ? std::log1p(-point) : std::log(point));
    ExactEvidence r;
    r.evidence = std::exp(log_evidence);
    r.log10_evidence = log_evidence / std::numbers::ln10;
    const double relative = 4.0 * std::numeric_limits<double>::epsilon() * (1.0 + std::fabs(log_evidence)) +
                            a / c * (gap_error + 8e-16 * gap);
    r.error = relative * r.evidence;
    if (!(r.error <= tolerance * std::min(1.0, 1e4 * r.evidence) ||
          (r.evidence == 0.0 && relative <= tolerance * 1e4))) {
      return std::nullopt;
    }
    r.status = ExactStatus::ok;
    return r;
  }
  // Y is about a gamma variable of shape 1/2, the evidence about
  // erfc(sqrt(y)): where the incomplete beta function's own relative error
  // (below) would miss the tolerance at that evidence, the contour at once.
  const double rough = std::erfc(std::sqrt(gap));
  if (!(a1 + a2 <= kLargestShapes) ||
      (kIbetaRelativeError + kIbetaRelativePerShape * (a1 + a2)) * rough >
          tolerance * std::min(1.0, 1e4 * rough)) {
    return std::nullopt;
  }
  const double m = c1 / c_total;
  const int point_side = point < m ? -1 : +1;
  const auto end = [&](int side) {
    return side == point_side ? end_at(c_total, m, point, side) : end_of(c_total, m, c2 / c_total, gap, side);
  };
  const BoostPolicy policy;
  double evidence = 0.0, density_sum = 0.0;
  // Each side with mass: none below a mode at 0 (c1 = 0), none above one at 1.
  if (c1 > 0.0) {
    const Side lo = end(-1);
    evidence += boost::math::ibeta(a1, a2, lo.q, policy);
    density_sum += boost::math::ibeta_derivative(a1, a2, lo.q, policy) * lo.q * (1.0 - lo.q) / lo.slope;
  }
  if (c2 > 0.0) {
    const Side hi = end(+1);
    evidence += boost::math::ibeta(a2, a1, hi.q, policy);
    density_sum += boost::math::ibeta_derivative(a2, a1, hi.q, policy) * hi.q * (1.0 - hi.q) / hi.slope;
  }
  if (!(evidence >= kSmallestEvidence) || !std::isfinite(evidence)) return std::nullopt;
  ExactEvidence r;
  r.evidence = std::min(evidence, 1.0);
  r.log10_evidence = std::log10(r.evidence);
  // The incomplete beta function's own error, about 1e-14 + 1e-16 (a + b)
  // relative; the ends moved by the gap's rounding, each carrying its mass
  // density per unit of gap; and the roots' own rounding (a few units of x).
  r.error = evidence * (kIbetaRelativeError + kIbetaRelativePerShape * (a1 + a2)) +
            density_sum * (gap_error + 8e-16 * gap);
  if (!(r.error <= tolerance * std::min(1.0, 1e4 * r.evidence))) return std::nullopt;
  r.status = ExactStatus::ok;
  return r;
}

}  // namespace kavo::exact
