#pragma once
// A plain, line-by-line reading of the estimator's rules, with nothing
// precomputed or specialised: the yardstick that the tuned core is compared
// with, for equal results in the tests and for speed in the benchmark.

#include <cstdint>

#include "hypotheses/hypothesis_spec.hpp"

namespace kavo_literal {

struct LiteralResult {
  double estimate;
  std::int64_t draws;
  std::int32_t final_state;  // the generator's state after the last draw
};

// Runs the estimator for spec on values (the full value vector) from seed 11.
LiteralResult literal_tangent_mass(const kavo::HypothesisSpec& spec, const double* values,
                                   double f_star, std::int64_t max_draws, double precision);

}  // namespace kavo_literal
