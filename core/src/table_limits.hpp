#pragma once
// The largest tables the core handles: every fixed-size array of values,
// cells and samples is this long.

#include "kavo/kavo.hpp"

namespace kavo {

inline constexpr int kMaxValues = 2 * kMaxCells;  // a proportion's A1 .. Ac and p1 .. pc

}  // namespace kavo
