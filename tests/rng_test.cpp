#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "random/rng.hpp"

using kavo::Rng;

TEST(Rng, FromStateOneFollowsThePlainCongruence) {
  Rng rng{1};
  std::int64_t expected = 1;
  for (int i = 0; i < 10000; ++i) {
    expected = expected * 16807 % 2147483647;
    ASSERT_EQ(kavo::rng_next(rng), expected) << "step " << i + 1;
  }
  Rng first{1};
  EXPECT_EQ(kavo::rng_next(first), 16807);
  EXPECT_EQ(kavo::rng_next(first), 282475249);
}

TEST(Rng, StatesThatWrapBelowZeroAreBroughtBack) {
  // 127773 * 16807 exceeds the modulus by a multiple that Schrage's step
  // leaves negative; the result must still be 16807 * s mod (2^31 - 1).
  for (std::int32_t s : {127773, 127774, 2147483646, 1043618065, 2 * 127773}) {
    Rng rng{s};
    const std::int32_t next = kavo::rng_next(rng);
    EXPECT_EQ(next, static_cast<std::int64_t>(s) * 16807 % 2147483647) << s;
    EXPECT_GT(next, 0);
  }
}

// The predecessor of a state: 1407677000 is the inverse of 16807 modulo 2^31 - 1.
static std::int32_t predecessor(std::int32_t state) {
  return static_cast<std::int32_t>(static_cast<std::int64_t>(state) * 1407677000 % 2147483647);
}

TEST(Rng, UniformStaysStrictlyInsideTheUnitInterval) {
  Rng smallest{predecessor(1)};
  const double low = kavo::rng_uniform(smallest);
  ASSERT_EQ(smallest.state, 1);
  EXPECT_GT(low, 0.0);
  EXPECT_LT(low, 1e-9);
  Rng largest{predecessor(2147483646)};
  const double high = kavo::rng_uniform(largest);
  ASSERT_EQ(largest.state, 2147483646);
  EXPECT_LT(high, 1.0);
  EXPECT_GT(high, 1.0 - 1e-9);
}

TEST(Rng, UniformUsesLongDoubleScaling) {
  // For this state plain double division rounds the last bit the other way;
  // the stream depends on the long double product.
  const std::int32_t state = 1879048959;
  Rng rng{predecessor(state)};
  const double u = kavo::rng_uniform(rng);
  ASSERT_EQ(rng.state, state);
  const long double scale = 1.0L / 2147483647.0L;
  EXPECT_EQ(u, static_cast<double>(state * scale));
  EXPECT_NE(u, state / 2147483647.0);
}

TEST(Rng, MulmodAgreesWithTheRemainderAtTheExtremes) {
  // The single fold relies on the product being at most (2^31 - 2)^2; check the
  // largest factors, the jump multipliers and a spread of ordinary pairs.
  const std::uint64_t m = 2147483647;
  std::vector<std::uint64_t> values = {1, 2, 16807, 127773, 1407677000, 1073741823, 1073741824,
                                       1457850878, 2147483645, 2147483646};
  for (std::uint64_t v = 3; v < m; v = v * 7 + 12345) values.push_back(v);
  for (std::uint64_t a : values) {
    for (std::uint64_t s : values) {
      ASSERT_EQ(static_cast<std::uint64_t>(kavo::mulmod_m31(a, s)), a * s % m) << a << " * " << s;
    }
  }
}
