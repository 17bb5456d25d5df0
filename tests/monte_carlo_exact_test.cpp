// The whole Monte Carlo estimator against the exact method on random tables:
// an independent reference for the sampler, the kernel comparison and the
// stopping rule together. The half-widths use z^2 = 6.7 (about 99% two-sided),
// so nearly every estimate must fall within its half-width of the exact value.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "kavo/kavo.hpp"

TEST(MonteCarloAgainstExact, EstimatesFallWithinTheirHalfWidths) {
  std::mt19937_64 gen(20261208);
  std::uniform_real_distribution<double> log_shape(std::log(1.05), std::log(60.0));
  std::uniform_real_distribution<double> p0(0.05, 0.95);
  kavo::Settings monte_carlo;
  monte_carlo.precision = 0.01;
  monte_carlo.max_draws = 40000;  // runs whose draws all fall alike never stop early
  kavo::Settings exact;
  exact.method = kavo::Method::exact;
  int tables = 0, outside = 0;
  double worst = 0.0;  // the largest miss, in half-widths
  for (int n = 0; n < 200; ++n) {
    const auto h = static_cast<kavo::Hypothesis>(n % kavo::kHypothesisCount);
    std::vector<double> values;
    for (int i = 0; i < kavo::dirichlet_count(h); ++i) {
      // Whole shapes too, so the direct gamma method takes part.
      const double a = std::exp(log_shape(gen));
      values.push_back(n % 3 == 0 ? std::floor(a) + 1.0 : a);
    }
    if (h == kavo::Hypothesis::proportion) values.push_back(p0(gen));
    const kavo::Result e = kavo::compute(h, values, exact);
    ASSERT_EQ(e.status, kavo::Status::ok) << kavo::describe(e.status);
    const kavo::Result m = kavo::compute(h, values, monte_carlo);
    ASSERT_EQ(m.status, kavo::Status::ok);
    ++tables;
    const double miss = std::abs(m.evidence - e.evidence) / (m.error + 1e-12);
    worst = std::max(worst, miss);
    if (miss > 1.0) ++outside;
  }
  // Binomial(200, 1%) exceeds 9 with probability below 1e-4; a wrong
  // sampler or threshold misses far more often, and by far more.
  EXPECT_LE(outside, 9) << "of " << tables;
  EXPECT_LT(worst, 2.5);
}
