// The tabulated acceptance bounds must contain the computed acceptance value
// for every y of every interval, or a trial would be settled differently from
// the full computation and the stream would change.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "random/acceptance_bounds.hpp"
#include "random/gamma.hpp"
#include "random/rng.hpp"

using kavo::AcceptanceBounds;

namespace {

const std::vector<double> kShapes = {1.0001, 1.3,  2.5, 5.5,  6.0,  12.0,
                                     40.0,   1000, 1e6, 1e9,  1e12, 1e15};

// Checks lower <= e <= upper at y, if y passes the x > 0 test. Returns false
// (after recording the failure) on a violation.
bool contains(const kavo::GammaShape& shape, const AcceptanceBounds& bounds, double y) {
  const double x = shape.s * y + shape.am;
  if (x <= 0.0) return true;
  const double e = kavo::rejection_acceptance(shape, x, y);
  const AcceptanceBounds::Bin& bin = bounds.bin(y);
  EXPECT_LE(bin.accept_at_or_below, e) << "shape " << shape.a << " y " << y;
  EXPECT_GE(bin.reject_above, e) << "shape " << shape.a << " y " << y;
  return bin.accept_at_or_below <= e && e <= bin.reject_above;
}

}  // namespace

TEST(AcceptanceBounds, IntervalsFollowOneAnotherWithoutGaps) {
  const AcceptanceBounds bounds(kavo::gamma_shape(12.0));
  for (double sign : {1.0, -1.0}) {
    for (int i = 0; i + 1 < AcceptanceBounds::kBinsPerSide; ++i) {
      const double start = sign * AcceptanceBounds::bin_start(i);
      const double next = sign * AcceptanceBounds::bin_start(i + 1);
      ASSERT_EQ(&bounds.bin(next) - &bounds.bin(start), 1) << "interval " << i;
      ASSERT_EQ(&bounds.bin(std::nextafter(next, 0.0)), &bounds.bin(start)) << "interval " << i;
    }
    // Everything past the last start, however large, is in the last interval.
    const double last = sign * AcceptanceBounds::bin_start(AcceptanceBounds::kBinsPerSide - 1);
    EXPECT_EQ(&bounds.bin(sign * 1e300), &bounds.bin(last));
    EXPECT_EQ(&bounds.bin(sign * INFINITY), &bounds.bin(last));
  }
}

TEST(AcceptanceBounds, HoldTheComputedValueAcrossEveryInterval) {
  for (double a : kShapes) {
    const kavo::GammaShape shape = kavo::gamma_shape(a);
    const AcceptanceBounds bounds(shape);
    for (double sign : {1.0, -1.0}) {
      for (int i = 0; i + 1 < AcceptanceBounds::kBinsPerSide; ++i) {
        const double start = AcceptanceBounds::bin_start(i);
        const double end = AcceptanceBounds::bin_start(i + 1);
        // Both ends' neighbours and 64 points between.
        bool ok = contains(shape, bounds, sign * start) &&
                  contains(shape, bounds, sign * std::nextafter(end, 0.0));
        for (int k = 1; ok && k < 64; ++k) {
          ok = contains(shape, bounds, sign * (start + (end - start) * k / 64.0));
        }
        ASSERT_TRUE(ok) << "shape " << a << " interval " << sign * i;
      }
    }
  }
}

TEST(AcceptanceBounds, HoldForTheTrialsTheGeneratorProduces) {
  // The ratios y = t2 / t1 that trials actually meet, a million per shape.
  for (double a : kShapes) {
    const kavo::GammaShape shape = kavo::gamma_shape(a);
    const AcceptanceBounds bounds(shape);
    kavo::Rng rng{11};
    for (int i = 0; i < 1000000; ++i) {
      const double t1 = 2.0 * kavo::rng_uniform(rng) - 1.0;
      const double t2 = 2.0 * kavo::rng_uniform(rng) - 1.0;
      ASSERT_TRUE(contains(shape, bounds, t2 / t1)) << "shape " << a << " trial " << i;
    }
  }
}

TEST(AcceptanceBounds, SettleAllButAFewTrials) {
  // Only the speed depends on this, but a table that settles nothing would
  // silently give it up. Enormous shapes, where the computation itself loses
  // its accuracy, are left to the full computation.
  for (double a : {1.3, 5.5, 12.0, 1000.0, 1e6}) {
    const kavo::GammaShape shape = kavo::gamma_shape(a);
    const AcceptanceBounds bounds(shape);
    kavo::Rng rng{11};
    int candidates = 0, unsettled = 0;
    for (int i = 0; i < 100000; ++i) {
      const double t1 = 2.0 * kavo::rng_uniform(rng) - 1.0;
      const double t2 = 2.0 * kavo::rng_uniform(rng) - 1.0;
      const double u = kavo::rng_uniform(rng);
      if (t1 * t1 + t2 * t2 > 1.0) continue;
      const double y = t2 / t1;
      if (shape.s * y + shape.am <= 0.0) continue;
      ++candidates;
      const AcceptanceBounds::Bin& bin = bounds.bin(y);
      if (u > bin.accept_at_or_below && u <= bin.reject_above) ++unsettled;
    }
    EXPECT_LT(unsettled, candidates / 20) << "shape " << a;
  }
  const AcceptanceBounds huge(kavo::gamma_shape(1e15));
  EXPECT_EQ(huge.bin(0.5).accept_at_or_below, 0.0);
  EXPECT_EQ(huge.bin(0.5).reject_above, INFINITY);
}

TEST(AcceptanceBounds, DeviatesAndUniformsUsedAreUnchanged) {
  for (double a : kShapes) {
    const kavo::GammaShape shape = kavo::gamma_shape(a);
    const AcceptanceBounds bounds(shape);
    kavo::Rng plain{11}, settled{11};
    for (int i = 0; i < 200000; ++i) {
      const double expected = kavo::gamdev(plain, shape);
      ASSERT_EQ(kavo::gamdev(settled, shape, bounds), expected) << "shape " << a << " deviate " << i;
      ASSERT_EQ(settled.state, plain.state) << "shape " << a << " deviate " << i;
    }
  }
}
