// Symmetry of a paired 2x2 table: the two discordant cells equally likely.

#include "hypotheses/rectangular_table.hpp"
#include "hypotheses/registry.hpp"

namespace {

bool parameters_valid(const double* a) { return kavo::all_greater_than_one(a, 4); }

// The diagonal cells keep their own modes; the two discordant cells share
// what is left equally.
void symmetry_point(const double* a, double* p) {
  const double s = a[0] + a[1] + a[2] + a[3];
  const double p11 = (a[0] - 1.0) / (s - 4.0);
  const double p22 = (a[3] - 1.0) / (s - 4.0);
  const double q = (1.0 - p11 - p22) * 0.5;
  p[0] = p11;
  p[1] = q;
  p[2] = q;
  p[3] = p22;
}

bool square_valid(kavo::Shape s) {
  return s.rows >= 2 && s.rows == s.columns && s.rows * s.columns <= kavo::kMaxCells;
}

// Each diagonal cell keeps its mode; each pair of cells (i, j) and (j, i)
// shares its pooled mode equally.
template <class Real>
void symmetry_point_shaped(kavo::Shape s, const double* a, Real* p) {
  const int k = s.rows;
  const auto e = [a](int c) { return static_cast<Real>(a[c]) - 1; };
  Real total = 0;
  for (int c = 0; c < k * k; ++c) total += e(c);
  for (int i = 0; i < k; ++i) {
    p[i * k + i] = e(i * k + i) / total;
    for (int j = i + 1; j < k; ++j) {
      const Real pooled = (e(i * k + j) + e(j * k + i)) / (2 * total);
      p[i * k + j] = pooled;
      p[j * k + i] = pooled;
    }
  }
}

// A symmetric k x k table: k (k + 1) / 2 cells summing to 1.
int symmetric_dimension(kavo::Shape s) { return s.rows * (s.rows + 1) / 2 - 1; }

}  // namespace

namespace kavo {

const HypothesisSpec kSymmetry{
    Hypothesis::symmetry, "symmetry", "kavomcn",
    // what the front ends show: option, command, title, description, shapes,
    // Monte Carlo limit
    {"", "", "symmetry of a paired table",
     "the two discordant cells of a paired 2x2 table are equally likely",
     ShapeKind::square, 1e12},
    // the fixed shape: values, their names, cells, blocks, validation, point
    4, {"A11", "A12", "A21", "A22"}, 4, {1, {4}}, parameters_valid, symmetry_point,
    // the fixed shape itself, then the rules for every other shape
    {2, 2},
    {square_valid,
     kavo::one_rectangular_block,
     kavo::all_cells_valid,
     symmetry_point_shaped<double>,
     kavo::rectangle_name},
    {nullptr, symmetry_point_shaped<long double>, symmetric_dimension}};

}  // namespace kavo
