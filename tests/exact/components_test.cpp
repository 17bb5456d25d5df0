// The building blocks of the exact evidence, each against an independent
// long double or Boost computation.

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include <boost/math/quadrature/gauss_kronrod.hpp>
#include <boost/math/special_functions/beta.hpp>
#include <boost/math/special_functions/gamma.hpp>
#include <gtest/gtest.h>

#include "adaptive_quadrature.hpp"
#include "beta_block.hpp"
#include "beta_density.hpp"
#include "chebyshev_panels.hpp"
#include "posterior_factors.hpp"
#include "radial_series.hpp"
#include "stable_log_exp.hpp"

namespace kavo::exact {
namespace {

struct Shape {
  double alpha;
  double beta;
  int k;
};

// Kernel exponents across the domain: balanced, skewed, one exponent near 0
// (a parameter just above 1) and very large.
const std::vector<Shape> kShapes = {
    {1.0, 2.0, 0},      {10.0, 20.0, 1},   {1e-4, 1000.0, 0}, {1000.0, 1e-4, 2},
    {1e6, 2e6, 0},      {0.5, 0.7, 1},     {3e-3, 5e6, 2},    {1e7, 1e7, 0},
    {1e-2, 1e-2, 0},    {2.5, 3e7, 1},     {4e6, 17.0, 2},    {1e-12, 3.0, 0},
};

// Long double series for small arguments, where the plain long double forms
// cancel too.
long double log1pmx_reference(long double x) {
  if (std::fabs(x) > 0.1L) return std::log1p(x) - x;
  long double sum = 0;
  long double power = x;
  for (int k = 2; k < 40; ++k) {
    power *= -x;
    sum -= power / k;
  }
  return -sum;
}

long double expm1mx_reference(long double x) {
  if (std::fabs(x) > 0.1L) return std::expm1(x) - x;
  long double term = x;
  long double sum = 0;
  for (int k = 2; k < 30; ++k) {
    term *= x / k;
    sum += term;
  }
  return sum;
}

TEST(StableLogExp, MatchesLongDoubleAcrossScales) {
  for (double x : {-0.9, -0.5, -0.3, -1e-3, -1e-9, 1e-12, 1e-5, 0.2, 0.49, 0.51, 3.0, 50.0}) {
    const double log_ref = static_cast<double>(log1pmx_reference(x));
    EXPECT_NEAR(log1pmx(x), log_ref, 1e-15 * std::fabs(log_ref)) << x;
    const double exp_ref = static_cast<double>(expm1mx_reference(x));
    EXPECT_NEAR(expm1mx(x), exp_ref, 1e-15 * std::fabs(exp_ref)) << x;
  }
}

TEST(BetaDensity, StirlingRemainderMatchesLgamma) {
  for (double z : {1.0, 1.5, 2.0, 7.9, 8.0, 30.0, 1e3, 1e6}) {
    const long double zl = z;
    const long double ref = boost::math::lgamma(zl) - (zl - 0.5L) * std::log(zl) + zl -
                            0.5L * std::log(2.0L * 3.14159265358979323846264L);
    EXPECT_NEAR(stirling_remainder(z), static_cast<double>(ref), 1e-15 + 1e-18 * z) << z;
  }
}

TEST(BetaDensity, MatchesBoostLongDoubleUpToFortyMillion) {
  for (const Shape& s : kShapes) {
    const double A = s.alpha + 1.0;
    const double B = s.beta + 1.0 + s.k;
    for (double x : {s.alpha / (s.alpha + s.beta), A / (A + B), 0.3 * A / (A + B)}) {
      const long double ref =
          boost::math::ibeta_derivative(static_cast<long double>(A), static_cast<long double>(B),
                                        static_cast<long double>(x)) *
          x * (1.0L - x);
      const double got = log_odds_beta_density(A, B, x);
      EXPECT_NEAR(got, static_cast<double>(ref), 1e-13 * static_cast<double>(ref))
          << A << " " << B << " " << x;
    }
  }
}

TEST(BetaBlock, MirroredFrameKeepsModeAtMostHalf) {
  for (const Shape& s : kShapes) {
    const BetaBlock b = make_beta_block(s.alpha, s.beta, s.k);
    EXPECT_LE(b.m, 0.5);
    EXPECT_NEAR(b.m + b.one_minus_m, 1.0, 4e-16);
    EXPECT_DOUBLE_EQ(b.n, s.alpha + s.beta);
  }
}

// psi against ln(1 - m + m e^w) - m w in long double, whose cancellation
// near w = 0 costs about 1e-19 m |w| absolute.
TEST(BetaBlock, PsiMatchesDirectForm) {
  for (const Shape& s : kShapes) {
    const BetaBlock b = make_beta_block(s.alpha, s.beta, s.k);
    const long double m = static_cast<long double>(b.alpha) / (b.alpha + static_cast<long double>(b.beta));
    for (double w : {-30.0, -2.0, -0.3, -1e-4, 1e-6, 0.01, 0.7, 5.0, 40.0, 800.0}) {
      const long double wl = w;
      const long double direct = w < 700.0 ? std::log1p(m * std::expm1(wl)) - m * wl
                                           : wl + std::log(m + (1 - m) * std::exp(-wl)) - m * wl;
      const double got = psi(b, w);
      EXPECT_NEAR(got, static_cast<double>(direct), 2e-15 * std::fabs(got) + 1e-18 * m * std::fabs(w))
          << s.alpha << " " << s.beta << " " << w;
    }
  }
}

TEST(BetaBlock, LevelRootsSolveOnTheirSide) {
  for (const Shape& s : kShapes) {
    const BetaBlock b = make_beta_block(s.alpha, s.beta, s.k);
    for (double r : {1e-7, 1e-3, 0.1, 1.0, 3.0, 8.0}) {
      const double t = r * r / b.n;
      for (int side : {-1, 1}) {
        const double w = level_root(b, t, side);
        EXPECT_EQ(w > 0.0, side > 0);
        EXPECT_NEAR(psi(b, w), t, 4e-15 * t) << s.alpha << " " << s.beta << " r=" << r;
      }
    }
  }
}

// A hint from a nearby level changes where the iteration starts, not where
// it ends: levels visited up, down and with jumps, as the panel builds do.
TEST(BetaBlock, HintedLevelRootsMatchUnhinted) {
  for (const Shape& s : kShapes) {
    const BetaBlock b = make_beta_block(s.alpha, s.beta, s.k);
    RootHint low;
    RootHint high;
    for (double r : {0.5, 0.55, 0.6, 3.0, 2.9, 2.5, 1e-4, 1.2e-4, 7.0, 6.0, 0.02, 0.021}) {
      const double t = r * r / b.n;
      const double w_low = level_root(b, t, -1, &low);
      const double w_high = level_root(b, t, 1, &high);
      EXPECT_LT(w_low, 0.0);
      EXPECT_GT(w_high, 0.0);
      EXPECT_NEAR(w_low, level_root(b, t, -1), 1e-14 * -w_low) << s.alpha << " " << s.beta << " r=" << r;
      EXPECT_NEAR(w_high, level_root(b, t, 1), 1e-14 * w_high) << s.alpha << " " << s.beta << " r=" << r;
      EXPECT_EQ(low.t, t);
      EXPECT_EQ(high.w, w_high);
    }
  }
}

// The radial density integrates to one minus the incomplete-beta tail.
TEST(BetaBlock, RadialDensityIntegratesToTail) {
  for (const Shape& s : kShapes) {
    if (s.alpha + s.beta > 1e5) continue;  // the double incomplete beta is coarser there
    const BetaBlock b = make_beta_block(s.alpha, s.beta, s.k);
    for (double x : {0.05, 0.5, 2.0}) {
      // Geometric pieces resolve the narrow structure of a tiny exponent.
      double mass = 0.0;
      double lo = 0.0;
      for (int piece = 12; piece >= 0; --piece) {
        const double hi = x * std::pow(0.25, piece);
        double error = 0.0;
        mass += boost::math::quadrature::gauss_kronrod<double, 61>::integrate(
            [&](double r) { return radial_density(b, r); }, lo, hi, 5, 1e-15, &error);
        lo = hi;
      }
      EXPECT_NEAR(mass, 1.0 - radial_tail(b, x), 1e-13) << s.alpha << " " << s.beta << " " << x;
    }
  }
}

TEST(RadialSeries, ReproducesDensityAndMass) {
  for (const Shape& s : kShapes) {
    const BetaBlock b = make_beta_block(s.alpha, s.beta, s.k);
    for (double x_end : {0.02, 1.3, 5.0}) {
      RadialSeries series;
      ASSERT_TRUE(series.build(b, x_end, 1e-13));
      EXPECT_LE(series.integrated_error(), 1e-13 * x_end * 2.0);
      for (int i = 0; i <= 40; ++i) {
        const double r = x_end * i / 40.0;
        EXPECT_NEAR(series.density(r), radial_density(b, r), 1e-12) << s.alpha << " " << s.beta << " " << r;
      }
      double error = 0.0;
      const double direct = boost::math::quadrature::gauss_kronrod<double, 61>::integrate(
          [&](double r) { return radial_density(b, r); }, 0.5 * x_end, x_end, 8, 1e-15, &error);
      EXPECT_NEAR(series.mass_to_end(0.5 * x_end), direct, 1e-12);
      EXPECT_NEAR(series.mass_to_end(x_end), 0.0, 1e-15);
    }
  }
}

// f(x) = e^-x cos(3x) has the antiderivative e^-x (3 sin 3x - cos 3x) / 10.
TEST(ChebyshevPanels, ValuesAndRunningIntegral) {
  const auto f = [](double x) { return std::exp(-x) * std::cos(3.0 * x); };
  const auto antiderivative = [](double x) {
    return std::exp(-x) * (3.0 * std::sin(3.0 * x) - std::cos(3.0 * x)) / 10.0;
  };
  for (int max_degree : {16, 32}) {
    ChebyshevPanels panels;
    const std::vector<double> ends = {0.0, 0.1, 6.0};
    ASSERT_TRUE(panels.build(f, ends, 1e-14, true, max_degree));
    EXPECT_GE(panels.panel_count(), 2);
    for (int i = 0; i <= 60; ++i) {
      const double x = 6.0 * i / 60.0;
      EXPECT_NEAR(panels.value(x), f(x), 1e-13) << x;
      EXPECT_NEAR(panels.integral_to_end(x), antiderivative(6.0) - antiderivative(x), 1e-13) << x;
    }
    EXPECT_NEAR(panels.total_integral(), antiderivative(6.0) - antiderivative(0.0), 1e-13);
  }
}

// A function no budget of panels can follow to the tolerance (one that
// oscillates ten thousand times on the interval): the build says so, and
// still leaves an approximation defined everywhere, with its shortfall in
// the error estimate.
TEST(ChebyshevPanels, OutOfPanelsLeavesAWholeApproximation) {
  const auto wave = [](double x) { return std::sin(6.0e4 * x); };
  ChebyshevPanels panels;
  const std::vector<double> ends = {0.0, 1.0};
  EXPECT_FALSE(panels.build(wave, ends, 1e-14, true));
  EXPECT_GE(panels.panel_count(), 1);
  EXPECT_LE(panels.panel_count(), ChebyshevPanels::kMaxPanels);
  EXPECT_GT(panels.sup_error(), 1e-3);
  for (int i = 0; i <= 1000; ++i) {
    const double x = i / 1000.0;
    EXPECT_TRUE(std::isfinite(panels.value(x))) << x;
    EXPECT_TRUE(std::isfinite(panels.integral_to_end(x))) << x;
  }
}

// Panels that weigh little are allowed a looser fit, and the weighted error
// sum stays within the budget.
TEST(ChebyshevPanels, WeightedBuildSpendsWhereTheWeightIs) {
  const auto f = [](double x, double) { return ChebyshevPanels::Sample{std::exp(-8.0 * x * x), 0.0}; };
  const std::vector<double> ends = {0.0, 3.0};
  ChebyshevPanels uniform;
  ChebyshevPanels weighted;
  ASSERT_TRUE(uniform.build_weighted(f, ends, 1e-13, [](double, double) { return 1.0; }));
  ASSERT_TRUE(weighted.build_weighted(
      f, ends, 1e-13, [](double lo, double hi) { return std::exp(-20.0 * lo) * (hi - lo); }));
  EXPECT_LT(weighted.evaluations(), uniform.evaluations());
  EXPECT_LE(weighted.weighted_error(), 1e-13);
  EXPECT_LE(uniform.weighted_error(), 1e-13);
  // Where the weight is large the fit is as good as the uniform one.
  for (double x : {0.0, 0.05, 0.1}) EXPECT_NEAR(weighted.value(x), std::exp(-8.0 * x * x), 1e-12);
}

TEST(AdaptiveQuadrature, ResolvesALocalisedPeakAndReportsItsError) {
  // cos t exp(-a sin^2 t) has the integral sqrt(pi / a) erf(sqrt(a)) / 2 and,
  // for large a, all its mass within 1/sqrt(a) of 0.
  for (double a : {1.0, 1e2, 1e6}) {
    const QuadratureResult q =
        integrate_quarter_turn([&](double s, double c) { return c * std::exp(-a * s * s); }, 1e-12);
    const double exact = 0.5 * std::sqrt(3.14159265358979323846 / a) * std::erf(std::sqrt(a));
    EXPECT_TRUE(q.converged);
    EXPECT_NEAR(q.value, exact, 1e-12) << a;
    EXPECT_GE(q.error + 1e-16, std::fabs(q.value - exact)) << a;
    if (a > 1e3) {
      EXPECT_GT(q.evaluations, 21);  // it had to subdivide
    }
  }
}

TEST(PosteriorFactors, GapMatchesLongDoubleKernels) {
  const std::vector<std::vector<double>> tables = {
      {12, 5, 7, 9}, {1.0001, 30, 4, 2}, {1e6, 3e6, 2e5, 7e6}, {1e7, 1.5, 1e7, 2.5}};
  for (const auto& a : tables) {
    const std::vector<double> p = {0.1, 0.2, 0.3, 0.4};
    std::vector<double> e(4);
    long double E = 0;
    for (int i = 0; i < 4; ++i) {
      e[i] = a[i] - 1.0;
      E += e[i];
    }
    long double ref = 0;
    for (int i = 0; i < 4; ++i) ref += e[i] * std::log((e[i] / E) / static_cast<long double>(p[i]));
    const double got = block_gap(e, p);
    EXPECT_NEAR(got, static_cast<double>(ref), 1e-15 * got + 1e-17 * static_cast<double>(E));
  }
}

TEST(PosteriorFactors, BreakingOrderIsAPermutationWithTheLargestFirstAndTheSmallestNext) {
  const std::vector<std::vector<double>> cases = {
      {1, 2, 3}, {3, 2, 1}, {2, 3, 1}, {5, 5, 5, 5}, {0.001, 7, 0.002, 3}, {9, 0.5, 4, 0.25}};
  for (const auto& e : cases) {
    const std::array<int, 4> order = breaking_order(e);
    const std::size_t size = e.size();
    std::vector<int> seen(order.begin(), order.begin() + static_cast<long>(size));
    std::sort(seen.begin(), seen.end());
    for (std::size_t i = 0; i < size; ++i) EXPECT_EQ(seen[i], static_cast<int>(i));
    EXPECT_EQ(e[order[0]], *std::max_element(e.begin(), e.end()));
    double smallest_of_rest = 1e300;
    for (std::size_t i = 1; i < size; ++i) smallest_of_rest = std::min(smallest_of_rest, e[order[i]]);
    EXPECT_EQ(e[order[1]], smallest_of_rest);
    if (size == 4) {
      EXPECT_LT(order[2], order[3]);
    }
  }
}

TEST(PosteriorFactors, StickBreakingShapes) {
  const std::vector<double> a = {2, 3, 4, 5};
  const std::vector<int> blocks = {4};
  const std::vector<double> p = {0.25, 0.25, 0.25, 0.25};
  PosteriorFactors f;
  ASSERT_TRUE(factor_posterior(a, blocks, p, f));
  // Exponents e = a - 1 = {1, 2, 3, 4}: the largest cell is broken off
  // first, then the smallest, then the others in their order.
  ASSERT_EQ(f.count, 3);
  EXPECT_EQ(f.factors[0].alpha, 4.0);
  EXPECT_EQ(f.factors[0].beta, 6.0);
  EXPECT_EQ(f.factors[0].jacobian_power, 2);
  EXPECT_EQ(f.factors[1].alpha, 1.0);
  EXPECT_EQ(f.factors[1].beta, 5.0);
  EXPECT_EQ(f.factors[1].jacobian_power, 1);
  EXPECT_EQ(f.factors[2].alpha, 2.0);
  EXPECT_EQ(f.factors[2].beta, 3.0);
  EXPECT_EQ(f.factors[2].jacobian_power, 0);
  const std::vector<int> two_blocks = {2, 2};
  ASSERT_TRUE(factor_posterior(a, two_blocks, std::vector<double>{0.5, 0.5, 0.5, 0.5}, f));
  ASSERT_EQ(f.count, 2);
  EXPECT_EQ(f.factors[1].alpha, 3.0);
  EXPECT_EQ(f.factors[1].beta, 4.0);
}

}  // namespace
}  // namespace kavo::exact
