#pragma once
// The option form of the command line: batch mode, and one table given on
// the command line together with options. An argument starting with "--" is
// an option wherever it stands.

#include <cstdio>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "kavo/kavo.hpp"
#include "program.hpp"
#include "reader.hpp"

namespace kavo::cli {

// The option form's defaults: the exact method.
inline Settings exact_settings() {
  Settings s;
  s.method = Method::exact;
  return s;
}

struct RunOptions {
  bool batch = false;
  bool help = false;
  bool version = false;
  std::vector<std::string> operands;  // the input file (batch) or the table's values
  std::optional<std::string> output;  // null: standard output
  bool resume = false;
  bool strict = false;  // a failed row makes the batch run fail
  Settings settings = exact_settings();
  std::string method_text = "exact";  // as given, or the default
  bool method_given = false;
  std::set<std::string_view> given;   // the options given, by name
  double prior = 0.0;
  int threads = 1;
  int progress = -1;  // -1: on when standard error is a terminal
  int header = -1;    // -1: automatic, 0: none, 1: the first line is a header
  std::optional<ColumnRef> label_column;
  std::vector<ColumnRef> value_columns;
  // --shape, --alleles or --categories, as given (name, rows, columns).
  std::string shape_option;
  std::optional<Shape> shape;
  // An option that selects another hypothesis of the program ("x-linked").
  std::string hypothesis_option;
  // VCF input (kavohw only): the file or "-", and its selections.
  std::optional<std::string> vcf;
  std::string samples;   // a file, or a comma list; "^" first excludes
  std::string regions;   // chr:beg-end,... (needs an index)
  std::string sex_file;  // sample<TAB>sex lines (1/M male, 2/F female)
};

// True when some argument starts with "--": the option form.
bool uses_options(int argc, char** argv);

// Reads the options. Returns an empty string, or the message of the first
// problem (unknown option, malformed or missing value, conflicting options).
// An option selecting another hypothesis (--x-linked) makes program that
// hypothesis's, and a shape option the program at that shape.
std::string parse_options(int argc, char** argv, Program& program, RunOptions& options);

// The option part of --help.
void print_option_usage(std::FILE* stream, const char* program);

}  // namespace kavo::cli
