// Batch mode on a fuzzed input file (quotes, separators, byte-order marks and
// control bytes included): exactly one output row per table line plus the
// header, every output row the header's width (label, values and seven result
// columns) when read back as tab-separated text with CSV quoting, every failed
// row NA in all seven result fields and named on standard error in one
// printable line, the exit status (under --strict) 1 exactly when a row
// failed, and 0 without --strict. The first byte
// picks the program, whether columns are chosen by position, and the method:
// the default (exact) or Monte Carlo.

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz_support.hpp"
#include "quoted_tsv.hpp"
#include "reader.hpp"

namespace {

constexpr long kResultFields = 7;  // evidence draws error log10_evidence sev g2 df

// Lines that hold a table (or a header): not blank, not a comment. Counted
// here without the batch reader, from the raw bytes.
std::vector<std::string> content_lines(const std::string& input) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < input.size()) {
    std::size_t end = input.find('\n', start);
    if (end == std::string::npos) end = input.size();
    std::string line = input.substr(start, end - start);
    if (start == 0 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
    start = end + 1;
    std::size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == ',' || line[i] == '\r')) ++i;
    if (i < line.size() && line[i] != '#') lines.push_back(line);
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || size > 4096) return 0;
  const kavo::HypothesisSpec& spec = kavo_fuzz::spec_by_index(data[0]);
  const bool by_columns = (data[0] / 5) % 2 == 1;
  const bool monte_carlo = (data[0] / 10) % 2 == 1;
  const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::vector<std::string> lines = content_lines(input);
  if (lines.size() > 25) return 0;  // each computable row makes 10000 draws

  static const std::string path = [] {
    char name[] = "/tmp/kavo-fuzz-batch-XXXXXX";
    const int fd = mkstemp(name);
    if (fd >= 0) close(fd);
    return std::string(name);
  }();
  // A genotype report's header ("#CHROM ... HOM_A1_CT", "GENO") has its own
  // reading, with its own tests; the line counting here does not know it.
  if (input.find("_CT") != std::string::npos || input.find("GENO") != std::string::npos) return 0;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(input.data(), 1, input.size(), f);
  std::fclose(f);

  std::vector<std::string> argv = {spec.program_name, "--batch", path, "--threads", "1",
                                   "--no-progress", "--strict"};
  if (monte_carlo) argv.insert(argv.end(), {"--method", "monte_carlo", "--maxMC", "0"});
  if (by_columns) {
    std::string columns = "2";
    for (int i = 1; i < spec.value_count; ++i) columns += "," + std::to_string(i + 2);
    argv.insert(argv.end(), {"--label-column", "1", "--value-columns", columns});
  }
  const kavo_fuzz::Run run = kavo_fuzz::run_driver(spec, argv);

  // The first content line is a header exactly when the reader calls it one.
  bool header = false;
  if (!lines.empty()) {
    std::vector<kavo::cli::Field> fields;
    std::string problem;
    const kavo::cli::Separator sep = kavo::cli::detect_separator(lines[0]);
    kavo::cli::TableLayout layout;
    layout.value_count = spec.value_count;
    layout.by_columns = by_columns;
    for (int i = 0; i < spec.value_count; ++i) layout.value_index[i] = i + 1;
    header = kavo::cli::split_fields(lines[0], sep, fields, problem) &&
             kavo::cli::looks_like_header(fields, layout);
  }
  const std::size_t tables = lines.size() - (header ? 1 : 0);

  bool well_formed = true;
  const auto rows = kavo_test::read_quoted_tsv(run.out, well_formed);
  const std::string context = input + "\n--- output ---\n" + run.out + "--- errors ---\n" + run.err;
  kavo_fuzz::require(well_formed, "the output reads back as tab-separated text", context);
  kavo_fuzz::require(rows.size() == tables + 1, "one output row per table line, plus the header", context);
  const auto width = static_cast<std::size_t>(spec.value_count + kResultFields);
  kavo_fuzz::require(rows[0].size() == width || rows[0].size() == width + 1,
                     "the header names the values and the seven result columns", context);
  int na_rows = 0;
  for (std::size_t r = 1; r < rows.size(); ++r) {
    const auto& row = rows[r];
    kavo_fuzz::require(row.size() == rows[0].size(), "every row as wide as the header", context);
    const auto na = std::count(row.end() - kResultFields, row.end(), "NA");
    kavo_fuzz::require(na == 0 || na == kResultFields, "a row has all its results or none", context);
    if (na > 0) ++na_rows;
  }
  // Row messages are whole lines (a message may echo " ERROR : line " from the input).
  int messages = 0;
  const std::string row_message = std::string(spec.program_name) + " ERROR : line ";
  for (std::size_t at = 0; at < run.err.size(); at = run.err.find('\n', at) + 1) {
    if (run.err.compare(at, row_message.size(), row_message) == 0) ++messages;
    if (run.err.find('\n', at) == std::string::npos) break;
  }
  for (char c : run.err) {
    kavo_fuzz::require(c == '\n' || static_cast<unsigned char>(c) >= 0x20,
                       "messages hold no control bytes", context);
  }
  kavo_fuzz::require(na_rows == messages, "each NA row has its message", context);
  kavo_fuzz::require(run.status == (na_rows > 0 ? 1 : 0), "exit 1 exactly when a row failed", context);
  argv.erase(std::find(argv.begin(), argv.end(), "--strict"));
  const kavo_fuzz::Run lenient = kavo_fuzz::run_driver(spec, argv);
  kavo_fuzz::require(lenient.status == 0 && lenient.out == run.out,
                     "without --strict, the same table and exit 0", context);
  return 0;
}
