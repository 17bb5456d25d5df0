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
// Below about 1e-270 the incomplete beta function's intermediate powers
// leave the double range's normal numbers and it loses digits (2e-6 and
// worse in the same 50-digit comparison): a smaller tail counts as wholly
// uncertain, and a smaller evidence goes to the contour.
constexpr double kSmallestTail = 1e-250;

// The incomplete beta function's relative error at a value I, against
// 50-digit values of the same function (Boost.Multiprecision) for shapes up
// to 2e7 and points down to values of 1e-300. With both shapes of 2 or more
// it grows with their sum: below (1e-14 + 1e-16 (a + b)) (1 + |ln I| / 50)
// in 10,000 draws, counted with |ln I| / 30. With a shape below 2 it does
// not grow with the other one: below 12 eps (1 + |ln I|) in 500,000 draws,
// counted as 64.
double ibeta_relative_error(double a1, double a2, double value) {
  const double log_size = value > 0.0 ? std::fabs(std::log(value)) : 0.0;  // a 0 carries no error
  if (std::min(a1, a2) < 2.0) return 64.0 * std::numeric_limits<double>::epsilon() * (1.0 + log_size);
  return (1e-14 + 1e-16 * (a1 + a2)) * (1.0 + log_size / 30.0);
}

double tail_relative_error(double a1, double a2, double tail) {
  return tail >= kSmallestTail ? ibeta_relative_error(a1, a2, tail) : 1.0;
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A whole-number shape n (a count under the uniform prior) makes Beta(n, b)
// a negative binomial waiting time: with t_0 = (1 - x)^b and
// t_(j+1) = t_j (b + j) x / (j + 1),
//   P(X > x) = sum_(j < n) t_j,   P(X <= x) = sum_(j >= n) t_j,
// sums of positive terms whose rounding grows with the count of terms and
// with b |ln(1 - x)|, t_0's logarithm, where the incomplete beta function's
// grows with a + b: the closed form then serves a small count beside one
// of any size. Up to kLargestWholeShape, the sums cost less than the contour.
constexpr double kLargestWholeShape = 100.0;
constexpr int kMostWholeTerms = 2000;

bool small_whole(double a) { return a <= kLargestWholeShape && a == std::floor(a); }

struct WholeSum {
  double mass = kNaN;
  double relative_error = 1.0;
};

// The sum below n (beyond = false) or from n on (beyond = true), with
// log_t0 = b ln(1 - x); its mass and relative error.
WholeSum negative_binomial_sum(int n, double b, double x, double log_t0, bool beyond) {
  constexpr int kRescale = 900;  // terms kept below 2^900 by scaling
  double term = 1.0, sum = 0.0;
  int scale = 0, j = 0;
  const auto next = [&] {
    term *= (b + j) * x / (j + 1);
    ++j;
    if (term > 0x1p900) {
      term = std::ldexp(term, -kRescale);
      sum = std::ldexp(sum, -kRescale);
      scale += kRescale;
    }
  };
  while (j < n) {
    if (!beyond) sum += term;
    next();
  }
  if (beyond) {
    // The ratio (b + j) x / (j + 1) falls with j: once below 1, what is left
    // is at most term ratio / (1 - ratio).
    for (;;) {
      sum += term;
      const double ratio = (b + j) * x / (j + 1);
      if (ratio < 1.0 && term * ratio <= 1e-17 * (1.0 - ratio) * sum) break;
      if (j == kMostWholeTerms) return {};
      next();
    }
  }
  // Four roundings a step carried by each term, one a step by the sum, and
  // the logarithms' own where the exponential takes them back.
  const double log_sum = std::log(sum) + scale * std::numbers::ln2;
  const double e = std::numeric_limits<double>::epsilon();
  const double rounding = e * (5.0 * j + 3.0 * std::fabs(log_t0) + std::fabs(log_sum) + 16.0);
  return {std::exp(log_sum + log_t0), rounding + (beyond ? 1e-17 : 0.0)};
}

struct Side {
  double q;           // the end's q (lower side) or 1 - q (upper side)
  double other;       // 1 - that, without cancellation
  double slope;       // |dg/dx| there
  double log_odds;    // x
  double rounding = 0.0;  // of a root found in x, in units of the gap
};

// The end at q (1 - q is q1) on one side of the mode, as Side holds it.
Side oriented(int side, double q, double q1, double slope, double x, double rounding = 0.0) {
  return side < 0 ? Side{q, q1, slope, x, rounding} : Side{q1, q, slope, x, rounding};
}

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
    return {far, near, c_total * near, std::log(near / far) * side};
  }
  const double xm = std::log(m / m1);
  const double spread = std::sqrt(2.0 * y / (c_total * m * m1));
  double x = xm + side * spread;
  // q and 1 - q from x without cancellation.
  const auto q_of = [](double x) { return 1.0 / (1.0 + std::exp(-x)); };
  for (int i = 0; i < 200; ++i) {
    const double q = q_of(x), q1 = q_of(-x);
    const double g = c_total * (q * entropy_term(m / q) + q1 * entropy_term(m1 / q1));
    const double step = (g - y) / (c_total * (q - m));
    x -= step;
    if (std::fabs(step) <= 1e-15 * std::max(1.0, std::fabs(x))) break;
  }
  // The end at the last iterate, whose step was within x's rounding (the
  // iterate before it could be 1e-15 |x| away: a relative 1e-12 of a tail
  // whose gap is steep in x), and that rounding in units of the gap.
  const double q = q_of(x), q1 = q_of(-x);
  const double slope = c_total * std::fabs(q - m);
  const double rounding = 4.0 * std::numeric_limits<double>::epsilon() * std::max(1.0, std::fabs(x)) * slope;
  return oriented(side, q, q1, slope, x, rounding);
}

// The point's own end: its q (or 1 - q) and the gap's slope there. The
// point is exact, and so is 1 - point where it is 1/2 or more.
Side end_at(double c_total, double m, double point, int side) {
  const double q = point, q1 = 1.0 - point;
  return oriented(side, q, q1, c_total * std::fabs(q - m), std::log(q / q1));
}

// The Beta(a, b) mass below an end and its density per unit of gap. Near 1
// the end itself has lost the digits of its distance from 1, which the
// complement keeps: there the mass above the complement of Beta(b, a).
struct Tail {
  double mass, density;
  double relative_error;  // of the mass
};
// With whole, by the negative binomial sums for a or b a small whole number.
Tail tail_below(double a, double b, const Side& end, bool whole, const BoostPolicy& policy) {
  if (!(end.q > 0.0 && end.other > 0.0 && std::isfinite(end.slope))) return {kNaN, kNaN, 1.0};
  const bool small = end.q <= 0.5;
  const double density = small ? boost::math::ibeta_derivative(a, b, end.q, policy)
                               : boost::math::ibeta_derivative(b, a, end.other, policy);
  const double per_gap = density * end.q * end.other / end.slope;
  if (whole) {
    // ln q and ln(1 - q), each from the smaller of the two
    const double log_q = small ? std::log(end.q) : std::log1p(-end.other);
    const double log_other = small ? std::log1p(-end.q) : std::log(end.other);
    const WholeSum sum = small_whole(a) ? negative_binomial_sum(static_cast<int>(a), b, end.q, b * log_other, true)
                                        : negative_binomial_sum(static_cast<int>(b), a, end.other, a * log_q, false);
    return {sum.mass, per_gap, sum.relative_error};
  }
  const double mass = small ? boost::math::ibeta(a, b, end.q, policy) : boost::math::ibetac(b, a, end.other, policy);
  return {mass, per_gap, tail_relative_error(a, b, mass)};
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
  // would miss the tolerance at that evidence, the negative binomial sums
  // for a small whole shape, or else the contour at once.
  const double rough = std::erfc(std::sqrt(gap));
  const bool incomplete_beta_serves =
      a1 + a2 <= kLargestShapes &&
      ibeta_relative_error(a1, a2, rough) * rough <= tolerance * std::min(1.0, 1e4 * rough);
  const bool whole = !incomplete_beta_serves && (small_whole(a1) || small_whole(a2));
  if (!incomplete_beta_serves && !whole) return std::nullopt;
  const double m = c1 / c_total;
  const int point_side = point < m ? -1 : +1;
  const auto end = [&](int side) {
    return side == point_side ? end_at(c_total, m, point, side) : end_of(c_total, m, c2 / c_total, gap, side);
  };
  const BoostPolicy policy;
  double evidence = 0.0, density_sum = 0.0, mass_error = 0.0, root_error = 0.0;
  // The mass beyond one end: Beta(a, b) below it, the first cell's shapes
  // below the mode and the second's, swapped, above it.
  const auto add_tail = [&](double a, double b, int side) {
    const Side e = end(side);
    const Tail t = tail_below(a, b, e, whole, policy);
    evidence += t.mass;
    mass_error += t.mass * t.relative_error;
    density_sum += t.density;
    root_error += t.density * e.rounding;
  };
  // Each side with mass: none below a mode at 0 (c1 = 0), none above one at 1.
  if (c1 > 0.0) add_tail(a1, a2, -1);
  if (c2 > 0.0) add_tail(a2, a1, +1);
  // An end beyond the double range (Newton's method lost) or a tail too
  // small to trust: the contour instead.
  if (!(evidence >= kSmallestTail) || !std::isfinite(evidence) || !std::isfinite(density_sum)) {
    return std::nullopt;
  }
  ExactEvidence r;
  r.evidence = std::min(evidence, 1.0);
  r.log10_evidence = std::log10(r.evidence);
  // The tails' own error (the incomplete beta function's or the sums'); the
  // ends moved by the gap's rounding, each carrying its mass density per
  // unit of gap; and the roots' own rounding (a few units of x).
  r.error = mass_error + density_sum * (gap_error + 8e-16 * gap) + root_error;
  if (!(r.error <= tolerance * std::min(1.0, 1e4 * r.evidence))) return std::nullopt;
  r.status = ExactStatus::ok;
  return r;
}

}  // namespace kavo::exact
