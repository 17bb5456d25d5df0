// The tuned draw loop against a literal reading of the same rules: the same
// estimate and the same number of draws on every argument set, and the
// shortcut for uniforms equal to the extended-precision definition everywhere.

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <thread>
#include <vector>

#include "evidence.hpp"
#include "monte_carlo/estimator.hpp"
#include "random/rng.hpp"
#include "random/uniform_stream.hpp"
#include "literal/literal_reading.hpp"
#include "hypotheses/registry.hpp"

TEST(TunedLoop, UniformShortcutEqualsExtendedPrecisionForEveryState) {
  // All 2^31 - 2 states, split over two threads.
  auto check = [](std::int32_t from, std::int32_t to, long* mismatches) {
    for (std::int32_t s = from; s < to; ++s) {
      if (kavo::rng_uniform_from_state(s) != kavo::rng_uniform_extended(s)) ++*mismatches;
    }
  };
  long low = 0, high = 0;
  const std::int32_t middle = 1 << 30;
  std::thread other(check, 1, middle, &low);
  check(middle, kavo::kRngModulus, &high);
  other.join();
  EXPECT_EQ(low + high, 0);
}

TEST(TunedLoop, UniformStreamRepeatsTheGeneratorAndHandsBackItsState) {
  // Starting states include the extremes of the range, where the block's
  // products and folds are largest.
  for (std::int32_t seed : {11, 1, 2, 16807, 1043618065, 2147483645, 2147483646}) {
    for (int count : {0, 1, 63, 64, 65, 1000}) {
      kavo::Rng plain{seed}, buffered{seed};
      {
        kavo::UniformStream stream(buffered);
        for (int i = 0; i < count; ++i) {
          ASSERT_EQ(stream.next(), kavo::rng_uniform(plain)) << "seed " << seed << " uniform " << i;
        }
      }
      EXPECT_EQ(buffered.state, plain.state) << "seed " << seed << ", " << count << " uniforms";
    }
  }
}

TEST(TunedLoop, UniformStreamProductsStraddleBlockEnds) {
  // Products of 1 to 5 uniforms in a cycle cross every position of a block.
  kavo::Rng plain{11}, buffered{11};
  {
    kavo::UniformStream stream(buffered);
    for (int i = 0; i < 2000; ++i) {
      const int n = 1 + i % 5;
      double expected = 1.0;
      for (int k = 0; k < n; ++k) expected = expected * kavo::rng_uniform(plain);
      ASSERT_EQ(stream.product(n), expected) << "product " << i;
    }
  }
  EXPECT_EQ(buffered.state, plain.state);
}

TEST(TunedLoop, SameEvidenceAndDrawsAsALiteralReading) {
  struct Case {
    const kavo::HypothesisSpec* spec;
    std::vector<double> values;
  };
  const std::vector<Case> cases = {
      {&kavo::kIndependence, {12, 5, 7, 9}},      {&kavo::kIndependence, {2, 3, 4, 5}},
      {&kavo::kIndependence, {2.5, 3, 4.5, 7}},   {&kavo::kIndependence, {20, 8, 6, 30}},
      {&kavo::kIndependence, {1.0001, 6, 1.5, 2}}, {&kavo::kSymmetry, {12, 5, 7, 9}},
      {&kavo::kSymmetry, {3.5, 9, 2.5, 4}},   {&kavo::kSymmetry, {120, 33, 41, 98}},
      {&kavo::kHomogeneity, {12, 5, 7, 9}},     {&kavo::kHomogeneity, {1.5, 4, 2.2, 3}},
      {&kavo::kHomogeneity, {2, 2, 2, 3}},      {&kavo::kHardyWeinberg, {12, 10, 4}},
      {&kavo::kHardyWeinberg, {3, 2, 1.5}},         {&kavo::kHardyWeinberg, {25, 50, 30}},
      {&kavo::kHardyWeinberg, {1500.5, 310, 5.25}}, {&kavo::kProportion, {3, 5, 0.4}},
      {&kavo::kProportion, {1.7, 2.3, 0.6}},   {&kavo::kProportion, {30, 70, 0.25}},
      {&kavo::kProportion, {5, 5, 0.999}},
      // Whole excesses up to the product test's limit of 32 and just past it,
      // and shapes large enough to widen the acceptance bounds' margins.
      {&kavo::kIndependence, {6, 6, 6, 6}},       {&kavo::kIndependence, {2, 2, 2, 30}},
      {&kavo::kIndependence, {2, 2, 3, 30}},      {&kavo::kIndependence, {1e6, 2e6, 1.5e6, 3e6}},
      {&kavo::kHardyWeinberg, {4e9, 1e9, 3e9}},
  };
  const struct {
    std::int64_t max_draws;
    double precision;
  } settings[] = {{0, 0.001}, {10001, 0.0}, {40000, 0.01}, {60000, 0.004}};
  for (const Case& c : cases) {
    for (const auto& setting : settings) {
      kavo::Settings tuned_settings;
      tuned_settings.max_draws = setting.max_draws;
      tuned_settings.precision = setting.precision;
      const kavo::Result tuned = kavo::compute_evidence(*c.spec, c.values.data(), tuned_settings);
      const double f_star = kavo::hypothesis_f_star(*c.spec, c.values.data());
      const kavo_literal::LiteralResult literal = kavo_literal::literal_tangent_mass(
          *c.spec, c.values.data(), f_star, setting.max_draws, setting.precision);
      ASSERT_EQ(tuned.status, kavo::Status::ok);
      EXPECT_EQ(tuned.evidence, 1.0 - literal.estimate)
          << c.spec->program_name << " " << c.values[0] << " max " << setting.max_draws;
      EXPECT_EQ(tuned.draws, literal.draws)
          << c.spec->program_name << " " << c.values[0] << " max " << setting.max_draws;
      // The generator ends where the literal reading's does: every uniform was
      // consumed alike, whatever the counts' ratio hides.
      kavo::TangentSettings tangent;
      tangent.max_draws = setting.max_draws;
      tangent.precision = setting.precision;
      kavo::Rng rng{kavo::kDefaultSeed};
      kavo::estimate_tangent_mass(c.values.data(), c.spec->blocks.sizes, c.spec->blocks.count,
                                  f_star, tangent, rng);
      EXPECT_EQ(rng.state, literal.final_state)
          << c.spec->program_name << " " << c.values[0] << " max " << setting.max_draws;
    }
  }
}

TEST(TunedLoop, SameRunsAsALiteralReadingOnRandomArguments) {
  // 250 argument sets from a fixed sequence, every program, each cell's shape
  // drawn from one of four kinds: whole below 6 (direct method), whole from 6
  // (rejection, and whole excesses for the product test), non-whole, and
  // large (wide acceptance margins). 10001 draws each.
  const kavo::HypothesisSpec* specs[] = {&kavo::kIndependence, &kavo::kSymmetry, &kavo::kHomogeneity,
                                         &kavo::kHardyWeinberg, &kavo::kProportion};
  kavo::Rng pick{20261208};
  auto uniform = [&] { return kavo::rng_uniform(pick); };
  auto shape = [&]() -> double {
    switch (static_cast<int>(uniform() * 4)) {
      case 0: return 2.0 + static_cast<int>(uniform() * 4);
      case 1: return 6.0 + static_cast<int>(uniform() * 40);
      case 2: return 1.0 + 0.01 + uniform() * 30;
      default: return std::floor(std::exp(std::log(1e3) + uniform() * std::log(1e4)));
    }
  };
  kavo::TangentSettings settings;
  settings.max_draws = 10001;
  settings.precision = 0.0;
  kavo::Settings evidence_settings;
  evidence_settings.max_draws = settings.max_draws;
  evidence_settings.precision = settings.precision;
  for (int n = 0; n < 250; ++n) {
    const kavo::HypothesisSpec& spec = *specs[n % 5];
    std::vector<double> values;
    for (int i = 0; i < spec.dimension; ++i) values.push_back(shape());
    if (&spec == &kavo::kProportion) values.push_back(0.05 + 0.9 * uniform());
    const kavo::Result tuned = kavo::compute_evidence(spec, values.data(), evidence_settings);
    ASSERT_EQ(tuned.status, kavo::Status::ok) << n;
    const double f_star = kavo::hypothesis_f_star(spec, values.data());
    const kavo_literal::LiteralResult literal = kavo_literal::literal_tangent_mass(
        spec, values.data(), f_star, settings.max_draws, settings.precision);
    kavo::Rng rng{kavo::kDefaultSeed};
    kavo::estimate_tangent_mass(values.data(), spec.blocks.sizes, spec.blocks.count,
                                f_star, settings, rng);
    std::ostringstream args;
    for (double v : values) args << ' ' << v;
    ASSERT_EQ(tuned.evidence, 1.0 - literal.estimate) << spec.program_name << args.str();
    ASSERT_EQ(tuned.draws, literal.draws) << spec.program_name << args.str();
    ASSERT_EQ(rng.state, literal.final_state) << spec.program_name << args.str();
  }
}

