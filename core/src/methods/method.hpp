#pragma once
// A method turns a validated table and its threshold into the evidence. The
// hypotheses know nothing of methods, and a method knows a hypothesis only
// through its table. A method is one description (MethodSpec): a new method
// is its file, its enumerator and its line in methods/registry.hpp.

#include <atomic>
#include <cstdint>
#include <limits>

#include "hypotheses/table.hpp"
#include "kavo/kavo.hpp"

namespace kavo {

struct MethodInput {
  const Table& table;
  const double* values;  // validated, table.layout.value_count of them
  const double* point;   // the hypothesis point, table.layout.dimension cells
  double f_star;         // Monte Carlo: the log kernel at the point, finite
  double gap;            // the largest log kernel less its value at the point, >= 0
  double gap_error;      // the gap's rounding
};

struct MethodOutput {
  Status status = Status::ok;
  double evidence = 0.0;
  double error = 0.0;
  std::int64_t draws = 0;
  // Where the method knows it beyond the evidence's own range; else NaN.
  double log10_evidence = std::numeric_limits<double>::quiet_NaN();
};

// Everything about a method: what front ends show of it, which values it
// takes, and its computation.
struct MethodSpec {
  MethodDescription shown;
  // ok, or why the method cannot take the table's values (after the checks
  // every method shares: missing and infinite values).
  Status (*check_values)(const Table& table, const double* values);
  // Whether it needs the log kernel at the hypothesis point (f_star), finite.
  bool needs_threshold;
  // stop, when set, may cancel the run.
  MethodOutput (*compute)(const MethodInput& input, const Settings& settings,
                          const std::atomic<bool>* stop);
};

// When none of n draws reached the threshold, or all did, both half-widths
// are 0, which would claim certainty. The error reported is instead the
// score interval's bound with the check's own constant: 6.7 / (n + 6.7).
double all_alike_bound(std::int64_t draws);


}  // namespace kavo
