#include "reader.hpp"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

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
  if (line.find('"') == std::string_view::npos) return line.find(c) != std::string_view::npos;
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

// The next field of the line, reusing a string of an earlier line.
Field& next_field(std::vector<Field>& fields, std::size_t& count) {
  if (count == fields.size()) fields.emplace_back();
  Field& field = fields[count++];
  field.text.clear();
  field.quoted = false;
  return field;
}

bool split_whitespace(std::string_view line, std::vector<Field>& fields, std::size_t& count,
                      std::string& problem) {
  std::size_t pos = 0;
  while (true) {
    while (pos < line.size() && is_whitespace_separator(line[pos])) ++pos;
    if (pos >= line.size()) return true;
    Field& field = next_field(fields, count);
    if (line[pos] == '"') {
      field.quoted = true;
      if (!read_quoted(line, pos, field, problem)) return false;
    }
    const std::size_t start = pos;
    while (pos < line.size() && !is_whitespace_separator(line[pos])) ++pos;
    field.text.append(line, start, pos - start);
  }
}

bool split_on(std::string_view line, char separator, std::vector<Field>& fields,
              std::size_t& count, std::string& problem) {
  std::size_t pos = 0;
  while (true) {
    Field& field = next_field(fields, count);
    while (pos < line.size() && line[pos] != separator && is_blank(line[pos])) ++pos;
    if (pos < line.size() && line[pos] == '"') {
      field.quoted = true;
      if (!read_quoted(line, pos, field, problem)) return false;
    }
    std::size_t end = line.find(separator, pos);
    if (end == std::string_view::npos) end = line.size();
    field.text.append(line, pos, end - pos);
    pos = end;
    if (!field.quoted) {
      while (!field.text.empty() && is_blank(field.text.back())) field.text.pop_back();
    }
    if (pos >= line.size()) return true;
    ++pos;  // the separator
  }
}

}  // namespace

bool split_fields(std::string_view line, Separator separator, std::vector<Field>& fields,
                  std::string& problem) {
  problem.clear();
  line = without_line_end(line);
  const char own = separator == Separator::tab ? '\t' : ',';
  std::size_t count = 0;
  const bool split = separator == Separator::whitespace || !occurs_unquoted(line, own)
                         ? split_whitespace(line, fields, count, problem)
                         : split_on(line, own, fields, count, problem);
  fields.resize(count);
  return split;
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

LineReader::LineReader(std::FILE* in, bool (*stop)())
    : fd_(in != nullptr ? fileno(in) : -1), stop_(stop), buffer_(1 << 16) {}

bool LineReader::fill() {
  pos_ = end_ = 0;
  if (eof_ || errno_ != 0 || fd_ < 0) return false;
  while (true) {
    if (stop_ != nullptr && stop_()) return false;
    // Wait in steps, so a stop asked for on another thread is seen.
    pollfd p{fd_, POLLIN, 0};
    const int ready = poll(&p, 1, stop_ != nullptr ? 100 : -1);
    if (ready == 0 || (ready < 0 && errno == EINTR)) continue;
    const ssize_t got = read(fd_, buffer_.data(), buffer_.size());
    if (got > 0) {
      end_ = static_cast<std::size_t>(got);
      return true;
    }
    if (got == 0) {
      eof_ = true;
      return false;
    }
    if (errno == EINTR || errno == EAGAIN) continue;
    errno_ = errno;
    return false;
  }
}

bool LineReader::next(std::string& line, bool& too_long) {
  line.clear();
  too_long = false;
  bool any = false;
  while (true) {
    if (pos_ >= end_ && !fill()) break;
    any = true;
    const char* start = buffer_.data() + pos_;
    const std::size_t left = end_ - pos_;
    const void* newline = std::memchr(start, '\n', left);
    const std::size_t take =
        newline != nullptr ? static_cast<std::size_t>(static_cast<const char*>(newline) - start) : left;
    const std::size_t room = kMaxLineBytes - std::min(kMaxLineBytes, line.size());
    line.append(start, std::min(take, room));
    if (take > room) too_long = true;
    pos_ += take;
    bytes_ += take;
    if (newline != nullptr) {
      ++pos_;
      ++bytes_;
      break;
    }
  }
  if (!any || (errno_ != 0 && line.empty() && !too_long)) return false;
  if (line_number_++ == 0 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
  return true;
}

namespace {

bool is_number(const Field& field) {
  double scratch = 0.0;
  return parse_decimal(field.text, scratch);
}

// The markers of a missing value that spreadsheets, R and pandas write
// (pandas' default na_values, R's NA, an empty field).
bool is_missing_marker(std::string_view text) {
  static constexpr std::string_view kMarkers[] = {
      "", "NA", "N/A", "n/a", "#N/A", "#NA", "<NA>", "NaN", "nan", "-NaN", "-nan", "NAN",
      "NULL", "null", "None"};
  for (std::string_view marker : kMarkers) {
    if (text == marker) return true;
  }
  return false;
}

// inf, -Inf, +infinity, ... in any case.
bool is_infinity(std::string_view text) {
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) text.remove_prefix(1);
  const auto same = [&](std::string_view word) {
    if (text.size() != word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
      if ((text[i] | 0x20) != word[i]) return false;
    }
    return true;
  };
  return same("inf") || same("infinity");
}

// A field that stands for a value the number parser refuses: missing or infinite.
bool is_value_marker(const Field& field) {
  return !field.quoted && (is_missing_marker(field.text) || is_infinity(field.text));
}

// Reads the row's values from their texts; false, with the row's error set,
// when one is not a number. A malformed one is named (the first); else a
// missing value and an infinite one have their own reasons, in the library's
// order (missing first).
bool read_values(const std::vector<const std::string*>& texts, const Program& program,
                 TableRow& row) {
  bool missing = false;
  bool infinite = false;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    const std::string& text = *texts[i];
    if (parse_decimal(text, row.values[i])) continue;
    if (is_missing_marker(text)) {
      missing = true;
    } else if (is_infinity(text)) {
      infinite = true;
    } else {
      row.error = invalid_number(program.value_names[i], printable(text));
      return false;
    }
  }
  if (missing || infinite) {
    row.error = describe(missing ? Status::missing_value : Status::infinite_value);
    return false;
  }
  return true;
}

// The first field is a label when it is not a number, unless it is a value's
// marker (NA, inf) in a line that holds exactly the values.
// A number is a label too when the line has one field more than the values
// (a numeric id).
bool first_is_label(const std::vector<const Field*>& fields, std::size_t n) {
  if (fields.empty()) return false;
  if (fields.size() == n + 1) return true;
  if (is_number(*fields[0])) return false;
  return !(fields.size() == n && is_value_marker(*fields[0]));
}

bool fits(const std::vector<const Field*>& fields, std::size_t n) {
  return fields.size() == n + (first_is_label(fields, n) ? 1 : 0);
}

TableRow read_automatic(const std::vector<Field>& all, const Program& program) {
  TableRow row;
  const auto n = static_cast<std::size_t>(program.value_count);
  // Kept between calls on each thread: a row allocates nothing.
  thread_local std::vector<const Field*> fields;
  thread_local std::vector<const Field*> placed;
  thread_local std::vector<const std::string*> texts;
  fields.clear();
  for (const Field& f : all) {
    if (f.quoted || !f.text.empty()) fields.push_back(&f);
  }
  if (!fits(fields, n)) {
    // A tab or comma line whose empty fields hold the place of missing
    // values ("rs1,11,,3"): every field but the trailing empty ones.
    std::size_t end = all.size();
    while (end > 0 && !all[end - 1].quoted && all[end - 1].text.empty()) --end;
    placed.clear();
    for (std::size_t i = 0; i < end; ++i) placed.push_back(&all[i]);
    if (placed.size() != fields.size() && fits(placed, n)) fields.swap(placed);
  }
  std::size_t first = 0;
  if (first_is_label(fields, n)) {
    row.has_label = true;
    row.label = fields[0]->text;
    first = 1;
  }
  const std::size_t rest = fields.size() - first;
  if (rest != n) {
    std::size_t numbers = 0;
    for (std::size_t i = first; i < fields.size(); ++i) numbers += is_number(*fields[i]) ? 1 : 0;
    row.error = "expected " + std::to_string(n) + " numbers" +
                (row.has_label ? " after the label" : "") + ", found " + std::to_string(numbers);
    if (numbers < rest) {
      row.error += " and " + std::to_string(rest - numbers) + " other field" +
                   (rest - numbers == 1 ? "" : "s");
    }
    return row;
  }
  texts.clear();
  for (std::size_t i = first; i < fields.size(); ++i) texts.push_back(&fields[i]->text);
  if (!read_values(texts, program, row)) return row;
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
  thread_local std::vector<const std::string*> texts;
  texts.clear();
  for (int i = 0; i < program.value_count; ++i) {
    const auto index = static_cast<std::size_t>(layout.value_index[i]);
    if (index >= fields.size()) {
      row.error = missing(layout.value_index[i]);
      return row;
    }
    texts.push_back(&fields[index].text);
  }
  if (!read_values(texts, program, row)) return row;
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
