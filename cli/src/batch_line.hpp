#pragma once
// One line of batch input read the automatic way: an optional label, then
// the program's N numbers, fields split on tabs, commas and runs of spaces.

#include <string>
#include <string_view>

#include "program.hpp"

namespace kavo::cli {

enum class LineKind {
  skip,   // blank, or a comment starting with '#'
  table,  // a table, well formed or not (see BatchLine::error)
};

struct BatchLine {
  LineKind kind = LineKind::skip;
  bool has_label = false;
  std::string label;
  bool values_read = false;         // all N values parsed (before the prior)
  double values[kMaxValues] = {};
  std::string error;                // empty when the values are well formed
  bool all_fields_non_numeric = false;  // no field parses as a number (a header line)
};

BatchLine parse_batch_line(std::string_view line, const Program& program);

}  // namespace kavo::cli
