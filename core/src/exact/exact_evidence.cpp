#include "exact_evidence.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <numbers>

#include "adaptive_quadrature.hpp"
#include "beta_block.hpp"
#include "chebyshev_panels.hpp"
#include "posterior_factors.hpp"
#include "radial_series.hpp"

namespace kavo::exact {
namespace {

struct Estimate {
  double value = 0.0;
  double error = 0.0;
};

// Relative error of the incomplete beta function in double arithmetic: its
// power terms lose about 2e-17 (a + b) at large shapes.
double incomplete_beta_relative_error(const BetaBlock& b) {
  return 1e-14 + 1e-16 * (b.shape_a + b.shape_b);
}

// P(sqrt(D) > x_end): from the incomplete beta function when that is accurate
// enough, else as one minus the series mass (fine in absolute terms for
// the tails of moderate size where the incomplete beta function is not).
Estimate anchor_tail(const BetaBlock& b, const RadialSeries& series, double budget) {
  const double from_beta = radial_tail(b, series.x_end());
  const double beta_error = from_beta * incomplete_beta_relative_error(b);
  if (beta_error <= budget) return {from_beta, beta_error};
  const double from_series = std::max(0.0, 1.0 - series.total_mass());
  const double series_error = series.integrated_error() + 1e-15;
  if (series_error < beta_error) return {from_series, series_error};
  return {from_beta, beta_error};
}

// The tail T(x) = P(sqrt(D) > x) for x <= x_end, from the anchor and the series.
struct TailFunction {
  const RadialSeries* series;
  double anchor;
  double operator()(double x) const { return std::min(1.0, anchor + series->mass_to_end(x)); }
};

// Where the integrand h_a(rho sin t) T_b(rho cos t) changes character: the
// scale ends of a's density seen through sin, those of b (and c) through cos.
Breakpoints angle_breaks(double rho, const RadialSeries& a, const RadialSeries& b,
                         const RadialSeries* c = nullptr) {
  Breakpoints breaks;
  for (int i = 0; i < a.structure_count(); ++i) {
    const double r = a.structure_radius(i);
    if (r < rho) breaks.add(std::asin(r / rho));
  }
  for (const RadialSeries* s : {&b, c}) {
    if (s == nullptr) continue;
    for (int i = 0; i < s->structure_count(); ++i) {
      const double r = s->structure_radius(i);
      if (r < rho) breaks.add(std::acos(r / rho));
    }
  }
  return breaks;
}

// Chernoff: P(sum D > Delta) <= exp(-s Delta) prod E[exp(s D_j)].
double chernoff_bound(std::span<const BetaBlock> blocks, double gap) {
  double best = 1.0;
  for (double s : {0.5, 0.75, 0.9, 0.97}) {
    double log_bound = -s * gap;
    for (const BetaBlock& b : blocks) log_bound += log_moment_generating(b, s);
    best = std::min(best, std::exp(log_bound));
  }
  return best;
}

}  // namespace

ExactEvidence exact_evidence(std::span<const double> a, std::span<const int> blocks,
                             std::span<const double> point, double tolerance) {
  ExactEvidence result;
  PosteriorFactors factors;
  if (!(tolerance >= 1e-13 && tolerance <= 1e-2) || !factor_posterior(a, blocks, point, factors)) {
    result.status = ExactStatus::outside_domain;
    return result;
  }
  const double gap = factors.gap;
  if (!(gap > 0.0)) {
    // The hypothesis passes through the mode: nothing lies above f*.
    result.evidence = 1.0;
    result.error_bound = 0.0;
    result.status = ExactStatus::ok;
    return result;
  }

  const int count = factors.count;
  std::array<BetaBlock, 3> block{};
  for (int j = 0; j < count; ++j) {
    const FactorShape& f = factors.factors[j];
    block[j] = make_beta_block(f.alpha, f.beta, f.jacobian_power);
  }
  const std::span<const BetaBlock> used(block.data(), count);

  const double radius = std::sqrt(gap);
  // Near the mode: P(sum D <= Delta) <= prod_j P(D_j <= Delta), and while R is
  // far below the scale on which h_j varies, P(D_j <= Delta) <= 2 h_j(0) R.
  {
    double inside = 1.0;
    bool small = true;
    for (const BetaBlock& b : used) {
      const double scale = std::sqrt(b.n * std::min(psi(b, -1.0), psi(b, 1.0)));
      small = small && radius < 1e-6 * scale;
      inside *= std::min(1.0, 2.0 * b.density_at_zero * radius);
    }
    if (small && inside < 0x1p-60) {
      result.evidence = 1.0;
      result.error_bound = inside;
      result.status = ExactStatus::ok;
      return result;
    }
  }

  // Far from it the Chernoff bound may already settle the answer (a single
  // factor is computed anyway: its incomplete beta keeps relative accuracy).
  if (count > 1 && gap > 20.0) {
    const double bound = chernoff_bound(used, gap);
    if (bound < 1e-3 * tolerance) {
      result.evidence = 0.0;
      result.error_bound = bound;
      result.status = ExactStatus::ok;
      return result;
    }
  }

  double evidence = 0.0;
  double error = 0.0;
  bool converged = true;
  // Every part works to a share of a target well inside the tolerance, so
  // that results are usually good to far better than asked for (mirror-image
  // tables agree to 1e-12 at the default); the status still checks the sum
  // of the estimates against the tolerance itself.
  const double target = tolerance / 32.0;

  if (count == 1) {
    const double from_beta = radial_tail(block[0], radius);
    const double beta_error = from_beta * incomplete_beta_relative_error(block[0]);
    if (beta_error <= target) {
      evidence = from_beta;
      error = beta_error;
    } else {
      RadialSeries series;
      converged = series.build(block[0], radius, target / std::max(radius, 1.0));
      const Estimate tail = anchor_tail(block[0], series, target);
      evidence = tail.value;
      error = tail.error;
    }
  } else {
    std::array<RadialSeries, 3> series;
    std::array<Estimate, 3> anchor{};
    const double series_tolerance = target / (8.0 * std::max(radius, 1.0));
    for (int j = 0; j < count; ++j) {
      converged = series[j].build(block[j], radius, series_tolerance) && converged;
      anchor[j] = anchor_tail(block[j], series[j], target / 8.0);
    }
    // The factors enter symmetrically; the nested integral is cheapest with
    // the most structured factor outermost (its panels are paid once, not at
    // every outer node).
    std::array<int, 3> order = {0, 1, 2};
    std::stable_sort(order.begin(), order.begin() + count, [&](int x, int y) {
      return series[x].structure_count() > series[y].structure_count();
    });
    const RadialSeries& s0 = series[order[0]];
    const RadialSeries& s1 = series[order[1]];
    const RadialSeries& s2 = series[order[count == 3 ? 2 : 1]];
    double budget_error = 0.0;
    for (int j = 0; j < count; ++j) budget_error += anchor[j].error + series[j].integrated_error();
    const TailFunction tail1{&s1, anchor[order[1]].value};

    if (count == 2) {
      // P(r1^2 + r2^2 > R^2) = T1(R) + int_0^R h1(r) T2(sqrt(R^2 - r^2)) dr, r = R sin(theta).
      const auto integrand = [&](double s, double c) {
        return s0.density(radius * s) * tail1(radius * c) * radius * c;
      };
      const QuadratureResult q =
          integrate_quarter_turn(integrand, target / 2.0, angle_breaks(radius, s0, s1));
      converged = converged && q.converged;
      evidence = anchor[order[0]].value + q.value;
      error = budget_error + q.error;
    } else {
      const TailFunction tail2{&s2, anchor[order[2]].value};
      // T23(rho) = P(r2^2 + r3^2 > rho^2), the same two-factor form at radius
      // rho. Its error reaches the result weighted by w = h1(R sin t) R cos t
      // (whose integral is at most 1).
      // T23 lies in [T2(rho), 1]: when the allowed error covers half that
      // range, the midpoint is close enough and no integral is needed (where
      // r1 has next to no mass near sqrt(R^2 - rho^2)).
      const auto tail23_direct = [&](double rho, double allowed, double& error_out) {
        const double t2 = tail1(rho);
        if (!(allowed < 0.5 * (1.0 - t2))) {
          error_out = 0.5 * (1.0 - t2);
          return 0.5 * (1.0 + t2);
        }
        const auto inner = [&](double si, double ci) {
          return s1.density(rho * si) * tail2(rho * ci) * rho * ci;
        };
        const QuadratureResult q = integrate_quarter_turn(inner, allowed, angle_breaks(rho, s1, s2));
        converged = converged && q.converged;
        error_out = q.error;
        return std::min(1.0, t2 + q.value);
      };
      // Evaluated at every outer node, or, when the outer factor's structure
      // makes for many outer panels, approximated once as a series in rho^2
      // (smooth there: the two-factor density is finite at the origin) whose
      // nodes follow only the inner factors' structure.
      const int outer_panels = 1 + s0.structure_count() + s1.structure_count() + s2.structure_count();
      const bool use_series = outer_panels > 1;
      ChebyshevPanels tail23_series;
      double series23_error = 0.0;
      if (use_series) {
        std::array<double, 2 * Breakpoints::kCapacity + 2> ends{};
        int n = 0;
        ends[n++] = 0.0;
        for (const RadialSeries* f : {&s1, &s2}) {
          for (int i = 0; i < f->structure_count() && n + 1 < static_cast<int>(ends.size()); ++i) {
            ends[n++] = f->structure_radius(i) * f->structure_radius(i);
          }
        }
        // And where rho = r1: the outer factor's mass usually sits at one of
        // the two sides, where the panels then need little accuracy.
        ends[n++] = 0.5 * gap;
        std::sort(ends.begin(), ends.begin() + n);
        // Drop ends closer than a hundredth of their size to the previous one.
        int kept = 1;
        for (int i = 1; i < n; ++i) {
          if (ends[i] > 1.01 * ends[kept - 1] && ends[i] < 0.99 * gap) ends[kept++] = ends[i];
        }
        ends[kept++] = gap;
        // An error of T23 at rho reaches the result through the outer
        // integral weighted by the mass of r1 near sqrt(R^2 - rho^2): a panel
        // [s_a, s_b] of rho^2 weighs the mass of r1 in
        // [sqrt(R^2 - s_b), sqrt(R^2 - s_a)]. Panels whose r1 lies far in its
        // tail need little accuracy. The mass is taken from the series of
        // r1, so its own error is added: a weight is never understated.
        const TailFunction tail0{&s0, anchor[order[0]].value};
        const auto weight = [&](double s_a, double s_b) {
          const double r_near = std::sqrt(std::max(gap - s_b, 0.0));
          const double r_far = std::sqrt(std::max(gap - s_a, 0.0));
          return std::max(0.0, tail0(r_near) - tail0(r_far)) + s0.density_error() * (r_far - r_near);
        };
        converged = tail23_series.build_weighted(
                        [&](double rho2, double panel_tolerance) {
                          double e = 0.0;
                          const double v = tail23_direct(std::sqrt(std::max(rho2, 0.0)),
                                                         0.25 * panel_tolerance, e);
                          return ChebyshevPanels::Sample{v, e};
                        },
                        std::span<const double>(ends.data(), kept), target / 4.0, weight) &&
                    converged;
        series23_error = tail23_series.weighted_error();
      }
      const double inner_budget = target / 4.0;
      const auto integrand = [&](double s, double c) -> Weighted {
        const double rho = radius * c;
        const double weight = s0.density(radius * s) * rho;
        if (use_series) {
          return {weight * std::clamp(tail23_series.value(rho * rho), tail1(rho), 1.0), 0.0};
        }
        // Each inner integral gets the tolerance that keeps int w delta dt
        // within budget: tight where w is large, loose in the tails.
        const double allowed = inner_budget / (0.5 * std::numbers::pi * weight);
        double e = 0.0;
        const double v = tail23_direct(rho, allowed, e);
        return {weight * v, weight * e};
      };
      const QuadratureResult q = integrate_quarter_turn(
          integrand, target / 4.0, angle_breaks(radius, s0, s1, &s2));
      const double inner_error = q.side + series23_error;
      converged = converged && q.converged;
      evidence = anchor[order[0]].value + q.value;
      error = budget_error + inner_error + q.error;
    }
  }

  result.evidence = std::clamp(evidence, 0.0, 1.0);
  result.error_bound = error;
  result.status = converged && error <= tolerance ? ExactStatus::ok : ExactStatus::not_converged;
  return result;
}

}  // namespace kavo::exact
