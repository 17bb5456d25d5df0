#include "kavo/evidence.hpp"

#include <cmath>

#include "kavo/dirichlet.hpp"

namespace kavo {

const char* failure_reason(EvidenceStatus status) {
  switch (status) {
    case EvidenceStatus::ok: return "no error";
    case EvidenceStatus::refused:
      return "Dirichlet parameters must be greater than 1 and p0 must be in interval (0,1)";
    case EvidenceStatus::unbounded_point:
      return "parameters too large: the hypothesis point cannot be computed";
    case EvidenceStatus::bad_gamma_shape: return "a gamma shape below 1 reached the sampler";
    case EvidenceStatus::bad_spec: return "the program has no sampler for its dimension";
  }
  return "unknown error";
}

double hypothesis_f_star(const HypothesisSpec& spec, const double* values) {
  double point[kMaxCells];
  spec.hypothesis_point(values, point);
  return log_kernel(values, point, spec.dimension);
}

EvidenceResult compute_evidence(const HypothesisSpec& spec, const double* values,
                                const TangentSettings& settings, std::int32_t seed) {
  EvidenceResult result;
  if (!spec.validate_parameters(values)) {
    result.status = EvidenceStatus::refused;
    return result;
  }
  result.f_star = hypothesis_f_star(spec, values);
  // Values so large that their sum overflows give no usable hypothesis point;
  // a NaN or infinite threshold would print a meaningless evidence.
  if (!std::isfinite(result.f_star)) {
    result.status = EvidenceStatus::unbounded_point;
    return result;
  }
  Rng rng;
  rng_seed(rng, seed);
  const TangentResult mass =
      estimate_tangent_mass(values, spec.dimension, spec.layout, result.f_star, settings, rng);
  if (mass.status != TangentStatus::ok) {
    result.status = mass.status == TangentStatus::bad_gamma_shape ? EvidenceStatus::bad_gamma_shape
                                                                  : EvidenceStatus::bad_spec;
    return result;
  }
  result.evidence = 1.0 - mass.estimate;
  result.draws = mass.draws;
  result.half_width = mass.fieller_half_width > mass.linear_half_width ? mass.fieller_half_width
                                                                       : mass.linear_half_width;
  return result;
}

}  // namespace kavo
