#pragma once
// One evidence computation for a table and its values: validate, find the
// hypothesis point, its threshold and gap, run the method, and add the
// table's statistics. No I/O.

#include <atomic>

#include "hypotheses/table.hpp"
#include "kavo/kavo.hpp"

namespace kavo {

// The log kernel at the hypothesis point of the HypothesisSpec's fixed shape.
double hypothesis_f_star(const HypothesisSpec& spec, const double* values);

// The hypothesis point and the log kernel there (Monte Carlo's threshold).
struct Threshold {
  double point[kMaxCells];
  double f_star;
};

// ok, or why the method cannot take the table's values (missing_value,
// infinite_value, refused_values, parameter_below_one, needs_exact_method,
// outside_exact_domain, parameters_too_large); when ok, threshold holds the
// point and, for Monte Carlo, a finite f_star.
Status validate_values(const Table& table, const double* values, Method method,
                       Threshold& threshold);

// The evidence for the table's values; stop, when set, cancels the run.
Result compute_evidence(const Table& table, const double* values, const Settings& settings,
                        const std::atomic<bool>* stop = nullptr);

// The same for the HypothesisSpec's fixed shape.
inline Result compute_evidence(const HypothesisSpec& spec, const double* values,
                               const Settings& settings, const std::atomic<bool>* stop = nullptr) {
  return compute_evidence(fixed_table(spec), values, settings, stop);
}

}  // namespace kavo
