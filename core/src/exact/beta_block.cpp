#include "beta_block.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

#include <boost/math/special_functions/beta.hpp>
#include <boost/math/special_functions/gamma.hpp>

#include "beta_density.hpp"
#include "boost_policy.hpp"
#include "stable_log_exp.hpp"

namespace kavo::exact {

BetaBlock make_beta_block(double alpha, double beta, int k) {
  BetaBlock b;
  b.n = alpha + beta;
  // Log-odds density exponents on top of the kernel: y (1 - y)^(1 + k).
  double c_low = 1.0;
  double c_high = 1.0 + k;
  if (alpha > beta) {
    std::swap(alpha, beta);
    std::swap(c_low, c_high);
  }
  b.alpha = alpha;
  b.beta = beta;
  b.c_low = c_low;
  b.c_high = c_high;
  b.m = alpha / b.n;
  b.one_minus_m = beta / b.n;
  b.shape_a = alpha + c_low;
  b.shape_b = beta + c_high;
  b.half_curvature = 0.5 * b.m * b.one_minus_m;
  b.mode_density = log_odds_beta_density(b.shape_a, b.shape_b, b.m);
  // Each side contributes mode_density * 2 r / (n |psi'(w)|) -> mode_density / sqrt(n psi''(0) / 2).
  b.density_at_zero = 2.0 * b.mode_density / std::sqrt(b.n * b.half_curvature);
  return b;
}

double psi(const BetaBlock& b, double w) {
  const double m = b.m;
  if (w <= 0.0) return m * expm1mx(w) + log1pmx(m * std::expm1(w));
  if (w < 700.0) {
    const double u = m * std::expm1(w);
    // Series form while u is small: its two parts are m (1 - m) w^2 / 2 in
    // ratio 1 : -m near 0, and m <= 1/2.
    if (u <= 1.0) return m * expm1mx(w) + log1pmx(u);
    return std::log1p(u) - m * w;
  }
  return b.one_minus_m * w + std::log(m) + std::log1p(b.one_minus_m * std::exp(-w) / m);
}

double psi_derivative(const BetaBlock& b, double w) {
  const double mm = b.m * b.one_minus_m;
  if (w <= 0.0) return mm * std::expm1(w) / (1.0 + b.m * std::expm1(w));
  return mm * -std::expm1(-w) / (b.m + b.one_minus_m * std::exp(-w));
}

double log_normaliser(const BetaBlock& b, double w) {
  if (w < 700.0) return std::log1p(b.m * std::expm1(w));
  return w + std::log(b.m + b.one_minus_m * std::exp(-w));
}

namespace {

struct PsiTerms {
  double value;
  double first;   // psi'
  double second;  // psi''
};

PsiTerms psi_terms(const BetaBlock& b, double w) {
  const double m = b.m;
  const double mm = m * b.one_minus_m;
  if (w < 700.0) {
    const double e = std::expm1(w);
    const double u = m * e;
    const double one_u = 1.0 + u;
    double value;
    if (w <= 0.0 || u <= 1.0) {
      value = m * (std::fabs(w) > 0.5 ? e - w : expm1mx(w)) + log1pmx(u);
    } else {
      value = std::log1p(u) - m * w;
    }
    return {value, mm * e / one_u, mm * (1.0 + e) / (one_u * one_u)};
  }
  const double tail = std::exp(-w);
  const double denominator = m + b.one_minus_m * tail;
  return {psi(b, w), mm * (1.0 - tail) / denominator, mm * tail / (denominator * denominator)};
}

}  // namespace

double level_root(const BetaBlock& b, double t, int side, RootHint* hint) {
  const double m = b.m;
  // psi lies above its asymptotes (it is convex), which bounds the root.
  // A relative margin covers the rounding of the bound itself.
  const double upper = (side > 0 ? (t - std::log(m)) / b.one_minus_m : (t - std::log1p(-m)) / m) *
                       (1.0 + 1e-12);
  double v = 0.0;
  if (hint != nullptr && hint->t > 0.0 && std::fabs(t - hint->t) <= 0.5 * hint->t) {
    // Second-order step from the nearby root: t = t_h + p1 d + p2 d^2 / 2.
    const double d1 = (t - hint->t) / hint->first;
    const double d = d1 - 0.5 * hint->second * d1 * d1 / hint->first;
    v = side * (hint->w + d);
  }
  if (!(v > 0.0 && v < upper)) {
    // Start from the inverted Taylor series: with psi = a2 w^2 (1 + c1 w + c2 w^2 + ...),
    // c1 = (1 - 2m) / 3 and c2 = (1 - 6m(1 - m)) / 12 (cumulants of a Bernoulli
    // variable), w = s - c1 s^2 / 2 + (5 c1^2 / 8 - c2 / 2) s^3 with s = side sqrt(t / a2).
    const double s = side * std::sqrt(t / b.half_curvature);
    v = std::fabs(s);
    if (v < 1.5) {
      const double c1 = (1.0 - 2.0 * m) / 3.0;
      const double c2 = (1.0 - 6.0 * m * b.one_minus_m) / 12.0;
      v = std::fabs(s * (1.0 + s * (-0.5 * c1 + s * (0.625 * c1 * c1 - 0.5 * c2))));
    }
  }
  v = std::min(v, upper);
  double lo = 0.0;
  double hi = upper;
  const double log_t = std::log(t);
  PsiTerms last{t, 0.0, 0.0};
  // Halley on G(v) = ln psi(side v) - ln t, concave in v, within a bracket:
  // a step that would cross the lower end is replaced by bisection, so the
  // mode is never crossed.
  for (int iteration = 0; iteration < 100; ++iteration) {
    const PsiTerms p = psi_terms(b, side * v);
    last = p;
    const double g = std::log(p.value) - log_t;
    if (g == 0.0) break;
    if (g < 0.0) lo = v;
    else hi = v;
    const double slope = side * p.first / p.value;  // G'(v) > 0
    const double curvature = p.second / p.value - slope * slope;  // G''(v)
    const double newton = -g / slope;
    const double damping = 1.0 + 0.5 * newton * curvature / slope;  // 1 - G G'' / (2 G'^2)
    const double step = damping > 0.5 ? newton / damping : newton;
    double next = v + step;
    if (next >= hi) {
      // Only by rounding, with the root at the asymptotic bound itself.
      next = hi;
    } else if (!(next > lo)) {
      next = 0.5 * (lo + hi);
    } else if (std::fabs(step) <= 1e-5 * v) {
      // Cubic convergence: what remains after this step is below 1e-15.
      v = next;
      break;
    }
    if (next == v) break;
    v = next;
  }
  const double w = side * v;
  if (hint != nullptr && last.first != 0.0) {
    // The derivatives of the last iterate stand in for those at the root.
    *hint = RootHint{t, w, last.first, last.second};
  }
  return w;
}

double radial_density(const BetaBlock& b, double r, RadialHint* hint) {
  const double t = r * r / b.n;
  if (!(t > 1e-280)) return b.density_at_zero;
  double sum = 0.0;
  for (int side = -1; side <= 1; side += 2) {
    RootHint* side_hint = hint == nullptr ? nullptr : side < 0 ? &hint->low : &hint->high;
    const double w = level_root(b, t, side, side_hint);
    double log_norm;
    double slope;  // |psi'(w)|
    if (w < 700.0) {
      // Both from one exponential: L = ln(1 + m (e^w - 1)), psi' = m (1 - m) (e^w - 1) / e^L.
      const double e = std::expm1(w);
      const double u = b.m * e;
      log_norm = std::log1p(u);
      slope = std::fabs(b.m * b.one_minus_m * e / (1.0 + u));
    } else {
      log_norm = log_normaliser(b, w);
      slope = std::fabs(psi_derivative(b, w));
    }
    // y / m = e^(w - L), (1 - y) / (1 - m) = e^(-L); dw/dr = 2 r / (n psi'(w)).
    const double log_ratio = -r * r + b.c_low * (w - log_norm) - b.c_high * log_norm;
    sum += std::exp(log_ratio) * 2.0 * r / (b.n * slope);
  }
  return b.mode_density * sum;
}

double radial_tail(const BetaBlock& b, double r) {
  const double t = r * r / b.n;
  if (!(t > 0.0)) return 1.0;
  const double w_low = level_root(b, t, -1);
  const double w_high = level_root(b, t, 1);
  const double y_low = b.m * std::exp(w_low - log_normaliser(b, w_low));
  const double y_high_complement = b.one_minus_m * std::exp(-log_normaliser(b, w_high));
  const BoostPolicy policy;
  return boost::math::ibeta(b.shape_a, b.shape_b, y_low, policy) +
         boost::math::ibeta(b.shape_b, b.shape_a, y_high_complement, policy);
}

double log_moment_generating(const BetaBlock& b, double s) {
  // E[e^(s D)] = e^(s max g) B(A - s alpha, B - s beta) / B(A, B).
  const BoostPolicy policy;
  const auto lbeta = [&](double x, double y) {
    return boost::math::lgamma(x, policy) + boost::math::lgamma(y, policy) -
           boost::math::lgamma(x + y, policy);
  };
  const double max_g = b.alpha * std::log(b.m) + b.beta * std::log(b.one_minus_m);
  return s * max_g + lbeta(b.shape_a - s * b.alpha, b.shape_b - s * b.beta) -
         lbeta(b.shape_a, b.shape_b);
}

}  // namespace kavo::exact
