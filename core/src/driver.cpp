#include "kavo/driver.hpp"

#include <cstdint>
#include <cstring>

#include "kavo/batch.hpp"
#include "kavo/evidence.hpp"
#include "kavo/number_parse.hpp"
#include "messages.hpp"

namespace kavo {

namespace {

void print_usage(std::FILE* stream, const char* program, const HypothesisSpec& spec) {
  std::fprintf(stream, "\n\n%s\n\nParameters:\n", program);
  std::fprintf(stream, "%s [outputfile [maxMC [precision]]]\n", spec.placeholder);
  std::fprintf(stream, "[ ] = Optional parameters\n");
}

// The refusal and the failure texts of the command line end with a period.
int report_failure(std::FILE* err, const char* program, EvidenceStatus status) {
  return report_error(err, program, std::string(failure_reason(status)) + ".");
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

int run_program(int argc, char** argv, const HypothesisSpec& spec, ProgramStreams io) {
  const char* program = argc > 0 ? argv[0] : spec.program_name;
  const int n = spec.value_count;

  if (argc >= 2) {
    const char* first = argv[1];
    if (std::strcmp(first, "-h") == 0 || std::strcmp(first, "--help") == 0) {
      print_usage(io.out, program, spec);
      print_batch_usage(io.out, program);
      return kExitOk;
    }
    if (std::strcmp(first, "--version") == 0) {
      std::fprintf(io.out, "%s %s\n", spec.program_name, KAVO_VERSION);
      return kExitOk;
    }
  }
  if (is_batch_invocation(argc, argv)) return run_batch(argc, argv, spec, io);
  if (argc < n + 1 || argc > n + 4) {
    print_usage(io.err, program, spec);
    return kExitFailure;
  }

  double values[kMaxValues] = {};
  for (int i = 0; i < n; ++i) {
    if (!parse_decimal(argv[i + 1], values[i])) {
      return report_error(io.err, program, invalid_number(spec.value_names[i], argv[i + 1]));
    }
  }
  if (!spec.validate_parameters(values)) {
    return report_failure(io.err, program, EvidenceStatus::refused);
  }

  TangentSettings settings;
  if (argc >= n + 3 && !parse_whole(argv[n + 2], settings.max_draws)) {
    return report_error(io.err, program, invalid_number("maxMC", argv[n + 2]));
  }
  if (argc >= n + 4 && !parse_decimal(argv[n + 3], settings.precision)) {
    return report_error(io.err, program, invalid_number("precision", argv[n + 3]));
  }

  const EvidenceResult result = compute_evidence(spec, values, settings);
  switch (result.status) {
    case EvidenceStatus::ok:
      break;
    case EvidenceStatus::refused:
    case EvidenceStatus::unbounded_point:
      return report_failure(io.err, program, result.status);
    case EvidenceStatus::bad_gamma_shape:
    case EvidenceStatus::bad_spec:
      std::fprintf(io.out, "\nErro na rotina gamdev\n");
      return kExitFailure;
  }

  std::fprintf(io.err, "evidence = %9e\n\n", result.evidence);

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
  return kExitOk;
}

}  // namespace kavo
