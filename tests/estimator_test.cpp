#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "monte_carlo/estimator.hpp"

using kavo::SamplerLayout;
using kavo::TangentSettings;

namespace {

kavo::TangentResult run(const double* a, int d, double f_star, TangentSettings settings,
                        SamplerLayout layout = SamplerLayout::single_block) {
  kavo::Rng rng{11};
  return kavo::estimate_tangent_mass(a, d, layout, f_star, settings, rng);
}

TangentSettings with(std::int64_t max_draws, double precision = 0.001) {
  TangentSettings s;
  s.max_draws = max_draws;
  s.precision = precision;
  return s;
}

const double kTable[4] = {12, 5, 7, 9};
const double kTableFStar = -39.75210;  // about f_star at the independence point

}  // namespace

TEST(Estimator, RunsNeverEndBeforeTheMinimumNorBetweenChecks) {
  // At 10000 draws the half-widths are near 0.01, far above 0.001, so only the
  // maximum can end these runs.
  EXPECT_EQ(run(kTable, 4, kTableFStar, with(0)).draws, 10000);
  EXPECT_EQ(run(kTable, 4, kTableFStar, with(-5)).draws, 10000);
  EXPECT_EQ(run(kTable, 4, kTableFStar, with(250)).draws, 10000);
  EXPECT_EQ(run(kTable, 4, kTableFStar, with(10001)).draws, 10100);
  EXPECT_EQ(run(kTable, 4, kTableFStar, with(12345)).draws, 12400);
}

TEST(Estimator, PrecisionZeroOrBelowRunsToTheMaximum) {
  EXPECT_EQ(run(kTable, 4, kTableFStar, with(30000, 0.0)).draws, 30000);
  EXPECT_EQ(run(kTable, 4, kTableFStar, with(30000, -1.0)).draws, 30000);
}

TEST(Estimator, StopsOnceBothHalfWidthsAreBelowPrecision) {
  const kavo::TangentResult r = run(kTable, 4, kTableFStar, with(2000000, 0.01));
  EXPECT_EQ(r.draws % 100, 0);
  EXPECT_LT(r.draws, 2000000);
  EXPECT_LT(r.fieller_half_width, 0.01);
  EXPECT_LT(r.linear_half_width, 0.01);
  // Both half-widths are about sqrt(6.7 r (1 - r) / n).
  const double approx = std::sqrt(6.7 * r.estimate * (1 - r.estimate) / r.draws);
  EXPECT_NEAR(r.linear_half_width, approx, 1e-6);
  EXPECT_NEAR(r.fieller_half_width, approx, 1e-3);
  // Stopping at the first check that passes: 100 draws earlier it had not.
  const kavo::TangentResult earlier = run(kTable, 4, kTableFStar, with(r.draws - 100, 0.0));
  EXPECT_FALSE(earlier.fieller_half_width < 0.01 && earlier.linear_half_width < 0.01 &&
               earlier.fieller_half_width > 0.0);
}

TEST(Estimator, NoDrawReachingTheThresholdRunsToTheMaximum) {
  const kavo::TangentResult r =
      run(kTable, 4, std::numeric_limits<double>::max(), with(20000));
  EXPECT_EQ(r.draws, 20000);
  EXPECT_EQ(r.estimate, 0.0);
  EXPECT_EQ(r.fieller_half_width, 0.0);
}

TEST(Estimator, ADrawExactlyAtTheThresholdCounts) {
  // With every parameter 1 the kernel is 0 for every draw: all of them sit
  // exactly at a threshold of 0.
  const double flat[2] = {1, 1};
  const kavo::TangentResult r = run(flat, 2, 0.0, with(10000));
  EXPECT_EQ(r.estimate, 1.0);
  EXPECT_EQ(r.draws, 10000);
}

TEST(Estimator, EstimateIsTheFractionOfDrawsReachingTheThreshold) {
  const kavo::TangentResult r = run(kTable, 4, kTableFStar, with(10000, 0.0));
  const double count = r.estimate * 10000;
  EXPECT_NEAR(count, std::round(count), 1e-9);
}

TEST(Estimator, RefusesShapesBelowOneAndUnsupportedLayouts) {
  const double bad[2] = {2, 0.5};
  EXPECT_EQ(run(bad, 2, 0.0, with(10000)).status, kavo::TangentStatus::bad_gamma_shape);
  EXPECT_EQ(run(kTable, 3, 0.0, with(10000), SamplerLayout::row_blocks).status,
            kavo::TangentStatus::bad_dimension);
  EXPECT_EQ(run(kTable, 5, 0.0, with(10000)).status, kavo::TangentStatus::bad_dimension);
}
