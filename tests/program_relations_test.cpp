// Relations between the programs that follow from sharing one core: they
// catch a sampler wired to the wrong layout or a value leaking into the draws.

#include <gtest/gtest.h>

#include <array>

#include "monte_carlo/estimator.hpp"
#include "evidence.hpp"
#include "hypotheses/registry.hpp"

namespace {

struct StreamRun {
  kavo::TangentResult result;
  kavo::Rng rng_after;
};

// A fixed-length run (precision 0 never stops early) of the program's own
// sampler at its own threshold; returns where the generator ended.
StreamRun fixed_run(const kavo::HypothesisSpec& spec, const double* values, std::int64_t draws) {
  kavo::TangentSettings settings;
  settings.max_draws = draws;
  settings.precision = 0.0;
  kavo::Rng rng{kavo::kDefaultSeed};
  StreamRun run;
  run.result = kavo::estimate_tangent_mass(values, spec.blocks.sizes, spec.blocks.count,
                                           kavo::hypothesis_f_star(spec, values), settings, rng);
  run.rng_after = rng;
  return run;
}

}  // namespace

TEST(ProgramRelations, SymmetryAndIndependenceDrawTheSameSamples) {
  const double a[4] = {12, 5, 7.5, 9};
  const StreamRun ind = fixed_run(kavo::kIndependence, a, 20000);
  const StreamRun mcn = fixed_run(kavo::kSymmetry, a, 20000);
  EXPECT_EQ(ind.rng_after.state, mcn.rng_after.state);
  EXPECT_NE(ind.result.estimate, mcn.result.estimate);  // only f_star differs
}

TEST(ProgramRelations, HomogeneityConsumesTheStreamLikeAFourCellDraw) {
  for (const auto& a : {std::array<double, 4>{2, 2, 2, 2}, std::array<double, 4>{1.5, 4, 2.2, 3},
                        std::array<double, 4>{20, 8, 6, 30}}) {
    const StreamRun homo = fixed_run(kavo::kHomogeneity, a.data(), 10000);
    const StreamRun ind = fixed_run(kavo::kIndependence, a.data(), 10000);
    EXPECT_EQ(homo.rng_after.state, ind.rng_after.state) << a[0] << " " << a[1];
  }
}

TEST(ProgramRelations, P0ChangesTheThresholdNeverTheDraws) {
  const double low[3] = {3, 5, 0.2};
  const double high[3] = {3, 5, 0.4};
  const StreamRun a = fixed_run(kavo::kProportion, low, 10000);
  const StreamRun b = fixed_run(kavo::kProportion, high, 10000);
  EXPECT_EQ(a.rng_after.state, b.rng_after.state);
  EXPECT_NE(a.result.estimate, b.result.estimate);
  // A four-value spec reading p0 as a Dirichlet cell would draw three gamma
  // deviates a draw; two whole-number shapes 3 and 5 take exactly 8 uniforms.
  kavo::Rng expected{kavo::kDefaultSeed};
  for (int i = 0; i < 8 * 10000; ++i) kavo::rng_next(expected);
  EXPECT_EQ(a.rng_after.state, expected.state);
}
