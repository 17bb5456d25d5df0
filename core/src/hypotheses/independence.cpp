// Independence of rows and columns in a 2x2 table (cells A11 A12 A21 A22).

#include "hypotheses/rectangular_table.hpp"
#include "hypotheses/registry.hpp"

namespace {

bool parameters_valid(const double* a) { return kavo::all_greater_than_one(a, 4); }

// The product of the two marginal modes: the first row's r and the first
// column's c, each (pooled A - 1) over the sum of all four (A - 1).
void independence_point(const double* a, double* p) {
  const double s = a[0] + a[1] + a[2] + a[3];
  const double r = (a[0] + a[1] - 2.0) / (s - 4.0);
  const double c = (a[0] + a[2] - 2.0) / (s - 4.0);
  p[0] = r * c;
  p[1] = (1.0 - c) * r;
  p[2] = (1.0 - r) * c;
  p[3] = 1.0 - p[0] - p[1] - p[2];
}


// The product of the marginal modes: each row's share and each column's share
// of the excesses a - 1.
template <class Real>
void independence_point_shaped(kavo::Shape s, const double* a, Real* p) {
  Real row[kavo::kMaxCells] = {}, column[kavo::kMaxCells] = {}, total = 0;
  for (int i = 0; i < s.rows; ++i) {
    for (int j = 0; j < s.columns; ++j) {
      const Real e = static_cast<Real>(a[i * s.columns + j]) - 1;
      row[i] += e;
      column[j] += e;
      total += e;
    }
  }
  for (int i = 0; i < s.rows; ++i) {
    for (int j = 0; j < s.columns; ++j) p[i * s.columns + j] = (row[i] / total) * (column[j] / total);
  }
}

// Rows and columns free: (r - 1) + (c - 1).
int margins_dimension(kavo::Shape s) { return s.rows + s.columns - 2; }

}  // namespace

namespace kavo {

const HypothesisSpec kIndependence{
    Hypothesis::independence, "independence", "kavoind",
    // what the front ends show: option, command, title, description, shapes,
    // Monte Carlo limit
    {"", "", "independence of rows and columns",
     "the rows and the columns of a 2x2 table are independent",
     ShapeKind::table, 1e12},
    // the fixed shape: values, their names, cells, blocks, validation, point
    4, {"A11", "A12", "A21", "A22"}, 4, {1, {4}}, parameters_valid, independence_point,
    // the fixed shape itself, then the rules for every other shape
    {2, 2},
    {kavo::rectangle_valid,
     kavo::one_rectangular_block,
     kavo::all_cells_valid,
     independence_point_shaped<double>,
     kavo::rectangle_name},
    {nullptr, independence_point_shaped<long double>, margins_dimension}};

}  // namespace kavo
