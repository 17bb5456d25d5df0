#pragma once
// One evidence computation for a hypothesis and its values, with no I/O: the
// piece shared by the command-line driver, batch rows and library callers.

#include <cstdint>

#include "kavo/estimator.hpp"
#include "kavo/hypothesis_spec.hpp"

namespace kavo {

inline constexpr std::int32_t kDefaultSeed = 11;

enum class EvidenceStatus {
  ok,
  refused,          // validate_parameters refused the values
  unbounded_point,  // the log kernel at the hypothesis point is not finite
  bad_gamma_shape,  // a Dirichlet parameter below 1 reached the sampler
  bad_spec,         // the HypothesisSpec's dimension or layout has no sampler
};

struct EvidenceResult {
  EvidenceStatus status = EvidenceStatus::ok;
  double evidence = 0.0;  // 1 - the estimated tangent mass
  double f_star = 0.0;    // log kernel at the hypothesis point
  std::int64_t draws = 0;
  double half_width = 0.0;  // the larger of the two half-widths at the last check
};

// Why no evidence was computed, in the words every interface uses (no final
// period); "no error" for ok.
const char* failure_reason(EvidenceStatus status);

// The log kernel at the hypothesis point of the HypothesisSpec for these values.
double hypothesis_f_star(const HypothesisSpec& spec, const double* values);

// Validates the values, computes f_star and runs the estimator from a
// generator seeded with seed.
EvidenceResult compute_evidence(const HypothesisSpec& spec, const double* values,
                                const TangentSettings& settings,
                                std::int32_t seed = kDefaultSeed);

}  // namespace kavo
