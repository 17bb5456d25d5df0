#include "batch_line.hpp"

#include <vector>

#include "reader.hpp"

namespace kavo::cli {

BatchLine parse_batch_line(std::string_view line, const Program& program) {
  BatchLine out;
  if (is_skipped_line(line)) return out;
  out.kind = LineKind::table;
  std::vector<Field> fields;
  if (!split_fields(line, Separator::whitespace, fields, out.error)) return out;
  TableLayout layout;
  layout.value_count = program.value_count;
  out.all_fields_non_numeric = looks_like_header(fields, layout);
  TableRow row = read_table(fields, layout, program);
  out.has_label = row.has_label;
  out.label = std::move(row.label);
  out.values_read = row.values_read;
  for (int i = 0; i < kMaxValues; ++i) out.values[i] = row.values[i];
  out.error = std::move(row.error);
  return out;
}

}  // namespace kavo::cli
