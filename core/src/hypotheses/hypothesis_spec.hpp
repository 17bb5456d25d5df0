#pragma once
// What distinguishes one hypothesis from another: plain data that every
// method and interface runs. Each hypothesis is one file of this folder; the
// registry is the only list of them.

#include <string>

#include "kavo/kavo.hpp"
#include "table_limits.hpp"

namespace kavo {

// The posterior as independent Dirichlet blocks over consecutive cells:
// {1, {4}} is one draw over four cells, {2, {2, 2}} two rows of two.
struct DirichletBlocks {
  int count;
  int sizes[kMaxCells];
};

// How a table of one shape is laid out.
struct TableLayout {
  int value_count;  // the values, Dirichlet parameters first
  int dimension;    // Dirichlet cells, the first values
  DirichletBlocks blocks;
};

// The hypothesis for tables of any shape it can take.
struct ShapeRules {
  bool (*valid)(Shape shape);
  TableLayout (*layout)(Shape shape);
  bool (*validate_parameters)(Shape shape, const double* values);
  void (*hypothesis_point)(Shape shape, const double* values, double* point);
  std::string (*value_name)(Shape shape, int i);
};

// What the exact method and the result's statistics need, for every shape
// the hypothesis takes, its fixed shape included.
struct ExactRules {
  // The values after the Dirichlet parameters (a proportion's p0) are
  // acceptable; nullptr when there are none.
  bool (*other_values_valid)(Shape shape, const double* values);
  // The hypothesis point in extended precision, where large tables need its
  // digits; parameters may be exactly 1.
  void (*precise_point)(Shape shape, const double* values, long double* point);
  // The dimension of the hypothesis: its free parameters (0 for a point).
  int (*dimension)(Shape shape);
};

struct HypothesisSpec {
  Hypothesis id;
  const char* name;          // "independence", ...
  const char* program_name;  // the command-line program that tests it
  // The fixed shape, with its own arithmetic: the programs' digits depend on
  // it to the last bit, so it is kept apart from the general rules.
  int value_count;           // N: the values, Dirichlet parameters first
  const char* value_names[4];
  int dimension;             // d: Dirichlet cells, the first d values
  DirichletBlocks blocks;
  // True when the values are acceptable (every Dirichlet parameter above 1, ...).
  bool (*validate_parameters)(const double* values);
  // The cell probabilities at which the log kernel is largest on the hypothesis.
  void (*hypothesis_point)(const double* values, double* point);
  Shape fixed_shape;
  ShapeRules shaped;
  ExactRules exact;
};

// True when every one of the first count values is strictly greater than 1,
// tested in order.
inline bool all_greater_than_one(const double* values, int count) {
  for (int i = 0; i < count; ++i) {
    if (!(values[i] > 1.0)) return false;
  }
  return true;
}

// "A" and the numbers, with an underscore between them once one reaches 10.
inline std::string cell_name(const char* prefix, int i, int j, bool wide) {
  return prefix + std::to_string(i) + (wide ? "_" : "") + std::to_string(j);
}

// Blocks of equal size covering count cells.
inline DirichletBlocks equal_blocks(int blocks, int size) {
  DirichletBlocks b{blocks, {}};
  for (int i = 0; i < blocks; ++i) b.sizes[i] = size;
  return b;
}

}  // namespace kavo
