#include <gtest/gtest.h>

#include <cmath>

#include "random/dirichlet.hpp"
#include "test_support.hpp"

using kavo::GammaShape;
using kavo::Rng;

namespace {
void shapes_of(const double* a, int d, GammaShape* shapes, kavo::AcceptanceBounds* bounds) {
  for (int i = 0; i < d; ++i) {
    shapes[i] = kavo::gamma_shape(a[i]);
    bounds[i] = kavo::AcceptanceBounds(shapes[i]);
  }
}
}  // namespace

TEST(Dirichlet, AllTwosTakeEightUniformsPerDrawAndSumToOne) {
  const double a[4] = {2, 2, 2, 2};
  GammaShape shapes[4];
  kavo::AcceptanceBounds bounds[4];
  shapes_of(a, 4, shapes, bounds);
  Rng rng{11};
  for (int draw = 0; draw < 100; ++draw) {
    const Rng before = rng;
    double p[4];
    kavo::sample_dirichlet(rng, shapes, bounds, 4, p);
    ASSERT_EQ(kavo_test::steps_between(before, rng), 8);
    EXPECT_NEAR(p[0] + p[1] + p[2] + p[3], 1.0, 1e-15);
  }
}

TEST(Dirichlet, RowBlocksConsumeTheStreamLikeOneFourCellDraw) {
  const double a[4] = {12, 5, 7.5, 9};
  GammaShape shapes[4];
  kavo::AcceptanceBounds bounds[4];
  shapes_of(a, 4, shapes, bounds);
  Rng rows{11}, single{11};
  for (int draw = 0; draw < 1000; ++draw) {
    double by_rows[4], whole[4];
    kavo::sample_row_blocks(rows, shapes, bounds, by_rows);
    kavo::sample_dirichlet(single, shapes, bounds, 4, whole);
    ASSERT_EQ(rows.state, single.state);
    EXPECT_NEAR(by_rows[0] + by_rows[1], 1.0, 1e-15);
    EXPECT_NEAR(by_rows[2] + by_rows[3], 1.0, 1e-15);
    // Same deviates, different normalisation: the within-row ratios agree.
    EXPECT_NEAR(by_rows[0] / by_rows[1], whole[0] / whole[1], 1e-12 * whole[0] / whole[1]);
    EXPECT_NEAR(by_rows[2] / by_rows[3], whole[2] / whole[3], 1e-12 * whole[2] / whole[3]);
  }
}

TEST(Dirichlet, LogKernelSumsExcessTimesLog) {
  const double a[3] = {3, 2, 1.5};
  const double p[3] = {0.5, 0.25, 0.25};
  EXPECT_DOUBLE_EQ(kavo::log_kernel(a, p, 3),
                   2.0 * std::log(0.5) + 1.0 * std::log(0.25) + 0.5 * std::log(0.25));
}
