#pragma once
// What distinguishes one program of the family from another: plain data that
// the shared driver runs.

#include "kavo/estimator.hpp"

namespace kavo {

inline constexpr int kMaxValues = 4;

struct HypothesisSpec {
  const char* program_name;  // for --version
  const char* placeholder;   // the parameters in the usage line, e.g. "<A11> <A12> <A21> <A22>"
  int value_count;           // N: numbers read from argv[1] .. argv[N]
  const char* value_names[kMaxValues];  // argument names for error messages
  int dimension;             // d: Dirichlet cells, the first d values
  SamplerLayout layout;
  // True when the values are acceptable (every Dirichlet parameter above 1, ...).
  bool (*validate_parameters)(const double* values);
  // The cell probabilities at which the log kernel is largest on the hypothesis.
  void (*hypothesis_point)(const double* values, double* point);
};

// True when every one of the first count values is strictly greater than 1,
// tested in order.
inline bool all_greater_than_one(const double* values, int count) {
  for (int i = 0; i < count; ++i) {
    if (!(values[i] > 1.0)) return false;
  }
  return true;
}

}  // namespace kavo
