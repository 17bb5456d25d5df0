// A binomial proportion equal to a given p0; p0 is part of the hypothesis,
// not of the posterior.

#include <cmath>

#include "hypotheses/registry.hpp"

namespace {

bool parameters_valid(const double* v) {
  return v[0] > 1.0 && v[1] > 1.0 && v[2] > 0.0 && v[2] < 1.0;
}

// The hypothesis is the single point (p0, 1 - p0).
void proportion_point(const double* v, double* p) {
  p[0] = v[2];
  p[1] = 1.0 - v[2];
}


// c categories: A1 .. Ac, then the hypothesis p1 .. pc.
bool categories_valid(kavo::Shape s) {
  return s.rows == 1 && s.columns >= 2 && s.columns <= kavo::kMaxCells;
}

kavo::DirichletLayout one_block(kavo::Shape s) { return {2 * s.columns, s.columns, {1, {s.columns}}}; }

bool hypothesis_values_valid(kavo::Shape s, const double* v);

bool categories_parameters_valid(kavo::Shape s, const double* v) {
  return kavo::all_greater_than_one(v, s.columns) && hypothesis_values_valid(s, v);
}

// The hypothesis is the single point p0.
void proportion_point_shaped(kavo::Shape s, const double* v, double* p) {
  for (int i = 0; i < s.columns; ++i) p[i] = v[s.columns + i];
}

// Two categories are the fixed shape, whose values are A1 A2 p0.
bool hypothesis_values_valid(kavo::Shape s, const double* v) {
  if (s.columns == 2) return v[2] > 0.0 && v[2] < 1.0;
  double sum = 0.0;
  for (int i = 0; i < s.columns; ++i) {
    if (!(v[s.columns + i] > 0.0 && v[s.columns + i] < 1.0)) return false;
    sum += v[s.columns + i];
  }
  return std::fabs(sum - 1.0) <= kavo::kProbabilitySumTolerance;
}

void precise_point(kavo::Shape s, const double* v, long double* p) {
  if (s.columns == 2) {
    p[0] = v[2];
    p[1] = 1.0L - v[2];
    return;
  }
  for (int i = 0; i < s.columns; ++i) p[i] = v[s.columns + i];
}

// A point: no free parameter.
int point_dimension(kavo::Shape) { return 0; }

std::string category_name(kavo::Shape s, int i) {
  std::string name(1, i < s.columns ? 'A' : 'p');
  return name += std::to_string(i % s.columns + 1);
}

}  // namespace

namespace kavo {

const HypothesisSpec kProportion{
    Hypothesis::proportion, "proportion", "kavoprop",
    // what the front ends show: option, command, title, description, shapes,
    // Monte Carlo limit
    {"", "", "a proportion equal to p0",
     "the first of two categories has probability p0",
     ShapeKind::categories, 1e8},
    // the fixed shape: values, their names, cells, blocks, validation, point
    3, {"A1", "A2", "p0"}, 2, {1, {2}}, parameters_valid, proportion_point,
    // the fixed shape itself, then the rules for every other shape
    {1, 2},
    {categories_valid,
     one_block,
     categories_parameters_valid,
     proportion_point_shaped,
     category_name},
    {hypothesis_values_valid, precise_point, point_dimension}};

}  // namespace kavo
