#include "batch_line.hpp"


#include "number_parse.hpp"
#include "messages.hpp"

namespace kavo::cli {

namespace {

bool is_separator(char c) { return c == ' ' || c == '\t' || c == ',' || c == '\r'; }

}  // namespace

BatchLine parse_batch_line(std::string_view line, const Program& spec) {
  BatchLine out;
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);

  // Fields, at most N + 2 kept: enough to tell a label and to count extras.
  // Every field counts toward telling a header, kept or not.
  std::string_view fields[kMaxValues + 2];
  int count = 0;
  int total = 0;
  bool any_number = false;
  double scratch = 0.0;
  std::size_t pos = 0;
  while (true) {
    while (pos < line.size() && is_separator(line[pos])) ++pos;
    if (pos >= line.size()) break;
    const std::size_t start = pos;
    while (pos < line.size() && !is_separator(line[pos])) ++pos;
    const std::string_view field = line.substr(start, pos - start);
    if (count < kMaxValues + 2) fields[count++] = field;
    if (!any_number) any_number = parse_decimal(field, scratch);
    ++total;
  }
  if (total == 0 || fields[0].front() == '#') return out;

  out.kind = LineKind::table;
  out.all_fields_non_numeric = !any_number;

  int first = 0;
  if (!parse_decimal(fields[0], scratch)) {
    out.has_label = true;
    out.label = std::string(fields[0]);
    first = 1;
  }
  const int n = spec.value_count;
  const int numbers = total - first;
  if (numbers != n) {
    out.error = "expected " + std::to_string(n) + " numbers" +
                (out.has_label ? " after the label" : "") + ", found " + std::to_string(numbers);
    return out;
  }
  for (int i = 0; i < n; ++i) {
    const std::string_view text = fields[first + i];
    if (!parse_decimal(text, out.values[i])) {
      out.error = invalid_number(spec.value_names[i], text);
      return out;
    }
  }
  out.values_read = true;
  return out;
}

}  // namespace kavo::cli
