#include "gap_survival.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>

#include "complex_functions.hpp"

namespace kavo::exact {
namespace {

// What a contour's nodes share whatever the table: (1 + i u)^2, its
// logarithm, exp(a (1 + i u)^2) and ds/du over mu, 2 i (1 + i u).
struct Nodes {
  Contour contour;
  std::array<Complex, kMaxContourNodes + 1> square{}, log_square{}, growth{}, slope{};
};

void fill(Nodes& n, const Contour& c) {
  n.contour = c;
  for (int k = 0; k <= c.nodes; ++k) {
    const double u = k * c.step;
    n.square[k] = {1.0 - u * u, 2.0 * u};
    n.log_square[k] = {std::log1p(u * u), 2.0 * std::atan(u)};
    n.growth[k] = exp(c.mu_y * n.square[k]);
    n.slope[k] = {-2.0 * u, 2.0};
  }
}

// The standard contours, computed once.
struct StandardNodes {
  Nodes nodes[std::size(kStandardNodes)];
  StandardNodes() {
    for (std::size_t i = 0; i < std::size(kStandardNodes); ++i) {
      fill(nodes[i], standard_contour(kStandardNodes[i]));
    }
    for (std::size_t i = 0; i < kNested; ++i) {
      fill(nested[i], kAllNestedContours[i]->contour);
      fill(nested[kNested + i], halved(kAllNestedContours[i]->contour));
    }
  }
  static constexpr std::size_t kNested = std::size(kAllNestedContours);
  Nodes nested[2 * kNested];  // the nested contours, then their halves
};

const StandardNodes& standard_nodes() {
  static const StandardNodes nodes;
  return nodes;
}

bool same(const Contour& a, const Contour& b) {
  return a.nodes == b.nodes && a.step == b.step && a.mu_y == b.mu_y;
}

double norm_of(Complex z) { return z.real() * z.real() + z.imag() * z.imag(); }

GapSurvival survival_on(const GapTransform& transform, double y, const Nodes& nodes,
                        NodeTerms* kept) {
  const Contour& c = nodes.contour;
  const int n = c.nodes;
  const double mu = c.mu_y / y;
  const Complex log_mu(std::log(mu), 0.0);
  const double beta = transform.beta();

  // Node k's term is growth_k (1 - M) / s ds/du; where M is large (near the
  // poles, in deep tails) its size goes into a separate exponent. excess is
  // |M| / |1 - M| beyond 1, how much an error in ln M grows in 1 - M (large
  // where the contour passes near s = 0, M near 1), times that error.
  NodeTerms local;
  NodeTerms& t = kept != nullptr ? *kept : local;
  UnsetComplex* f = t.f;
  UnsetComplex* e = t.e;
  UnsetComplex* s_of = t.s;
  double* excess = t.excess;
  bool* scaled = t.scaled;
  // A contour of twice the step on the same parabola left its terms: they
  // are this one's even nodes. Nodes are filled from the last, so that each
  // earlier term is read before its place is taken.
  const bool halving = kept != nullptr && t.contour.nodes > 0 && t.contour.mu_y == c.mu_y &&
                       t.contour.step == 2.0 * c.step;
  double largest = 0.0;
  for (int k = n; k >= 0; --k) {
    if (halving && k % 2 == 0 && k / 2 <= t.contour.nodes) {
      const int j = k / 2;
      f[k] = f[j];
      e[k] = e[j];
      s_of[k] = s_of[j];
      excess[k] = excess[j];
      scaled[k] = scaled[j];
      if (scaled[k]) largest = std::max(largest, e[k].re);
      continue;
    }
    const Complex w = mu * nodes.square[k];
    const Complex s(w.real() - beta, w.imag());
    double sizes = 0.0;
    const Complex log_m = transform.log_at(w, log_mu + nodes.log_square[k], &sizes);
    Complex one_minus_m;
    scaled[k] = log_m.real() >= 0.5;
    if (log_m.real() < -1.0) {  // M small: nothing cancels in 1 - M
      one_minus_m = 1.0 - exp(log_m);
    } else if (!scaled[k]) {
      one_minus_m = -expm1(log_m);
    } else {  // 1 - M = M (1 / M - 1)
      one_minus_m = expm1(-log_m);
      e[k] = log_m;
      largest = std::max(largest, log_m.real());
    }
    excess[k] = 0.0;
    if (!scaled[k] && log_m.real() >= -1.0) {
      // |M| <= e^0.5 here; only a small |1 - M| matters.
      const double gap2 = norm_of(one_minus_m);
      if (gap2 < 2.0) excess[k] = std::max(0.0, 1.65 / std::sqrt(gap2) - 1.0);
    }
    // Weighted by the rounding of ln M here: the transform's own, and a unit
    // in the last place of each small-argument term this node summed.
    excess[k] *= transform.log_rounding() + 2.0 * std::numeric_limits<double>::epsilon() * sizes;
    f[k] = nodes.growth[k] * one_minus_m * divide(mu * nodes.slope[k], s);
    s_of[k] = s;
  }

  double sum = 0.0, magnitude = 0.0, slope = 0.0, last = 0.0, amplified = 0.0, even = 0.0;
  double before_last = 0.0;
  const double unscaled = std::exp(-largest);
  for (int k = 0; k <= n; ++k) {
    const double weight = k == 0 ? 0.5 : 1.0;
    const Complex term = scaled[k] ? exp(Complex(e[k].re - largest, e[k].im)) * Complex(f[k])
                                   : unscaled * Complex(f[k]);
    sum += weight * term.imag();
    if (k % 2 == 0) even += weight * term.imag();
    before_last = last;
    last = std::fabs(term.real()) + std::fabs(term.imag());
    magnitude += weight * last;
    amplified += weight * last * excess[k];
    slope += weight * (term * Complex(s_of[k])).imag();
  }
  t.contour = c;
  GapSurvival out;
  if (!(sum > 0.0) || !std::isfinite(sum)) return out;
  // 1 / (2 pi i) times h sum over -N..N of g(u_k) = (h / pi) sum of Im g, the
  // node at 0 counted once; exp(s y) = exp(-beta y) growth_k.
  const double scale = std::log(c.step / std::numbers::pi) - beta * y + largest;
  out.ok = true;
  out.log_value = scale + std::log(sum);
  // The terms beyond the last node fall faster than geometrically (the
  // growth exp(a (1 + i u)^2) is Gaussian in u), so from the last ratio q
  // they sum to less than last q / (1 - q); twice that, for the slower
  // factors, and never less than the last term alone where q is not small.
  const double ratio = before_last > 0.0 ? last / before_last : 1.0;
  out.truncation = last * std::min(1.0, 2.0 * ratio / (1.0 - std::min(ratio, 0.5))) / sum;
  // Each term carries the transform's rounding, independently of the
  // others; the transform's constants shift every term alike, and more
  // where 1 - M cancels.
  out.relative_error = 32.0 * std::numeric_limits<double>::epsilon() * magnitude / sum +
                       transform.log_rounding() + amplified / sum;
  out.half_log_value = n % 2 == 0 && even > 0.0 ? scale + std::log(2.0 * even)
                                                : std::numeric_limits<double>::quiet_NaN();
  out.log_density =
      slope < 0.0 ? scale + std::log(-slope) : -std::numeric_limits<double>::infinity();
  return out;
}

}  // namespace

Contour standard_contour(int nodes) { return {std::numbers::pi * nodes / 12.0, 3.0 / nodes, nodes}; }

Contour contour_for(double mu_y, double digits, double order, double log_transform) {
  // The integrand is exp(s y) (1 - M) / s. Y is about a gamma variable of
  // shape tau, whose transform M falls like |w|^-tau; near the saddle point
  // (a = tau) its phase cancels that of exp(s y), so that its part falls
  // like exp(-a u^2) (1 + u^2)^-tau along the contour. On the line at width
  // d above (below) the real axis that part has grown, against the axis, by
  // exp(a ((1 -+ d)^2 - 1)) (1 -+ d)^(-2 tau); the part of the 1 by
  // exp(a ((1 -+ d)^2 - 1)) alone, but it starts smaller by the factor
  // M(mu - beta) where M is large (tails). The trapezoid rule's error from
  // each line is exp(-2 pi d / h) times the larger growth: at the best d on
  // each side, exp(-digits). The truncation likewise, where both parts have
  // fallen by exp(-digits).
  const double a = mu_y, tau = order;
  const double lead = std::max(log_transform, 0.0);  // the 1's part is smaller by this
  double inverse_step = 0.0;
  for (const double side : {-1.0, 1.0}) {
    double best = 1e300;
    for (double d = 0.05; d < 0.99; d += 0.05) {
      const double exponential = a * ((1.0 + side * d) * (1.0 + side * d) - 1.0);
      const double grown = std::max(exponential - 2.0 * tau * std::log1p(side * d), exponential - lead);
      best = std::min(best, (digits + grown) / (2.0 * std::numbers::pi * d));
    }
    inverse_step = std::max(inverse_step, best);
  }
  const auto fallen = [&](double u) {
    return std::min(a * u * u + tau * std::log1p(u * u), a * u * u + lead);
  };
  double lo = 0.0, hi = std::sqrt(digits / a);
  for (int i = 0; i < 40; ++i) {
    const double u = 0.5 * (lo + hi);
    (fallen(u) < digits ? lo : hi) = u;
  }
  const int nodes = std::min(kMaxContourNodes, static_cast<int>(std::ceil(hi * inverse_step)));
  return {a, 1.0 / inverse_step, nodes};
}

GapSurvival gap_survival(const GapTransform& transform, double y, const Contour& contour,
                         NodeTerms* terms) {
  const StandardNodes& standard = standard_nodes();
  for (const Nodes& n : standard.nodes) {
    if (same(contour, n.contour)) return survival_on(transform, y, n, terms);
  }
  for (const Nodes& n : standard.nested) {
    if (same(contour, n.contour)) return survival_on(transform, y, n, terms);
  }
  Nodes nodes;
  fill(nodes, contour);
  return survival_on(transform, y, nodes, terms);
}

}  // namespace kavo::exact
