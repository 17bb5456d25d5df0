#include <cmath>

#include "methods/registry.hpp"
#include "monte_carlo/estimator.hpp"
#include "hypotheses/registry.hpp"
#include "random/rng.hpp"

namespace kavo {

static_assert(kMinSeed == 1 && kMaxSeed == kRngModulus - 1);

double monte_carlo_limit(Hypothesis hypothesis) {
  return hypothesis_spec(hypothesis).shown.monte_carlo_limit;
}

double all_alike_bound(std::int64_t draws) {
  // The score interval's upper end for no hit in n draws: z^2 / (n + z^2).
  return kZ2 / (static_cast<double>(draws) + kZ2);
}

namespace {

// Monte Carlo takes parameters above 1 only: a parameter of exactly 1 is
// told apart from a refused one, since the exact method computes it.
Status monte_carlo_values(const Table& table, const double* values) {
  if (table_values_valid(table, values)) return Status::ok;
  for (int i = 0; i < table.layout.dimension; ++i) {
    if (!(values[i] >= 1.0)) return Status::refused_values;
  }
  return table_other_values_valid(table, values) ? Status::needs_exact_method
                                                 : Status::refused_values;
}

// stop, when set, is read every 100 draws.
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
  const DirichletLayout& layout = input.table.layout;
  for (int i = 0; i < layout.dimension; ++i) {
    if (input.values[i] > input.table.spec->shown.monte_carlo_limit) {
      out.status = Status::too_large_for_monte_carlo;
      return out;
    }
  }
  TangentSettings tangent;
  tangent.max_draws = settings.max_draws;
  tangent.precision = settings.precision;
  tangent.stop = stop;
  Rng rng;
  rng_seed(rng, settings.seed);
  const TangentResult mass = estimate_tangent_mass(input.values, layout.blocks.sizes,
                                                   layout.blocks.count, input.f_star, tangent, rng);
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
  if (mass.estimate == 0.0 || mass.estimate == 1.0) out.error = all_alike_bound(mass.draws);
  return out;
}

}  // namespace

const MethodSpec kMonteCarloMethod{
    {Method::monte_carlo, "monte_carlo", "Monte Carlo",
     "from a reproducible stream of posterior draws, until the interval's half-width is below "
     "the precision or the draws run out",
     "half_width", "the half-width of the evidence's interval at the last check", false},
    monte_carlo_values,
    true,
    monte_carlo_method,
};

}  // namespace kavo
