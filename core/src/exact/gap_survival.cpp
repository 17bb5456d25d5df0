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
  }
};

const StandardNodes& standard_nodes() {
  static const StandardNodes nodes;
  return nodes;
}

bool same(const Contour& a, const Contour& b) {
  return a.nodes == b.nodes && a.step == b.step && a.mu_y == b.mu_y;
}

GapSurvival survival_on(const GapTransform& transform, double y, const Nodes& nodes) {
  const Contour& c = nodes.contour;
  const int n = c.nodes;
  const double mu = c.mu_y / y;
  const Complex log_mu(std::log(mu), 0.0);
  const double beta = transform.beta();

  // Node k's term is growth_k (1 - M) / s ds/du; where M is large (near the
  // poles, in deep tails) its size goes into a separate exponent.
  Complex f[kMaxContourNodes + 1], e[kMaxContourNodes + 1], s_of[kMaxContourNodes + 1];
  bool scaled[kMaxContourNodes + 1];
  double largest = 0.0;
  for (int k = 0; k <= n; ++k) {
    const Complex w = mu * nodes.square[k];
    const Complex s(w.real() - beta, w.imag());
    const Complex log_m = transform.log_at(w, log_mu + nodes.log_square[k]);
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
    f[k] = nodes.growth[k] * one_minus_m * divide(mu * nodes.slope[k], s);
    s_of[k] = s;
  }

  double sum = 0.0, magnitude = 0.0, slope = 0.0;
  const double unscaled = std::exp(-largest);
  for (int k = 0; k <= n; ++k) {
    const double weight = k == 0 ? 0.5 : 1.0;
    const Complex term = scaled[k] ? exp(Complex(e[k].real() - largest, e[k].imag())) * f[k]
                                   : unscaled * f[k];
    sum += weight * term.imag();
    magnitude += weight * (std::fabs(term.real()) + std::fabs(term.imag()));
    slope += weight * (term * s_of[k]).imag();
  }
  GapSurvival out;
  if (!(sum > 0.0) || !std::isfinite(sum)) return out;
  // 1 / (2 pi i) times h sum over -N..N of g(u_k) = (h / pi) sum of Im g, the
  // node at 0 counted once; exp(s y) = exp(-beta y) growth_k.
  const double scale = std::log(c.step / std::numbers::pi) - beta * y + largest;
  out.ok = true;
  out.log_value = scale + std::log(sum);
  // Each term carries the transform's rounding, independently of the
  // others; the transform's constants shift every term alike.
  out.relative_error =
      32.0 * std::numeric_limits<double>::epsilon() * magnitude / sum + transform.log_rounding();
  out.log_density =
      slope < 0.0 ? scale + std::log(-slope) : -std::numeric_limits<double>::infinity();
  return out;
}

}  // namespace

Contour standard_contour(int nodes) { return {std::numbers::pi * nodes / 12.0, 3.0 / nodes, nodes}; }

Contour contour_for(double mu_y, double digits) {
  // Above the real axis the strip of width 1 gives exp(-2 pi / h); below,
  // the best width d gives exp(a (1 + d)^2 - 2 pi d / h), which is
  // exp(-digits) for 1 / h = (a / pi) (1 + sqrt(1 + digits / a)); the
  // truncation exp(a (1 - u_max^2)) is exp(-digits) at u_max^2 = 1 + digits / a.
  const double a = mu_y;
  const double inverse_step =
      std::max(digits / (2.0 * std::numbers::pi), a / std::numbers::pi * (1.0 + std::sqrt(1.0 + digits / a)));
  const double reach = std::sqrt(1.0 + digits / a);
  const int nodes = std::min(kMaxContourNodes, static_cast<int>(std::ceil(reach * inverse_step)));
  return {a, 1.0 / inverse_step, nodes};
}

GapSurvival gap_survival(const GapTransform& transform, double y, const Contour& contour) {
  for (const Nodes& n : standard_nodes().nodes) {
    if (same(contour, n.contour)) return survival_on(transform, y, n);
  }
  Nodes nodes;
  fill(nodes, contour);
  return survival_on(transform, y, nodes);
}

}  // namespace kavo::exact
