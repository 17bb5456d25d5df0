#include <cmath>

#include "methods/method.hpp"
#include "monte_carlo/estimator.hpp"
#include "monte_carlo/sampler_layout.hpp"
#include "random/rng.hpp"

namespace kavo {

static_assert(kMinSeed == 1 && kMaxSeed == kRngModulus - 1);

MethodOutput monte_carlo_method(const MethodInput& input, const Settings& settings,
                                const std::atomic<bool>* stop) {
  MethodOutput out;
  if (!rng_seed_valid(settings.seed)) {
    out.status = Status::bad_seed;
    return out;
  }
  if (!std::isfinite(settings.precision)) {
    out.status = Status::bad_precision;
    return out;
  }
  TangentSettings tangent;
  tangent.max_draws = settings.max_draws;
  tangent.precision = settings.precision;
  tangent.stop = stop;
  Rng rng;
  rng_seed(rng, settings.seed);
  const HypothesisSpec& spec = input.spec;
  const TangentResult mass = estimate_tangent_mass(
      input.values, spec.dimension, sampler_layout(spec.blocks), input.f_star, tangent, rng);
  switch (mass.status) {
    case TangentStatus::ok: break;
    case TangentStatus::cancelled: out.status = Status::cancelled; return out;
    case TangentStatus::bad_dimension:
    case TangentStatus::bad_gamma_shape: out.status = Status::sampler_failure; return out;
  }
  out.evidence = 1.0 - mass.estimate;
  out.draws = mass.draws;
  out.error = mass.fieller_half_width > mass.linear_half_width ? mass.fieller_half_width
                                                               : mass.linear_half_width;
  return out;
}

}  // namespace kavo
