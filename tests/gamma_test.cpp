#include <gtest/gtest.h>

#include <cmath>

#include "random/gamma.hpp"
#include "test_support.hpp"

using kavo::Rng;

TEST(Gamma, WholeShapesBelowSixTakeThatManyUniforms) {
  Rng rng{11};
  for (int a = 1; a <= 5; ++a) {
    const kavo::GammaShape shape = kavo::gamma_shape(a);
    for (int rep = 0; rep < 50; ++rep) {
      const Rng before = rng;
      kavo::gamdev(rng, shape);
      ASSERT_EQ(kavo_test::steps_between(before, rng), a) << "shape " << a;
    }
  }
}

TEST(Gamma, ShapeOneIsMinusLogOfOneUniform) {
  Rng rng{11};
  Rng copy = rng;
  const double g = kavo::gamdev(rng, kavo::gamma_shape(1.0));
  EXPECT_EQ(g, -std::log(kavo::rng_uniform(copy)));
}

TEST(Gamma, NonWholeAndLargeShapesUseRejection) {
  // Rejection takes three uniforms per accepted trial, and at least one trial.
  for (double a : {1.3, 2.5, 5.999, 6.0, 40.0}) {
    const kavo::GammaShape shape = kavo::gamma_shape(a);
    EXPECT_EQ(shape.direct_uniforms, 0) << a;
    EXPECT_EQ(shape.am, a - 1.0);
    Rng rng{11};
    const Rng before = rng;
    kavo::gamdev(rng, shape);
    const int steps = kavo_test::steps_between(before, rng);
    EXPECT_GE(steps, 2) << a;  // two uniforms per trial, a third if inside the disc
  }
}

// The deviates must have the gamma moments: mean a and variance a. With 200000
// draws the standard error of the mean is sqrt(a / n) and that of the sample
// variance about sqrt((2a^2 + 6a) / n); the tolerance is five of each.
TEST(Gamma, DeviatesHaveTheGammaMeanAndVariance) {
  const int n = 200000;
  for (double a : {1.0, 1.3, 2.5, 3.0, 5.5, 6.0, 17.25}) {
    const kavo::GammaShape shape = kavo::gamma_shape(a);
    Rng rng{11};
    double sum = 0.0, sum2 = 0.0;
    for (int i = 0; i < n; ++i) {
      const double g = kavo::gamdev(rng, shape);
      ASSERT_GT(g, 0.0);
      sum += g;
      sum2 += g * g;
    }
    const double mean = sum / n;
    const double var = sum2 / n - mean * mean;
    EXPECT_NEAR(mean, a, 5.0 * std::sqrt(a / n)) << "shape " << a;
    EXPECT_NEAR(var, a, 5.0 * std::sqrt((2.0 * a * a + 6.0 * a) / n)) << "shape " << a;
  }
}

TEST(Gamma, ShapesBelowOneAreInvalid) {
  EXPECT_FALSE(kavo::gamma_shape_valid(0.999));
  EXPECT_FALSE(kavo::gamma_shape_valid(std::nan("")));
  EXPECT_TRUE(kavo::gamma_shape_valid(1.0));
}
