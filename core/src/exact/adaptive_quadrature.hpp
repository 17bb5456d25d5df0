#pragma once
// Adaptive 21-point Gauss-Kronrod quadrature by bisection. A panel is
// accepted when |K21 - G10| is within its share of the tolerance; that
// difference, a bound on the 10-point rule's error, is what the result
// reports, which overstates the error of the 21-point value actually used.
//
// The integrands here are functions of an angle through its sine and cosine;
// those of the first panel, [0, pi/2] itself, are tabulated once.

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <type_traits>

#include <boost/math/quadrature/gauss.hpp>
#include <boost/math/quadrature/gauss_kronrod.hpp>

namespace kavo::exact {

struct QuadratureResult {
  double value = 0.0;
  double error = 0.0;
  // With an integrand returning a Weighted: the 21-point integral of its
  // second part (carried along, not used to steer the subdivision).
  double side = 0.0;
  int evaluations = 0;
  bool converged = true;
};

// An integrand value with a companion quantity integrated alongside it
// (for instance the error density of an inner integral).
struct Weighted {
  double value;
  double side;
};

namespace detail {

struct KronrodRule {
  std::array<double, 11> x{};         // abscissae on [0, 1), 0 first
  std::array<double, 11> kronrod{};   // weights
  std::array<double, 11> gauss{};     // weights of the embedded 10-point rule (0 where none)
  // sin and cos of pi/4 (1 -+ x_i): index 2i - 1 for -, 2i for +, 0 for the centre.
  std::array<double, 21> sin_quarter{};
  std::array<double, 21> cos_quarter{};
};

inline const KronrodRule& kronrod_rule() {
  static const KronrodRule rule = [] {
    KronrodRule r;
    const auto& x = boost::math::quadrature::gauss_kronrod<double, 21>::abscissa();
    const auto& w = boost::math::quadrature::gauss_kronrod<double, 21>::weights();
    const auto& g = boost::math::quadrature::gauss<double, 10>::weights();
    for (std::size_t i = 0; i < 11; ++i) {
      r.x[i] = x[i];
      r.kronrod[i] = w[i];
      r.gauss[i] = i % 2 == 1 ? g[i / 2] : 0.0;  // the Gauss nodes are the odd ones
    }
    const double quarter = 0.25 * std::numbers::pi;
    r.sin_quarter[0] = std::sin(quarter);
    r.cos_quarter[0] = std::cos(quarter);
    for (std::size_t i = 1; i < 11; ++i) {
      r.sin_quarter[2 * i - 1] = std::sin(quarter * (1.0 - x[i]));
      r.cos_quarter[2 * i - 1] = std::cos(quarter * (1.0 - x[i]));
      r.sin_quarter[2 * i] = std::sin(quarter * (1.0 + x[i]));
      r.cos_quarter[2 * i] = std::cos(quarter * (1.0 + x[i]));
    }
    return r;
  }();
  return rule;
}

}  // namespace detail

// Angles in (0, pi/2) where an integrand changes character, sorted.
struct Breakpoints {
  static constexpr int kCapacity = 96;
  std::array<double, kCapacity> angle{};
  int count = 0;
  void add(double t) {
    if (count < kCapacity && t > 0.0 && t < 0.5 * std::numbers::pi) angle[count++] = t;
  }
};

// The integral over [0, pi/2] of f(sin t, cos t); f returns double or
// Weighted. The first panels run between the breakpoints; each gets a share
// of the tolerance, half by width and half in equal parts (a narrow panel
// near a small scale should not be held to a vanishing share), and passes
// half of it to each half when bisected.
template <class F>
QuadratureResult integrate_quarter_turn(F&& f, double tolerance, Breakpoints breaks = {},
                                        int max_depth = 30) {
  const detail::KronrodRule& rule = detail::kronrod_rule();
  const double total_width = 0.5 * std::numbers::pi;
  struct Interval {
    double lo;
    double hi;
    double share;
    int depth;
  };
  std::array<Interval, 160> stack{};
  int top = 0;
  std::sort(breaks.angle.begin(), breaks.angle.begin() + breaks.count);
  {
    // Ends closer than a thousandth of the turn merge.
    std::array<double, Breakpoints::kCapacity + 2> ends{};
    int n = 0;
    ends[n++] = 0.0;
    for (int i = 0; i < breaks.count; ++i) {
      if (breaks.angle[i] - ends[n - 1] > 1e-3 * total_width &&
          total_width - breaks.angle[i] > 1e-3 * total_width) {
        ends[n++] = breaks.angle[i];
      }
    }
    ends[n++] = total_width;
    const int panels = n - 1;
    for (int i = panels - 1; i >= 0; --i) {
      const double share =
          0.5 * tolerance * ((ends[i + 1] - ends[i]) / total_width + 1.0 / panels);
      stack[top++] = {ends[i], ends[i + 1], share, panels == 1 ? 0 : 1};
    }
  }
  QuadratureResult result;
  std::array<double, 21> values{};
  std::array<double, 21> sides{};
  const auto call = [&](std::size_t k, double sin_t, double cos_t) {
    const auto r = f(sin_t, cos_t);
    if constexpr (std::is_same_v<std::decay_t<decltype(r)>, Weighted>) {
      values[k] = r.value;
      sides[k] = r.side;
    } else {
      values[k] = r;
    }
  };
  while (top > 0) {
    const Interval iv = stack[--top];
    const double mid = 0.5 * (iv.lo + iv.hi);
    const double half = 0.5 * (iv.hi - iv.lo);
    if (iv.depth == 0) {
      // The whole quarter turn: tabulated sines and cosines.
      for (std::size_t k = 0; k < 21; ++k) call(k, rule.sin_quarter[k], rule.cos_quarter[k]);
    } else {
      // sin and cos of mid -+ dx by the addition formulas.
      const double sin_mid = std::sin(mid);
      const double cos_mid = std::cos(mid);
      call(0, sin_mid, cos_mid);
      for (std::size_t i = 1; i < 11; ++i) {
        const double dx = half * rule.x[i];
        const double sin_dx = std::sin(dx);
        const double cos_dx = std::cos(dx);
        call(2 * i - 1, sin_mid * cos_dx - cos_mid * sin_dx, cos_mid * cos_dx + sin_mid * sin_dx);
        call(2 * i, sin_mid * cos_dx + cos_mid * sin_dx, cos_mid * cos_dx - sin_mid * sin_dx);
      }
    }
    double kronrod = rule.kronrod[0] * values[0];
    double gauss = 0.0;
    double side = rule.kronrod[0] * sides[0];
    for (std::size_t i = 1; i < 11; ++i) {
      const double pair = values[2 * i - 1] + values[2 * i];
      kronrod += rule.kronrod[i] * pair;
      gauss += rule.gauss[i] * pair;
      side += rule.kronrod[i] * (sides[2 * i - 1] + sides[2 * i]);
    }
    result.evaluations += 21;
    kronrod *= half;
    gauss *= half;
    const double error = std::fabs(kronrod - gauss);
    if (error <= iv.share || iv.depth >= max_depth || top + 2 > static_cast<int>(stack.size())) {
      if (error > iv.share) result.converged = false;
      result.value += kronrod;
      result.error += error;
      result.side += side * half;
      continue;
    }
    stack[top++] = {mid, iv.hi, 0.5 * iv.share, iv.depth + 1};
    stack[top++] = {iv.lo, mid, 0.5 * iv.share, iv.depth + 1};
  }
  return result;
}

}  // namespace kavo::exact
