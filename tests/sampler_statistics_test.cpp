// The samplers against the distributions they claim to draw from: binned
// gamma deviates against the gamma distribution, Dirichlet moments, and the
// whole estimator against the closed-form tangent mass of a Beta posterior.
// Every run is seeded, so a pass or failure repeats; the tolerances (several
// standard deviations) make a failure mean a wrong sampler, not bad luck.

#include <gtest/gtest.h>

#include <boost/math/distributions/gamma.hpp>
#include <boost/math/special_functions/beta.hpp>
#include <boost/math/tools/roots.hpp>
#include <cmath>
#include <vector>

#include "kavo/kavo.hpp"
#include "random/acceptance_bounds.hpp"
#include "random/dirichlet.hpp"
#include "random/gamma.hpp"
#include "random/uniform_stream.hpp"

namespace {

constexpr int kBins = 20;

// Counts of n deviates in kBins bins of equal probability under Gamma(a, 1).
std::vector<int> binned_deviates(double a, int n, std::int32_t seed) {
  const boost::math::gamma_distribution<double> law(a);
  double edges[kBins - 1];
  for (int b = 1; b < kBins; ++b) edges[b - 1] = boost::math::quantile(law, double(b) / kBins);
  const kavo::GammaShape shape = kavo::gamma_shape(a);
  const kavo::AcceptanceBounds bounds(shape);
  kavo::Rng rng{seed};
  kavo::UniformStream uniforms(rng);
  std::vector<int> counts(kBins, 0);
  for (int i = 0; i < n; ++i) {
    const double g = kavo::gamdev(uniforms, shape, bounds);
    int b = 0;
    while (b < kBins - 1 && g > edges[b]) ++b;
    ++counts[b];
  }
  return counts;
}

}  // namespace

TEST(SamplerStatistics, GammaDeviatesFollowTheirDensity) {
  // Whole shapes below 6 (direct method), non-whole ones, and large ones
  // (rejection), where the acceptance table settles most trials.
  const int n = 200000;
  const double expected = double(n) / kBins;
  const double sd = std::sqrt(n * (1.0 / kBins) * (1.0 - 1.0 / kBins));
  for (double a : {1.0, 2.0, 5.0, 1.05, 1.5, 2.7, 5.999, 6.0, 33.3, 1000.0, 1e6}) {
    const std::vector<int> counts = binned_deviates(a, n, 12345);
    double chi2 = 0.0;
    for (int b = 0; b < kBins; ++b) {
      EXPECT_LT(std::abs(counts[b] - expected), 5.0 * sd) << "shape " << a << " bin " << b;
      chi2 += (counts[b] - expected) * (counts[b] - expected) / expected;
    }
    // 19 degrees of freedom: 50 is beyond the 0.9999 quantile (about 47.3).
    EXPECT_LT(chi2, 50.0) << "shape " << a;
  }
}

TEST(SamplerStatistics, DirichletDrawsHaveTheirMoments) {
  const double a[4] = {2.5, 7.0, 1.2, 30.0};
  const double total = a[0] + a[1] + a[2] + a[3];
  kavo::GammaShape shapes[4];
  kavo::AcceptanceBounds bounds[4];
  for (int i = 0; i < 4; ++i) {
    shapes[i] = kavo::gamma_shape(a[i]);
    bounds[i] = kavo::AcceptanceBounds(shapes[i]);
  }
  const int n = 200000;
  double sum[4] = {}, sum2[4] = {}, cross01 = 0.0;
  double block_sum[4] = {};
  kavo::Rng rng{777};
  kavo::UniformStream uniforms(rng);
  for (int k = 0; k < n; ++k) {
    double p[4];
    kavo::sample_dirichlet(uniforms, shapes, bounds, 4, p);
    for (int i = 0; i < 4; ++i) {
      sum[i] += p[i];
      sum2[i] += p[i] * p[i];
    }
    cross01 += p[0] * p[1];
    double q[4];
    kavo::sample_row_blocks(uniforms, shapes, bounds, q);
    for (int i = 0; i < 4; ++i) block_sum[i] += q[i];
  }
  const double var_factor = total * total * (total + 1.0);
  for (int i = 0; i < 4; ++i) {
    const double mean = a[i] / total;
    const double var = a[i] * (total - a[i]) / var_factor;
    EXPECT_NEAR(sum[i] / n, mean, 5.0 * std::sqrt(var / n)) << "cell " << i;
    // The second moment, within a tolerance from the fourth moment's scale.
    EXPECT_NEAR(sum2[i] / n, var + mean * mean, 5.0 * std::sqrt(var / n) * 2.0 * mean + 1e-5)
        << "cell " << i;
  }
  const double cov01 = -a[0] * a[1] / var_factor;
  EXPECT_NEAR(cross01 / n - (sum[0] / n) * (sum[1] / n), cov01, 0.1 * std::abs(cov01));
  // Rows of two: each cell's mean within its own row's Beta.
  const double rows[4] = {a[0] / (a[0] + a[1]), a[1] / (a[0] + a[1]), a[2] / (a[2] + a[3]),
                          a[3] / (a[2] + a[3])};
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(block_sum[i] / n, rows[i], 0.003) << "row cell " << i;
}

namespace {

// The exact tangent mass of Beta(a1, a2) at the level of p0: the posterior
// mass between the two points where the log kernel equals its value at p0.
double beta_tangent_mass(double a1, double a2, double p0) {
  const double e1 = a1 - 1.0, e2 = a2 - 1.0;
  const double mode = e1 / (e1 + e2);
  auto kernel = [&](double y) { return e1 * std::log(y) + e2 * std::log1p(-y); };
  const double level = kernel(p0);
  auto other_root = [&](double lo, double hi) {
    boost::math::tools::eps_tolerance<double> tol(50);
    std::uintmax_t iterations = 200;
    const auto r = boost::math::tools::toms748_solve(
        [&](double y) { return kernel(y) - level; }, lo, hi, tol, iterations);
    return (r.first + r.second) / 2;
  };
  const double lo = p0 < mode ? p0 : other_root(1e-300, mode);
  const double hi = p0 > mode ? p0 : other_root(mode, 1.0 - 1e-16);
  return boost::math::ibeta(a1, a2, hi) - boost::math::ibeta(a1, a2, lo);
}

}  // namespace

TEST(SamplerStatistics, EstimatorFindsTheBetaTangentMass) {
  const struct {
    double a1, a2, p0;
  } cases[] = {{3, 5, 0.4}, {30, 70, 0.25}, {1.7, 2.3, 0.6}, {12, 4, 0.9}, {250.5, 80, 0.74},
               {2, 2, 0.05}};
  for (const auto& c : cases) {
    const double values[] = {c.a1, c.a2, c.p0};
    const kavo::Result r = kavo::compute(kavo::Hypothesis::proportion, values);
    ASSERT_EQ(r.status, kavo::Status::ok);
    const double exact = 1.0 - beta_tangent_mass(c.a1, c.a2, c.p0);
    // The half-width is a 2.6-sigma bound (z^2 = 6.7); allow a little more.
    EXPECT_LE(std::abs(r.evidence - exact), 1.5 * r.error + 1e-6)
        << c.a1 << " " << c.a2 << " " << c.p0 << ": " << r.evidence << " vs " << exact;
  }
}
