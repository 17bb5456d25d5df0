#include "reference_evidence.hpp"

#include <cmath>
#include <cstdint>
#include <numbers>

#include <boost/math/quadrature/gauss_kronrod.hpp>
#include <boost/math/special_functions/beta.hpp>
#include <boost/math/tools/roots.hpp>
#include <boost/multiprecision/cpp_bin_float.hpp>

namespace kavo::exact::testing {
namespace {

using Real = long double;
using Wide = boost::multiprecision::cpp_bin_float_50;

struct Factor {
  Real alpha;  // kernel exponents
  Real beta;
  Real shape_a;  // density Beta(shape_a, shape_b)
  Real shape_b;
  Real mode_logit;
  Real log_m;
  Real log_1m;
};

// ln y and ln(1 - y) at log-odds x.
Real log_y(Real x) { return -std::log1p(std::exp(-x)); }
Real log_1y(Real x) { return -std::log1p(std::exp(x)); }

// Through y - m = m (1 - m) s / (1 - (1 - m) s) with s = 1 - e^-(x - xm), so
// that near the mode only small relative differences enter the logarithms.
Real deficiency(const Factor& f, Real x) {
  if (std::fabs(x - f.mode_logit) > 0.5L) {
    return f.alpha * (f.log_m - log_y(x)) + f.beta * (f.log_1m - log_1y(x));
  }
  const Real m = std::exp(f.log_m);
  const Real one_minus_m = std::exp(f.log_1m);
  const Real shift = -std::expm1(-(x - f.mode_logit));  // 1 - e^-(x - xm)
  const Real diff = m * one_minus_m * shift / (1 - one_minus_m * shift);
  return -f.alpha * std::log1p(diff / m) - f.beta * std::log1p(-diff / one_minus_m);
}

// Log-odds density y (1 - y) Beta(y).
Real logit_density(const Factor& f, Real x) {
  const Real y = std::exp(log_y(x));
  const Real y1 = std::exp(log_1y(x));
  return boost::math::ibeta_derivative(f.shape_a, f.shape_b, y) * y * y1;
}

constexpr Real kReach = 100;  // log-odds beyond the mode where no mass is left

struct Ends {
  Real lo;
  Real hi;
  Real tail;  // mass outside [lo, hi]
};

// The log-odds interval where the deficiency is at most delta.
Ends level_set(const Factor& f, Real delta) {
  Ends e{f.mode_logit - kReach, f.mode_logit + kReach, 0};
  boost::math::tools::eps_tolerance<Real> tolerance(60);
  const auto g = [&](Real x) { return deficiency(f, x) - delta; };
  if (g(e.lo) > 0) {
    std::uintmax_t iterations = 200;
    const auto r = boost::math::tools::toms748_solve(g, e.lo, f.mode_logit, tolerance, iterations);
    e.lo = 0.5L * (r.first + r.second);
    e.tail += boost::math::ibeta(f.shape_a, f.shape_b, std::exp(log_y(e.lo)));
  }
  if (g(e.hi) > 0) {
    std::uintmax_t iterations = 200;
    const auto r = boost::math::tools::toms748_solve(g, f.mode_logit, e.hi, tolerance, iterations);
    e.hi = 0.5L * (r.first + r.second);
    e.tail += boost::math::ibeta(f.shape_b, f.shape_a, std::exp(log_1y(e.hi)));
  }
  return e;
}

// P(D_j + ... + D_last > delta).
Real tail_from(const std::vector<Factor>& factors, std::size_t j, Real delta) {
  if (delta <= 0) return 1;
  const Factor& f = factors[j];
  const Ends e = level_set(f, delta);
  if (j + 1 == factors.size()) return e.tail;
  Real sum = e.tail;
  // Over each side of the mode; x = mid - half cos t removes the square-root
  // behaviour at the level-set end.
  for (int side = 0; side < 2; ++side) {
    const Real a = side == 0 ? e.lo : f.mode_logit;
    const Real b = side == 0 ? f.mode_logit : e.hi;
    const Real mid = (a + b) / 2;
    const Real half = (b - a) / 2;
    const auto integrand = [&](Real t) {
      const Real x = mid - half * std::cos(t);
      const Real rest = delta - deficiency(f, x);
      return logit_density(f, x) * tail_from(factors, j + 1, rest) * half * std::sin(t);
    };
    // Ask for no more than the noise of the integrand allows (the incomplete
    // beta function carries ~1e-13 relative at shapes near 1e7, an inner
    // quadrature its own error), or the bisection runs to its depth limit;
    // the 31-point rule's actual error is far below its estimate.
    Real error = 0;
    sum += boost::math::quadrature::gauss_kronrod<Real, 31>::integrate(
        integrand, Real(0), std::numbers::pi_v<Real>, 6, 1e-12L, &error);
  }
  return sum;
}

}  // namespace

double reference_evidence(const std::vector<double>& a, const std::vector<int>& blocks,
                          const std::vector<double>& point) {
  std::vector<Factor> factors;
  Real gap = 0;
  std::size_t first = 0;
  for (int size : blocks) {
    // The log kernels near 1e8 cancel to the gap: 50 digits for this sum.
    Wide total_e_wide = 0;
    Wide total_p_wide = 0;
    for (int i = 0; i < size; ++i) {
      total_e_wide += Wide(a[first + i]) - 1;
      total_p_wide += Wide(point[first + i]);
    }
    Wide block_gap = 0;
    for (int i = 0; i < size; ++i) {
      const Wide e = Wide(a[first + i]) - 1;
      block_gap += e * log((e / total_e_wide) / (Wide(point[first + i]) / total_p_wide));
    }
    gap += static_cast<Real>(block_gap);
    for (int j = 0; j + 1 < size; ++j) {
      Factor f{};
      f.alpha = Real(a[first + j]) - 1;
      f.beta = 0;
      for (int i = j + 1; i < size; ++i) f.beta += Real(a[first + i]) - 1;
      f.shape_a = f.alpha + 1;
      f.shape_b = f.beta + 1 + (size - 2 - j);
      f.mode_logit = std::log(f.alpha / f.beta);
      f.log_m = std::log(f.alpha / (f.alpha + f.beta));
      f.log_1m = std::log(f.beta / (f.alpha + f.beta));
      factors.push_back(f);
    }
    first += static_cast<std::size_t>(size);
  }
  return static_cast<double>(tail_from(factors, 0, gap));
}

long double proportion_closed_form_long(double a1, double a2, double p0) {
  const Real e1 = Real(a1) - 1;
  const Real e2 = Real(a2) - 1;
  const auto kernel = [&](Real y) { return e1 * std::log(y) + e2 * std::log1p(-y); };
  const Real mode = e1 / (e1 + e2);
  const Real threshold = kernel(p0);
  boost::math::tools::eps_tolerance<Real> tolerance(60);
  const auto g = [&](Real y) { return kernel(y) - threshold; };
  Real lo = 0;
  Real hi = 1;
  if (p0 < mode) {
    lo = p0;
    std::uintmax_t iterations = 200;
    if (g(1 - 1e-18L) < 0) {
      const auto r = boost::math::tools::toms748_solve(g, mode, 1 - 1e-18L, tolerance, iterations);
      hi = 0.5L * (r.first + r.second);
    }
  } else {
    hi = p0;
    std::uintmax_t iterations = 200;
    if (g(1e-4900L) < 0) {
      const auto r = boost::math::tools::toms748_solve(g, 1e-4900L, mode, tolerance, iterations);
      lo = 0.5L * (r.first + r.second);
    }
  }
  return boost::math::ibeta(Real(a1), Real(a2), lo) + boost::math::ibetac(Real(a1), Real(a2), hi);
}

double proportion_closed_form(double a1, double a2, double p0) {
  return static_cast<double>(proportion_closed_form_long(a1, a2, p0));
}

std::vector<double> proportion_point(double p0) { return {p0, 1.0 - p0}; }

std::vector<double> hardy_weinberg_point(const std::vector<double>& a) {
  const double s = a[0] + a[1] + a[2];
  const double theta = (2.0 * a[0] + a[1] - 3.0) / ((s - 3.0) * 2.0);
  return {theta * theta, 2.0 * theta * (1.0 - theta), 1.0 - theta * theta - 2.0 * theta * (1.0 - theta)};
}

std::vector<double> x_linked_point(const std::vector<double>& a) {
  const double a_alleles = 2.0 * (a[0] - 1.0) + (a[1] - 1.0) + (a[3] - 1.0);
  const double b_alleles = 2.0 * (a[2] - 1.0) + (a[1] - 1.0) + (a[4] - 1.0);
  const double t = a_alleles / (a_alleles + b_alleles);
  return {t * t, 2.0 * t * (1.0 - t), (1.0 - t) * (1.0 - t), t, 1.0 - t};
}

std::vector<double> homogeneity_point(const std::vector<double>& a) {
  const double s = a[0] + a[1] + a[2] + a[3];
  const double t = (a[0] + a[2] - 2.0) / (s - 4.0);
  return {t, 1.0 - t, t, 1.0 - t};
}

std::vector<double> independence_point(const std::vector<double>& a) {
  const double s = a[0] + a[1] + a[2] + a[3];
  const double r = (a[0] + a[1] - 2.0) / (s - 4.0);
  const double c = (a[0] + a[2] - 2.0) / (s - 4.0);
  return {r * c, (1.0 - c) * r, (1.0 - r) * c, (1.0 - r) * (1.0 - c)};
}

std::vector<double> symmetry_point(const std::vector<double>& a) {
  const double s = a[0] + a[1] + a[2] + a[3];
  const double m = (a[1] + a[2] - 2.0) / (2.0 * (s - 4.0));
  return {(a[0] - 1.0) / (s - 4.0), m, m, (a[3] - 1.0) / (s - 4.0)};
}

}  // namespace kavo::exact::testing
