#pragma once
// One evidence computation for a hypothesis and its values: validate, find
// the hypothesis point and its threshold, run the method. No I/O.

#include <atomic>

#include "hypotheses/hypothesis_spec.hpp"
#include "kavo/kavo.hpp"

namespace kavo {

// The log kernel at the hypothesis point of the spec for these values.
double hypothesis_f_star(const HypothesisSpec& spec, const double* values);

// The hypothesis point and the log kernel there.
struct Threshold {
  double point[kMaxCells];
  double f_star;
};

// ok, refused_values or parameters_too_large, for spec.value_count values;
// when ok, threshold holds the point and a finite f_star.
Status validate_values(const HypothesisSpec& spec, const double* values, Threshold& threshold);

// The evidence for spec.value_count values; stop, when set, cancels the run.
Result compute_evidence(const HypothesisSpec& spec, const double* values,
                        const Settings& settings, const std::atomic<bool>* stop = nullptr);

}  // namespace kavo
