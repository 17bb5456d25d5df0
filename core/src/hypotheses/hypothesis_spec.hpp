#pragma once
// What distinguishes one hypothesis from another: plain data that every
// method and interface runs, and what the front ends show of it. Each
// hypothesis is one file of this folder; the registry is the only list of
// them.

#include <string>

#include "kavo/kavo.hpp"

namespace kavo {

// The posterior as independent Dirichlet blocks over consecutive cells:
// {1, {4}} is one draw over four cells, {2, {2, 2}} two rows of two.
struct DirichletBlocks {
  int count;
  int sizes[kMaxCells];
};

// How a table of one shape is laid out.
struct DirichletLayout {
  int value_count;  // the values, Dirichlet parameters first
  int dimension;    // Dirichlet cells, the first values
  DirichletBlocks blocks;
};

// The hypothesis for tables of any shape it can take (shape_kind says which;
// for ShapeKind::fixed, no_other_shapes).
struct ShapeRules {
  bool (*valid)(Shape shape);
  DirichletLayout (*layout)(Shape shape);
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

// The most values of a fixed shape.
inline constexpr int kMaxFixedValues = 5;

// What the front ends show (see HypothesisDescription).
struct Presentation {
  const char* program_option;  // "" unless an option of the program selects it
  const char* command;         // with an option, the program and it: "kavohw --x-linked"
  const char* title;
  const char* description;
  ShapeKind shape_kind;
  // The largest Dirichlet parameter Monte Carlo takes (see monte_carlo_limit):
  // the at-mode shortfall measured with 2000000 draws, about 1e-4 at the
  // limit. A proportion loses 6e-5 at 1e8 and 6e-4 at 1e9; Hardy-Weinberg
  // 3.5e-5 at 1e11 and 4.5e-4 at 1e12; homogeneity 6.5e-6 at 1e11 and 3.4e-4
  // at 1e12; independence 1.9e-5 at 1e12 and 3.9e-4 at 1e13; X-linked
  // Hardy-Weinberg 2.2e-5 at 5e11 and 2e-4 at 7e12.
  double monte_carlo_limit;
};

struct HypothesisSpec {
  Hypothesis id;
  const char* name;          // "independence", ...
  const char* program_name;  // the command-line program that tests it
  Presentation shown;
  // The fixed shape, with its own arithmetic: the programs' digits depend on
  // it to the last bit, so it is kept apart from the general rules.
  int value_count;           // N: the values, Dirichlet parameters first
  const char* value_names[kMaxFixedValues];
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

// The rules of a hypothesis that takes its fixed shape only.
inline constexpr ShapeRules no_other_shapes{[](Shape) { return false; }, nullptr, nullptr, nullptr,
                                            nullptr};

// Blocks of equal size covering count cells.
inline DirichletBlocks equal_blocks(int blocks, int size) {
  DirichletBlocks b{blocks, {}};
  for (int i = 0; i < blocks; ++i) b.sizes[i] = size;
  return b;
}

}  // namespace kavo
