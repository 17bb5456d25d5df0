// The uniform stream on a machine without SSE2: this file is compiled with
// __SSE2__ undefined, so the block is filled by the portable loop. It must
// give the generator's sequence exactly, as the vector fill does.

#if defined(__SSE2__)
#error "compile this test with -U__SSE2__"
#endif

#include <gtest/gtest.h>

#include <cstdint>

#include "random/rng.hpp"
#include "random/uniform_stream.hpp"

TEST(PortableStream, RepeatsTheGeneratorAndHandsBackItsState) {
  for (std::int32_t seed : {11, 1, 16807, 1043618065, 2147483646}) {
    kavo::Rng plain{seed}, buffered{seed};
    {
      kavo::UniformStream stream(buffered);
      for (int i = 0; i < 1000; ++i) {
        if (i % 7 == 3) {
          // The direct method's product, straddling block ends now and then.
          double expected = 1.0;
          for (int k = 0; k < 5; ++k) expected = expected * kavo::rng_uniform(plain);
          ASSERT_EQ(stream.product(5), expected) << "seed " << seed << " at " << i;
        } else {
          ASSERT_EQ(stream.next(), kavo::rng_uniform(plain)) << "seed " << seed << " at " << i;
        }
      }
    }
    EXPECT_EQ(buffered.state, plain.state) << "seed " << seed;
  }
}
