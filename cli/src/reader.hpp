#pragma once
// Reading batch input: records (one per line) split into fields, quoted the
// way CSV readers quote, and the fields of a record turned into a table.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "program.hpp"

namespace kavo::cli {

// How a line is split into fields.
enum class Separator {
  whitespace,  // tabs, commas and runs of spaces, empty fields dropped
  tab,         // tabs only; spaces around a field are trimmed, spaces inside kept
  comma,       // commas only; likewise
};

struct Field {
  std::string text;     // without its quotes
  bool quoted = false;  // written between double quotes
};

// Splits one line (without its '\n'; a trailing '\r' is ignored). A field
// that starts with '"' ends at the next lone '"'; '""' inside is a quote, and
// separators inside belong to the field. A tab or comma line without its
// separator outside quotes is split the whitespace way, so mixed files that
// read before still read. Returns false, with `problem` set, on an
// unterminated quote (quoted fields end on their line).
bool split_fields(std::string_view line, Separator separator, std::vector<Field>& fields,
                  std::string& problem);

// The separator of a file whose first non-blank, non-comment line is `line`:
// tab when it has a tab outside quotes, else comma when it has a comma, else
// whitespace.
Separator detect_separator(std::string_view line);

// True for a line to skip: blank, or starting with '#' after blanks.
bool is_skipped_line(std::string_view line);

// Reads lines, with a bounded length, from a stream's file descriptor in
// large blocks (the stream itself is not read through); a UTF-8 byte-order
// mark at the start is skipped. While nothing is buffered it waits for input
// in short steps and gives up once `stop` says so, whichever thread the
// signal that asked for it reached.
class LineReader {
 public:
  explicit LineReader(std::FILE* in, bool (*stop)() = nullptr);
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;
  // The next line without its '\n'; false at end of input, on a read error
  // (see failed()) or when stopped. A line longer than the limit is consumed
  // to its end and flagged too_long.
  bool next(std::string& line, bool& too_long);
  bool failed() const { return errno_ != 0; }
  int error_number() const { return errno_; }
  std::uint64_t bytes() const { return bytes_; }
  long line_number() const { return line_number_; }
  // Whether the next line may need a read that waits (nothing buffered).
  bool may_wait() const { return pos_ >= end_ && !eof_; }

  static constexpr std::size_t kMaxLineBytes = 1 << 16;

 private:
  bool fill();

  int fd_;
  bool (*stop_)();
  std::vector<char> buffer_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  bool eof_ = false;
  std::uint64_t bytes_ = 0;
  long line_number_ = 0;
  int errno_ = 0;
};

// A column named in an option: by its header name, or by a 1-based position.
struct ColumnRef {
  std::string name;
  int position = 0;  // > 0: by position
};

// How records become tables.
struct TableLayout {
  // Automatic: an optional leading label (a first field that is not a
  // number) and exactly N numbers, empty fields ignored.
  bool by_columns = false;
  // By columns (0-based indices into a record's fields, empty fields counted).
  int label_index = -1;  // -1: no label column
  int value_index[kMaxValues] = {};
  int value_count = 0;   // the program's N
};

// A record read as a table.
struct TableRow {
  bool has_label = false;
  std::string label;
  bool values_read = false;  // all N values parsed
  double values[kMaxValues];  // the first N when values_read (left unset: rows are many)
  std::string error;         // why the row cannot be computed; empty when it can
};

// Reads a record's fields as a table. In the automatic layout an error says
// how many numbers were found, counting only fields that are numbers.
TableRow read_table(const std::vector<Field>& fields, const TableLayout& layout,
                    const Program& program);

// True when no field (of those the layout reads) is a number: a header.
bool looks_like_header(const std::vector<Field>& fields, const TableLayout& layout);

// Text shown in a message: control bytes (NUL, tab, newline, escape, DEL ...)
// written as \xHH, so a message stays one readable line and cannot drive the
// terminal. Other bytes, UTF-8 included, are kept.
std::string printable(std::string_view text);

}  // namespace kavo::cli
