#include "kavo/driver.hpp"

#include <cstdint>
#include <cstring>

#include "kavo/batch.hpp"
#include "kavo/evidence.hpp"
#include "kavo/number_parse.hpp"

namespace kavo {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;

void print_usage(std::FILE* stream, const char* program, const HypothesisSpec& spec) {
  std::fprintf(stream, "\n\n%s\n\nParameters:\n", program);
  std::fprintf(stream, "%s [outputfile [maxMC [precision]]]\n", spec.placeholder);
  std::fprintf(stream, "[ ] = Optional parameters\n");
}

int report_refused(std::FILE* err, const char* program) {
  std::fprintf(err,
               "%s ERROR : Dirichlet parameters must be greater than 1 and p0 must be in "
               "interval (0,1).\nExiting...\n",
               program);
  return kExitFailure;
}

int report_malformed(std::FILE* err, const char* program, const char* name, const char* text) {
  std::fprintf(err, "%s ERROR : invalid number for %s: '%s'\nExiting...\n", program, name, text);
  return kExitFailure;
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
      return report_malformed(io.err, program, spec.value_names[i], argv[i + 1]);
    }
  }
  if (!spec.validate_parameters(values)) return report_refused(io.err, program);

  TangentSettings settings;
  if (argc >= n + 3 && !parse_whole(argv[n + 2], settings.max_draws)) {
    return report_malformed(io.err, program, "maxMC", argv[n + 2]);
  }
  if (argc >= n + 4 && !parse_decimal(argv[n + 3], settings.precision)) {
    return report_malformed(io.err, program, "precision", argv[n + 3]);
  }

  const EvidenceResult result = compute_evidence(spec, values, settings);
  switch (result.status) {
    case EvidenceStatus::ok:
      break;
    case EvidenceStatus::refused:
      return report_refused(io.err, program);
    case EvidenceStatus::unbounded_point:
      std::fprintf(io.err,
                   "%s ERROR : parameters too large: the hypothesis point cannot be computed.\n"
                   "Exiting...\n",
                   program);
      return kExitFailure;
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
