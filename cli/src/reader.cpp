#include "reader.hpp"

#include <cerrno>

#include "messages.hpp"
#include "number_parse.hpp"

namespace kavo::cli {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

bool is_whitespace_separator(char c) { return c == ' ' || c == '\t' || c == ',' || c == '\r'; }

std::string_view without_line_end(std::string_view line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  return line;
}

// Whether `c` occurs outside quoted fields.
bool occurs_unquoted(std::string_view line, char c) {
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '"') {
      quoted = !quoted;  // '""' toggles twice, as it should
    } else if (!quoted && line[i] == c) {
      return true;
    }
  }
  return false;
}

// Reads a quoted field starting at line[pos] == '"'; text up to the next
// separator after the closing quote is kept too, as CSV readers do.
bool read_quoted(std::string_view line, std::size_t& pos, Field& field, std::string& problem) {
  ++pos;
  while (true) {
    if (pos >= line.size()) {
      problem = "unterminated quoted field";
      return false;
    }
    const char c = line[pos++];
    if (c != '"') {
      field.text.push_back(c);
    } else if (pos < line.size() && line[pos] == '"') {
      field.text.push_back('"');
      ++pos;
    } else {
      return true;
    }
  }
}

bool split_whitespace(std::string_view line, std::vector<Field>& fields, std::string& problem) {
  std::size_t pos = 0;
  while (true) {
    while (pos < line.size() && is_whitespace_separator(line[pos])) ++pos;
    if (pos >= line.size()) return true;
    Field field;
    if (line[pos] == '"') {
      field.quoted = true;
      if (!read_quoted(line, pos, field, problem)) return false;
    }
    while (pos < line.size() && !is_whitespace_separator(line[pos])) field.text.push_back(line[pos++]);
    fields.push_back(std::move(field));
  }
}

bool split_on(std::string_view line, char separator, std::vector<Field>& fields,
              std::string& problem) {
  std::size_t pos = 0;
  while (true) {
    Field field;
    while (pos < line.size() && line[pos] != separator && is_blank(line[pos])) ++pos;
    if (pos < line.size() && line[pos] == '"') {
      field.quoted = true;
      if (!read_quoted(line, pos, field, problem)) return false;
    }
    while (pos < line.size() && line[pos] != separator) field.text.push_back(line[pos++]);
    if (!field.quoted) {
      while (!field.text.empty() && is_blank(field.text.back())) field.text.pop_back();
    }
    fields.push_back(std::move(field));
    if (pos >= line.size()) return true;
    ++pos;  // the separator
  }
}

}  // namespace

bool split_fields(std::string_view line, Separator separator, std::vector<Field>& fields,
                  std::string& problem) {
  fields.clear();
  problem.clear();
  line = without_line_end(line);
  const char own = separator == Separator::tab ? '\t' : ',';
  if (separator == Separator::whitespace || !occurs_unquoted(line, own)) {
    return split_whitespace(line, fields, problem);
  }
  return split_on(line, own, fields, problem);
}

Separator detect_separator(std::string_view line) {
  line = without_line_end(line);
  if (occurs_unquoted(line, '\t')) return Separator::tab;
  if (occurs_unquoted(line, ',')) return Separator::comma;
  return Separator::whitespace;
}

bool is_skipped_line(std::string_view line) {
  for (char c : line) {
    if (c == '#') return true;
    if (!is_whitespace_separator(c) && c != '\n') return false;
  }
  return true;
}

bool LineReader::next(std::string& line, bool& too_long) {
  line.clear();
  too_long = false;
  bool any = false;
  errno = 0;
  int c;
  while ((c = getc_unlocked(in_)) != EOF) {
    any = true;
    ++bytes_;
    if (c == '\n') break;
    if (line.size() < kMaxLineBytes) {
      line.push_back(static_cast<char>(c));
    } else {
      too_long = true;
    }
  }
  if (c == EOF && std::ferror(in_)) {
    errno_ = errno;
    return false;
  }
  if (!any) return false;
  if (line_number_++ == 0 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
  return true;
}

namespace {

bool is_number(const Field& field) {
  double scratch = 0.0;
  return parse_decimal(field.text, scratch);
}

TableRow read_automatic(const std::vector<Field>& all, const Program& program) {
  TableRow row;
  std::vector<const Field*> fields;
  for (const Field& f : all) {
    if (f.quoted || !f.text.empty()) fields.push_back(&f);
  }
  std::size_t first = 0;
  if (!fields.empty() && !is_number(*fields[0])) {
    row.has_label = true;
    row.label = fields[0]->text;
    first = 1;
  }
  const int n = program.value_count;
  const std::size_t rest = fields.size() - first;
  if (rest != static_cast<std::size_t>(n)) {
    std::size_t numbers = 0;
    for (std::size_t i = first; i < fields.size(); ++i) numbers += is_number(*fields[i]) ? 1 : 0;
    row.error = "expected " + std::to_string(n) + " numbers" +
                (row.has_label ? " after the label" : "") + ", found " + std::to_string(numbers);
    if (numbers < rest) {
      row.error += " and " + std::to_string(rest - numbers) + " other field" +
                   (rest - numbers == 1 ? "" : "s");
    } else if (!row.has_label && numbers == static_cast<std::size_t>(n) + 1) {
      row.error += " (a numeric label? see --label-column)";
    }
    return row;
  }
  for (int i = 0; i < n; ++i) {
    const std::string& text = fields[first + static_cast<std::size_t>(i)]->text;
    if (!parse_decimal(text, row.values[i])) {
      row.error = invalid_number(program.value_names[i], printable(text));
      return row;
    }
  }
  row.values_read = true;
  return row;
}

TableRow read_columns(const std::vector<Field>& fields, const TableLayout& layout,
                      const Program& program) {
  TableRow row;
  const auto missing = [&](int index) {
    return "no column " + std::to_string(index + 1) + " (the line has " +
           std::to_string(fields.size()) + " field" + (fields.size() == 1 ? "" : "s") + ")";
  };
  if (layout.label_index >= 0) {
    if (static_cast<std::size_t>(layout.label_index) < fields.size()) {
      row.label = fields[static_cast<std::size_t>(layout.label_index)].text;
      row.has_label = true;
    }
  }
  for (int i = 0; i < program.value_count; ++i) {
    const auto index = static_cast<std::size_t>(layout.value_index[i]);
    if (index >= fields.size()) {
      row.error = missing(layout.value_index[i]);
      return row;
    }
    if (!parse_decimal(fields[index].text, row.values[i])) {
      row.error = invalid_number(program.value_names[i], printable(fields[index].text));
      return row;
    }
  }
  if (layout.label_index >= 0 && !row.has_label) {
    row.error = missing(layout.label_index);
    return row;
  }
  row.values_read = true;
  return row;
}

}  // namespace

TableRow read_table(const std::vector<Field>& fields, const TableLayout& layout,
                    const Program& program) {
  return layout.by_columns ? read_columns(fields, layout, program)
                           : read_automatic(fields, program);
}

bool looks_like_header(const std::vector<Field>& fields, const TableLayout& layout) {
  if (!layout.by_columns) {
    for (const Field& f : fields) {
      if (is_number(f)) return false;
    }
    return true;
  }
  for (int i = 0; i < layout.value_count; ++i) {
    const auto index = static_cast<std::size_t>(layout.value_index[i]);
    if (index < fields.size() && is_number(fields[index])) return false;
  }
  return true;
}

std::string printable(std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7f) {
      out += "\\x";
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    } else {
      out.push_back(ch);
    }
  }
  return out;
}

}  // namespace kavo::cli
