// The library interface of kavo/kavo.hpp, over the five programs' specs.

#include "kavo/evidence.hpp"
#include "kavo/kavo.hpp"
#include "kavohomo/kavohomo_spec.hpp"
#include "kavohw/kavohw_spec.hpp"
#include "kavoind/kavoind_spec.hpp"
#include "kavomcn/kavomcn_spec.hpp"
#include "kavoprop/kavoprop_spec.hpp"

namespace kavo {

namespace {

const HypothesisSpec& spec_of(Hypothesis hypothesis) {
  switch (hypothesis) {
    case Hypothesis::independence: return kavoind_spec();
    case Hypothesis::symmetry: return kavomcn_spec();
    case Hypothesis::homogeneity: return kavohomo_spec();
    case Hypothesis::hardy_weinberg: return kavohw_spec();
    case Hypothesis::proportion: break;
  }
  return kavoprop_spec();
}

}  // namespace

int value_count(Hypothesis hypothesis) { return spec_of(hypothesis).value_count; }

const char* program_name(Hypothesis hypothesis) { return spec_of(hypothesis).program_name; }

Evidence compute(Hypothesis hypothesis, std::span<const double> values,
                 const EvidenceSettings& settings) {
  const HypothesisSpec& spec = spec_of(hypothesis);
  Evidence out;
  if (values.size() != static_cast<std::size_t>(spec.value_count)) {
    out.error = EvidenceError::wrong_value_count;
    return out;
  }
  if (!rng_seed_valid(settings.seed)) {
    out.error = EvidenceError::bad_seed;
    return out;
  }
  double held[kMaxValues] = {};
  for (int i = 0; i < spec.value_count; ++i) held[i] = values[i];
  TangentSettings tangent;
  tangent.max_draws = settings.max_draws;
  tangent.precision = settings.precision;
  const EvidenceResult result = compute_evidence(spec, held, tangent, settings.seed);
  switch (result.status) {
    case EvidenceStatus::ok: break;
    case EvidenceStatus::refused: out.error = EvidenceError::refused_values; return out;
    default: out.error = EvidenceError::parameters_too_large; return out;
  }
  out.evidence = result.evidence;
  out.draws = result.draws;
  out.half_width = result.half_width;
  return out;
}

const char* describe(EvidenceError error) {
  switch (error) {
    case EvidenceError::none: return "no error";
    case EvidenceError::wrong_value_count: return "wrong number of values for this hypothesis";
    case EvidenceError::refused_values: return failure_reason(EvidenceStatus::refused);
    case EvidenceError::parameters_too_large:
      return failure_reason(EvidenceStatus::unbounded_point);
    case EvidenceError::bad_seed: return "seed must be a whole number from 1 to 2147483646";
  }
  return "unknown error";
}

}  // namespace kavo
