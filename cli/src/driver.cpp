#include "driver.hpp"

#include <cstdint>
#include <cstring>

#include "batch.hpp"
#include "help.hpp"
#include "messages.hpp"
#include "number_parse.hpp"
#include "options.hpp"
#include "program.hpp"

namespace kavo::cli {

namespace {

// The refusal and the failure texts of the command line end with a period.
int report_failure(std::FILE* err, const char* invoked, Status status) {
  return report_error(err, invoked, std::string(describe(status)) + ".");
}

// Writes the evidence alone, as one "%e" line; every step is checked so a
// full disk or a failed close is not reported as success.
bool write_output_file(std::FILE* file, double evidence) {
  const bool written = std::fprintf(file, "%e\n", evidence) >= 0;
  const bool flushed = std::fflush(file) == 0;
  const bool closed = std::fclose(file) == 0;
  return written && flushed && closed;
}

}  // namespace

int run_program(int argc, char** argv, Hypothesis hypothesis, ProgramStreams io) {
  const Program program = program_of(hypothesis);
  const char* invoked = argc > 0 ? argv[0] : program.name;
  const int n = program.value_count;

  if (argc >= 2 && std::strcmp(argv[1], "-h") == 0) return print_help(io.out, invoked, program);
  // An argument starting with "--" anywhere: options, not the fixed form.
  if (uses_options(argc, argv)) return run_with_options(argc, argv, program, io);
  if (argc < n + 1 || argc > n + 4) {
    print_usage(io.err, invoked, program);
    return kExitFailure;
  }

  double values[kMaxValues] = {};
  for (int i = 0; i < n; ++i) {
    if (!parse_decimal(argv[i + 1], values[i])) {
      return report_error(io.err, invoked, invalid_number(program.value_names[i], argv[i + 1]));
    }
  }
  const std::span<const double> table(values, static_cast<std::size_t>(n));
  // A refusal comes before the run settings are read; a point that cannot be
  // computed is reported after them, with the computation's other failures.
  const Status refusal = validate(hypothesis, default_shape(hypothesis), table, Method::monte_carlo);
  if (refusal == Status::refused_values || refusal == Status::needs_exact_method) {
    return report_failure(io.err, invoked, Status::refused_values);
  }

  Settings settings;
  settings.method = Method::monte_carlo;  // the fixed form keeps its Monte Carlo digits
  if (argc >= n + 3 && !parse_whole(argv[n + 2], settings.max_draws)) {
    return report_error(io.err, invoked, invalid_number("maxMC", argv[n + 2]));
  }
  if (argc >= n + 4 && !parse_decimal(argv[n + 3], settings.precision)) {
    return report_error(io.err, invoked, invalid_number("precision", argv[n + 3]));
  }

  const Result result = compute(hypothesis, table, settings);
  switch (result.status) {
    case Status::ok:
      break;
    case Status::sampler_failure:
      std::fprintf(io.out, "\nErro na rotina gamdev\n");
      return kExitFailure;
    default:
      return report_failure(io.err, invoked, result.status);
  }

  // The report may be the only copy of the result: a failed write is a failure.
  const bool reported = std::fprintf(io.err, "evidence = %9e\n\n", result.evidence) >= 0 &&
                        std::fflush(io.err) == 0 && !std::ferror(io.err);

  if (argc >= n + 2) {
    std::FILE* file = std::fopen(argv[n + 1], "w");
    if (file == nullptr) {
      std::fprintf(io.err, "Error: unable to open output file\n");
      return kExitFailure;
    }
    if (!write_output_file(file, result.evidence)) {
      std::fprintf(io.err, "Error: unable to write output file\n");
      return kExitFailure;
    }
  }
  return reported ? kExitOk : kExitFailure;
}

}  // namespace kavo::cli
