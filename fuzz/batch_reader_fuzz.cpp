// Batch mode on a fuzzed input file: exactly one output row per table line
// (plus the header), every failed row marked NA and named on standard error,
// the exit status 1 exactly when a row failed. The first byte picks the program.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz_support.hpp"
#include "number_parse.hpp"

namespace {

bool is_separator(char c) { return c == ' ' || c == '\t' || c == ',' || c == '\r'; }

// Counts table lines without the batch reader: lines with a field that do not
// start with '#', less a first such line with no number in it (a header).
int expected_tables(const std::string& input) {
  int tables = 0;
  bool first = true;
  std::size_t start = 0;
  while (start < input.size()) {
    std::size_t end = input.find('\n', start);
    if (end == std::string::npos) end = input.size();
    const std::string line = input.substr(start, end - start);
    start = end + 1;
    std::vector<std::string> fields;
    std::string field;
    for (char c : line + " ") {
      if (is_separator(c)) {
        if (!field.empty()) fields.push_back(field);
        field.clear();
      } else {
        field.push_back(c);
      }
    }
    if (fields.empty() || fields[0][0] == '#') continue;
    if (first) {
      first = false;
      bool any_number = false;
      double v;
      for (const std::string& f : fields) any_number = any_number || kavo::cli::parse_decimal(f, v);
      if (!any_number) continue;
    }
    ++tables;
  }
  return tables;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || size > 4096) return 0;
  const kavo::HypothesisSpec& spec = kavo_fuzz::spec_by_index(data[0]);
  const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (input.find('\0') != std::string::npos) return 0;
  const int tables = expected_tables(input);
  if (tables > 24) return 0;  // each computable row makes 10000 draws

  static const std::string path = [] {
    char name[] = "/tmp/kavo-fuzz-batch-XXXXXX";
    const int fd = mkstemp(name);
    if (fd >= 0) close(fd);
    return std::string(name);
  }();
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(input.data(), 1, input.size(), f);
  std::fclose(f);

  const kavo_fuzz::Run run = kavo_fuzz::run_driver(
      spec, {spec.program_name, "--batch", path, "--maxMC", "0", "--threads", "1", "--no-progress"});
  int rows = 0, na_rows = 0;
  std::size_t start = 0;
  while (start < run.out.size()) {
    std::size_t end = run.out.find('\n', start);
    kavo_fuzz::require(end != std::string::npos, "every output row ends with a newline", run.out);
    const std::string row = run.out.substr(start, end - start);
    const std::string na = "\tNA\tNA\tNA";
    if (row.size() >= na.size() && row.compare(row.size() - na.size(), na.size(), na) == 0) ++na_rows;
    ++rows;
    start = end + 1;
  }
  int messages = 0;
  for (std::size_t at = run.err.find(" ERROR : line "); at != std::string::npos;
       at = run.err.find(" ERROR : line ", at + 1)) {
    ++messages;
  }
  kavo_fuzz::require(rows == tables + 1, "one output row per table line, plus the header",
                     input + "\n--- output ---\n" + run.out);
  kavo_fuzz::require(na_rows == messages, "each NA row has its message",
                     run.out + run.err + "rows " + std::to_string(na_rows) + " messages " + std::to_string(messages));
  kavo_fuzz::require(run.status == (na_rows > 0 ? 1 : 0), "exit 1 exactly when a row failed",
                     run.out + run.err);
  return 0;
}
