#pragma once
// The tab-separated output table: its header, its rows, and the stream it
// goes to, with every write checked.

#include <cerrno>
#include <cstdio>
#include <charconv>
#include <string>
#include <string_view>
#include <vector>

#include "kavo/kavo.hpp"
#include "program.hpp"
#include "reader.hpp"
#include "row_source.hpp"

namespace kavo::cli {

// A label or a column name as a field of tab-separated output: quoted, with
// quotes doubled, when it holds a quote, a tab or a line end, so that readers
// of tab-separated files with CSV quoting (R's read.delim, pandas' read_csv
// with sep="\t") read it back exactly; otherwise as it is. Other control
// bytes (a NUL, an escape) are written as \xHH: readers truncate or drop at
// them, and a terminal would obey them.
std::string tsv_field(std::string_view text);
void append_field(std::string& out, std::string_view text);
// The shortest text that reads back to the same double.
void append_number(std::string& out, double value);
// The double in the given format and precision (std::to_chars's).
void append_number(std::string& out, double value, std::chars_format format, int precision);

struct OutputColumns {
  std::vector<std::string> leading;  // columns before the label and values
  bool labelled = false;
  std::string label_name = "label";
  std::vector<std::string> value_names;  // the program's N names, or the input's
  bool prior_column = false;             // a `prior` column after the values
  Method method = Method::exact;
};

std::string header_line(const OutputColumns& columns);

// The part of a row before the evidence: label and values (NA when unread).
std::string row_prefix(const OutputColumns& columns, const TableRow& row, int value_count);

// The values as every row echoes them (NA for each when they were not read),
// each followed by a tab.
void append_values(std::string& out, const double* values, int count, bool read);

// A row's fields before its result: the leading fields, the values as
// given, and the prior when it has a column.
void append_echo(std::string& out, const RowInput& row);

// The evidence, the draws, the error figure, log10_evidence, sev, g2 and df,
// or NA for each; with the line end.
std::string row_result(const Result* result);
void append_result(std::string& out, const Result* result);

// The result fields of a row that has no evidence (without the line end).
inline constexpr std::string_view kFailedResult = "NA\tNA\tNA\tNA\tNA\tNA\tNA";

// Whether text (without the line end) is a computed row's seven result
// fields as append_result writes them: an evidence in [0, 1], whole draws,
// numbers that read back, a whole df.
bool is_computed_result(std::string_view text);

// Where the table goes: standard output or a file. Remembers the first
// failed write; a closed pipe is told apart so the run can end quietly.
class Output {
 public:
  explicit Output(std::FILE* stream) : stream_(stream) {}
  void write(const std::string& text);
  void flush();
  // For a pipe: whether its reader has gone (checked without writing), so
  // a run stops promptly even while no row is ready to be written.
  void check_reader();
  void fail(int error_number) { if (errno_ == 0) errno_ = error_number; }
  bool failed() const { return errno_ != 0; }
  bool pipe_closed() const { return errno_ == EPIPE; }
  int error_number() const { return errno_; }

 private:
  std::FILE* stream_;
  int errno_ = 0;
  int is_pipe_ = -1;  // -1: not yet known
};

}  // namespace kavo::cli
