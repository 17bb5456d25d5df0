#pragma once
// Tables of rows x columns cells, read row by row: what independence,
// symmetry and homogeneity share for shapes beyond 2x2.

#include <string>

#include "hypotheses/hypothesis_spec.hpp"

namespace kavo {

inline bool rectangle_valid(Shape s) {
  return s.rows >= 2 && s.columns >= 2 && s.rows * s.columns <= kMaxCells;
}

inline std::string rectangle_name(Shape s, int i) {
  return cell_name("A", i / s.columns + 1, i % s.columns + 1, s.rows >= 10 || s.columns >= 10);
}

inline bool all_cells_valid(Shape s, const double* a) {
  return all_greater_than_one(a, s.rows * s.columns);
}

// One Dirichlet block over every cell.
inline DirichletLayout one_rectangular_block(Shape s) {
  const int cells = s.rows * s.columns;
  return {cells, cells, {1, {cells}}};
}

}  // namespace kavo
