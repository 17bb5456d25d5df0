// The whole argument handling of each program, in-process on a fuzzed argv.
// Input: the first byte picks the program; the rest, split at newlines, is
// argv[1..]. The output file position is replaced by /dev/null (no file is
// written anywhere else) and maxMC is capped at 20000 so each run is quick.
// Property: an evidence is printed exactly when every value is a well-formed
// number that the program's validation accepts and the settings are well
// formed; every failure exits 1, every success 0.
// An argv with options (one table, no file) is the option form: see
// check_option_form.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_support.hpp"
#include "options.hpp"
#include "evidence.hpp"
#include "number_parse.hpp"
#include "quoted_tsv.hpp"

namespace {

// The option form on one table given as values (batch mode and --output,
// which read and write files, have their own target and tests). Property:
// exit 1 with nothing on standard output (a usage problem), or the header and
// one row as wide as it, whose seven result fields are all NA (exit 1) or
// none is (exit 0, an evidence in [0, 1]).
void check_option_form(const kavo::HypothesisSpec& spec, std::vector<std::string> argv) {
  bool monte_carlo = false;
  for (const std::string& a : argv) {
    if (a == "--batch" || a.rfind("--output", 0) == 0 || a == "-h" || a == "--help" ||
        a == "--version") {
      return;
    }
    monte_carlo = monte_carlo || a.find("monte_carlo") != std::string::npos;
  }
  if (monte_carlo) argv.push_back("--maxMC=20000");  // the last one counts: runs stay quick
  const kavo_fuzz::Run run = kavo_fuzz::run_driver(spec, argv);
  std::string call;
  for (const std::string& a : argv) call += "[" + a + "] ";
  const std::string context = call + "\n" + run.out + "--- errors ---\n" + run.err;
  bool well_formed = false;
  const auto rows = kavo_test::read_quoted_tsv(run.out, well_formed);
  if (rows.empty()) {
    kavo_fuzz::require(run.status == 1 && run.out.empty() && run.err.find(" ERROR : ") != std::string::npos,
                       "a usage problem exits 1 with a message and no table", context);
    return;
  }
  constexpr long kResultFields = 7;
  kavo_fuzz::require(well_formed && rows.size() == 2 && rows[1].size() == rows[0].size() &&
                         rows[0].size() >= static_cast<std::size_t>(spec.value_count + kResultFields),
                     "the header and one row as wide as it", context);
  const auto na = std::count(rows[1].end() - kResultFields, rows[1].end(), "NA");
  kavo_fuzz::require(na == 0 || na == kResultFields, "a row has all its results or none", context);
  kavo_fuzz::require(run.status == (na > 0 ? 1 : 0), "exit 1 exactly when the row failed", context);
  if (na == 0) {
    const double evidence = std::strtod(rows[1][rows[1].size() - kResultFields].c_str(), nullptr);
    kavo_fuzz::require(evidence >= 0.0 && evidence <= 1.0, "evidence lies in [0, 1]", context);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const kavo::HypothesisSpec& spec = kavo_fuzz::spec_by_index(data[0]);
  const int n = spec.value_count;
  std::vector<std::string> argv = {spec.program_name};
  std::string current;
  for (std::size_t i = 1; i < size; ++i) {
    if (data[i] == '\n') {
      argv.push_back(current);
      current.clear();
    } else {
      current.push_back(static_cast<char>(data[i]));
    }
  }
  if (size > 1) argv.push_back(current);
  if (argv.size() > 12) return 0;
  // A real argv entry ends at its first NUL.
  for (std::string& a : argv) a = a.substr(0, a.find('\0'));
  std::vector<char*> raw;
  for (std::string& a : argv) raw.push_back(a.data());
  if (kavo::cli::uses_options(static_cast<int>(raw.size()), raw.data())) {
    check_option_form(spec, argv);
    return 0;
  }

  const int argc = static_cast<int>(argv.size());
  if (argc >= n + 2) argv[n + 1] = "/dev/null";
  if (argc == n + 1 || argc == n + 2) {
    argv.resize(n + 2, "/dev/null");
    argv.push_back("0");  // defaults would run up to 2000000 draws
  }
  if (static_cast<int>(argv.size()) >= n + 3) {
    std::int64_t max_draws = 0;
    if (kavo::cli::parse_whole(argv[n + 2], max_draws) && max_draws > 20000) argv[n + 2] = "20000";
  }

  // What the run should do, worked out independently of the driver.
  const int final_argc = static_cast<int>(argv.size());
  const bool help = final_argc >= 2 && (argv[1] == "-h" || argv[1] == "--help" || argv[1] == "--version");
  bool computable = !help && final_argc >= n + 1 && final_argc <= n + 4;
  double values[kavo::kMaxValues] = {};
  for (int i = 0; computable && i < n; ++i) computable = kavo::cli::parse_decimal(argv[i + 1], values[i]);
  computable = computable && spec.validate_parameters(values);
  std::int64_t max_draws = 0;
  double precision = 0.0;
  if (computable && final_argc >= n + 3) computable = kavo::cli::parse_whole(argv[n + 2], max_draws);
  if (computable && final_argc >= n + 4) computable = kavo::cli::parse_decimal(argv[n + 3], precision);
  computable = computable && std::isfinite(kavo::hypothesis_f_star(spec, values));
  // Monte Carlo refuses parameters beyond its accuracy.
  for (int i = 0; computable && i < spec.dimension; ++i) {
    computable = values[i] <= kavo::monte_carlo_limit(spec.id);
  }

  const kavo_fuzz::Run run = kavo_fuzz::run_driver(spec, argv);
  // The report line comes first; messages may echo any text, "evidence = " included.
  const bool printed = run.err.rfind("evidence = ", 0) == 0;
  std::string call;
  for (const std::string& a : argv) call += "[" + a + "] ";
  kavo_fuzz::require(printed == computable, "evidence printed exactly for computable input",
                     call + "\n" + run.err);
  if (help) {
    kavo_fuzz::require(run.status == 0, "help and version exit 0", call);
  } else {
    kavo_fuzz::require(run.status == (computable ? 0 : 1), "exit status 0 on success, 1 on failure",
                       call + "\n" + run.err);
  }
  if (printed) {
    double evidence = -1.0;
    kavo_fuzz::require(std::sscanf(run.err.c_str() + 11, "%lf", &evidence) == 1 && evidence >= 0.0 &&
                           evidence <= 1.0,
                       "evidence lies in [0, 1]", run.err);
  }
  return 0;
}
