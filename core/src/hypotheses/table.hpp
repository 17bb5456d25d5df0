#pragma once
// A hypothesis at one shape: its layout and the rules for its values, the
// fixed shape's own arithmetic or the general rules.

#include "hypotheses/hypothesis_spec.hpp"

namespace kavo {

struct Table {
  const HypothesisSpec* spec;
  Shape shape;
  bool fixed;  // the hypothesis's fixed shape
  DirichletLayout layout;
};

// The table of the hypothesis's fixed shape.
Table fixed_table(const HypothesisSpec& spec);

// ok, or bad_shape (unknown hypothesis, or a shape it cannot take).
Status make_table(Hypothesis hypothesis, Shape shape, Table& table);

bool table_values_valid(const Table& table, const double* values);
// The values after the Dirichlet parameters (a proportion's p0) are acceptable.
bool table_other_values_valid(const Table& table, const double* values);
void table_point(const Table& table, const double* values, double* point);

}  // namespace kavo
