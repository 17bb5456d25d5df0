#pragma once
// The largest tables the core handles: every fixed-size array of values,
// cells and samples is this long.

namespace kavo {

inline constexpr int kMaxValues = 4;  // values of one table, p0 included
inline constexpr int kMaxCells = 4;   // Dirichlet cells

}  // namespace kavo
