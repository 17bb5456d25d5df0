#pragma once
// What distinguishes one hypothesis from another: plain data that every
// method and interface runs. Each hypothesis is one file of this folder; the
// registry is the only list of them.

#include "kavo/kavo.hpp"
#include "table_limits.hpp"

namespace kavo {

// The posterior as independent Dirichlet blocks over consecutive cells:
// {1, {4}} is one draw over four cells, {2, {2, 2}} two rows of two.
struct DirichletBlocks {
  int count;
  int sizes[kMaxCells];
};

struct HypothesisSpec {
  Hypothesis id;
  const char* name;          // "independence", ...
  const char* program_name;  // the command-line program that tests it
  int value_count;           // N: the values, Dirichlet parameters first
  const char* value_names[kMaxValues];
  int dimension;             // d: Dirichlet cells, the first d values
  DirichletBlocks blocks;
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
