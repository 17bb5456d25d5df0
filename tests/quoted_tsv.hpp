#pragma once
// Reads tab-separated text with CSV quoting the way R's read.delim and pandas
// do: a field starting with '"' runs to the next lone '"', across tabs and
// line ends; '""' is a quote. The tests and the batch reader's fuzz target
// read the option form's output back with it, independently of the writer.

#include <string>
#include <vector>

namespace kavo_test {

// The rows of fields. well_formed turns false for what would confuse those
// readers: a quote inside an unquoted field, text after a closing quote, an
// unclosed quote, or a last line without its line end.
inline std::vector<std::vector<std::string>> read_quoted_tsv(const std::string& text,
                                                             bool& well_formed) {
  std::vector<std::vector<std::string>> rows(1);
  std::string field;
  bool quoted = false, at_start = true;
  well_formed = true;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
        if (i + 1 < text.size() && text[i + 1] != '\t' && text[i + 1] != '\n') well_formed = false;
      } else {
        field += c;
      }
    } else if (c == '"' && at_start) {
      quoted = true;
    } else if (c == '\t' || c == '\n') {
      rows.back().push_back(field);
      field.clear();
      at_start = true;
      if (c == '\n') rows.emplace_back();
      continue;
    } else {
      if (c == '"') well_formed = false;
      field += c;
    }
    at_start = false;
  }
  if (quoted || !field.empty() || !rows.back().empty()) well_formed = false;
  rows.pop_back();
  return rows;
}

}  // namespace kavo_test
