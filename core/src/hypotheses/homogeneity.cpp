// Homogeneity of two binomial proportions, one per row of a 2x2 table; each
// row is its own Beta posterior.

#include "hypotheses/rectangular_table.hpp"
#include "hypotheses/registry.hpp"

namespace {

bool parameters_valid(const double* a) { return kavo::all_greater_than_one(a, 4); }

// Both rows at the common proportion t: the first column pooled over both
// rows, over the whole table (each parameter less 1).
void homogeneity_point(const double* a, double* p) {
  const double s = a[0] + a[1] + a[2] + a[3];
  const double t = (a[0] + a[2] - 2.0) / (s - 4.0);
  const double u = 1.0 - t;
  p[0] = t;
  p[1] = u;
  p[2] = t;
  p[3] = u;
}


// Every row at the pooled category shares: each column's share of the
// excesses a - 1 over the whole table.
template <class Real>
void homogeneity_point_shaped(kavo::Shape s, const double* a, Real* p) {
  Real column[kavo::kMaxCells] = {}, total = 0;
  for (int i = 0; i < s.rows; ++i) {
    for (int j = 0; j < s.columns; ++j) {
      const Real e = static_cast<Real>(a[i * s.columns + j]) - 1;
      column[j] += e;
      total += e;
    }
  }
  for (int i = 0; i < s.rows; ++i) {
    for (int j = 0; j < s.columns; ++j) p[i * s.columns + j] = column[j] / total;
  }
}

// Each row is its own Dirichlet block.
kavo::DirichletLayout row_blocks(kavo::Shape s) {
  const int cells = s.rows * s.columns;
  return {cells, cells, kavo::equal_blocks(s.rows, s.columns)};
}

// One set of category shares: c - 1.
int shares_dimension(kavo::Shape s) { return s.columns - 1; }

}  // namespace

namespace kavo {

const HypothesisSpec kHomogeneity{
    Hypothesis::homogeneity, "homogeneity", "kavohomo",
    // what the front ends show: option, command, title, description, shapes,
    // Monte Carlo limit
    {"", "", "equal proportions in the two rows",
     "two binomial proportions, one per row of a 2x2 table, are equal",
     ShapeKind::table, 1e11},
    // the fixed shape: values, their names, cells, blocks, validation, point
    4, {"A11", "A12", "A21", "A22"}, 4, {2, {2, 2}}, parameters_valid, homogeneity_point,
    // the fixed shape itself, then the rules for every other shape
    {2, 2},
    {kavo::rectangle_valid,
     row_blocks,
     kavo::all_cells_valid,
     homogeneity_point_shaped<double>,
     kavo::rectangle_name},
    {nullptr, homogeneity_point_shaped<long double>, shares_dimension}};

}  // namespace kavo
