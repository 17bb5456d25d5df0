#include "batch.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "batch_line.hpp"
#include "number_parse.hpp"
#include "messages.hpp"

namespace kavo::cli {

namespace {

// Tables read, computed and written together: bounds memory on any input.
constexpr std::size_t kChunkRows = 1024;
// Longer lines are refused (and skipped to their end) rather than stored.
constexpr std::size_t kMaxLineBytes = 1 << 16;

struct BatchOptions {
  bool batch = false;
  const char* file = nullptr;  // null or "-": standard input
  Settings settings;
  double prior = 0.0;
  int threads = 1;
  int progress = -1;  // -1: on when standard error is a terminal
};

// Reports an option error; false, for the option parser's return.
bool refuse(std::FILE* err, const char* program, const std::string& message) {
  report_error(err, program, message);
  return false;
}

bool starts_with(const char* text, const char* prefix) {
  return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// Reads the options; on failure prints the message and returns false.
bool parse_options(int argc, char** argv, BatchOptions& opt, std::FILE* err, const char* program) {
  const unsigned hardware = std::thread::hardware_concurrency();
  opt.threads = hardware > 0 ? static_cast<int>(hardware) : 1;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--batch") {
      opt.batch = true;
      continue;
    }
    if (arg == "--progress" || arg == "--no-progress") {
      opt.progress = arg == "--progress" ? 1 : 0;
      continue;
    }
    if (arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
      if (opt.file != nullptr) {
        return refuse(err, program,
                      "more than one input file: '" + std::string(opt.file) + "' and '" + arg + "'");
      }
      opt.file = argv[i];
      continue;
    }
    // Options with a value: "--name value" or "--name=value".
    std::string name = arg.substr(2);
    std::string value;
    const std::size_t eq = name.find('=');
    if (eq != std::string::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
    } else if (name == "maxMC" || name == "precision" || name == "prior" || name == "seed" ||
               name == "threads") {
      if (i + 1 >= argc) {
        return refuse(err, program, "option --" + name + " needs a value");
      }
      value = argv[++i];
    } else {
      return refuse(err, program, "unknown option '" + arg + "' (see --help)");
    }
    const std::string bad = invalid_number(name, value);
    std::int64_t whole = 0;
    if (name == "maxMC") {
      if (!parse_whole(value, opt.settings.max_draws)) return refuse(err, program, bad);
    } else if (name == "precision") {
      if (!parse_decimal(value, opt.settings.precision)) return refuse(err, program, bad);
    } else if (name == "prior") {
      if (!parse_decimal(value, opt.prior)) return refuse(err, program, bad);
    } else if (name == "seed") {
      if (!parse_whole(value, whole) || whole < kMinSeed || whole > kMaxSeed) {
        return refuse(err, program, bad + " (a whole number from 1 to 2147483646)");
      }
      opt.settings.seed = static_cast<std::int32_t>(whole);
    } else if (name == "threads") {
      if (!parse_whole(value, whole) || whole < 1 || whole > 1024) {
        return refuse(err, program, bad + " (a whole number from 1 to 1024)");
      }
      opt.threads = static_cast<int>(whole);
    } else {
      return refuse(err, program, "unknown option '" + arg + "' (see --help)");
    }
  }
  if (!opt.batch) return refuse(err, program, "options need --batch (see --help)");
  return true;
}

// Reads one line into `line` (without its '\n'); a line longer than the
// limit is consumed to its end and flagged. False at end of input.
bool read_line(std::FILE* in, std::string& line, bool& too_long, std::uint64_t& bytes) {
  line.clear();
  too_long = false;
  int c;
  bool any = false;
  while ((c = getc_unlocked(in)) != EOF) {
    any = true;
    ++bytes;
    if (c == '\n') return true;
    if (line.size() < kMaxLineBytes) {
      line.push_back(static_cast<char>(c));
    } else {
      too_long = true;
    }
  }
  return any;
}

struct Row {
  long line_number = 0;
  BatchLine parsed;
  std::string failure;  // why no evidence; empty when computed
  Result result;
};

void append_number(std::string& out, double value) {
  char buf[32];
  const auto res = std::to_chars(buf, buf + sizeof buf, value);
  out.append(buf, res.ptr);
}

void append_format(std::string& out, const char* format, double value) {
  char buf[64];
  const int n = std::snprintf(buf, sizeof buf, format, value);
  out.append(buf, static_cast<std::size_t>(n));
}

// Computes every row of the chunk that can be computed, in parallel, and
// counts the chunk's rows as they finish.
void compute_chunk(std::vector<Row>& rows, const Program& program, const BatchOptions& opt,
                   std::atomic<long>& rows_done) {
  std::vector<double> values;
  std::vector<std::size_t> computed;  // the rows behind values, in order
  const auto count = static_cast<std::size_t>(program.value_count);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (!rows[i].failure.empty()) continue;
    values.insert(values.end(), rows[i].parsed.values, rows[i].parsed.values + count);
    computed.push_back(i);
  }
  const long before = rows_done.load();
  const long failed_early = static_cast<long>(rows.size() - computed.size());
  std::vector<Result> results(computed.size());
  ManyOptions many;
  many.threads = opt.threads;
  many.progress = [&](const Progress& p) {
    rows_done = before + failed_early + static_cast<long>(p.done);
    return true;
  };
  compute_many(program.hypothesis, values, results, opt.settings, many);
  for (std::size_t k = 0; k < computed.size(); ++k) {
    Row& row = rows[computed[k]];
    row.result = results[k];
    if (row.result.status != Status::ok) row.failure = describe(row.result.status);
  }
  rows_done = before + static_cast<long>(rows.size());
}

class ProgressLine {
 public:
  ProgressLine(std::FILE* err, const char* program, std::uint64_t input_size,
               const std::atomic<long>& rows_done, const std::atomic<std::uint64_t>& bytes_read)
      : err_(err), program_(program), size_(input_size), rows_(rows_done), bytes_(bytes_read),
        start_(std::chrono::steady_clock::now()), thread_([this] { loop(); }) {}

  ~ProgressLine() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
    print();
    std::fputc('\n', err_);
  }

 private:
  void loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!wake_.wait_for(lock, std::chrono::milliseconds(500), [this] { return stop_; })) print();
  }

  void print() {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const long rows = rows_.load();
    const double rate = seconds > 0 ? rows / seconds : 0.0;
    std::fprintf(err_, "\r%s: %ld rows, %.1f rows/s", program_, rows, rate);
    const std::uint64_t bytes = bytes_.load();
    if (size_ > 0 && bytes > 0 && bytes <= size_) {
      const double left = seconds * static_cast<double>(size_ - bytes) / static_cast<double>(bytes);
      std::fprintf(err_, ", %.0f%% read, about %.0f s left   ", 100.0 * bytes / size_, left);
    }
    std::fflush(err_);
  }

  std::FILE* err_;
  const char* program_;
  std::uint64_t size_;
  const std::atomic<long>& rows_;
  const std::atomic<std::uint64_t>& bytes_;
  std::chrono::steady_clock::time_point start_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::thread thread_;
};

void write_header(std::string& out, const Program& spec, bool labeled) {
  if (labeled) out += "label\t";
  for (int i = 0; i < spec.value_count; ++i) {
    out += spec.value_names[i];
    out += '\t';
  }
  out += "evidence\tdraws\thalf_width\n";
}

void write_row(std::string& out, const Row& row, const Program& spec, bool labeled) {
  if (labeled) {
    out += row.parsed.has_label ? row.parsed.label : "NA";
    out += '\t';
  }
  for (int i = 0; i < spec.value_count; ++i) {
    if (row.parsed.values_read) {
      append_number(out, row.parsed.values[i]);
    } else {
      out += "NA";
    }
    out += '\t';
  }
  if (!row.failure.empty()) {
    out += "NA\tNA\tNA\n";
    return;
  }
  append_format(out, "%e", row.result.evidence);
  out += '\t';
  out += std::to_string(row.result.draws);
  out += '\t';
  append_format(out, "%e", row.result.error);
  out += '\n';
}

}  // namespace

bool is_batch_invocation(int argc, char** argv) {
  if (argc < 2) return false;
  const char* first = argv[1];
  return starts_with(first, "--") && std::strcmp(first, "--help") != 0 &&
         std::strcmp(first, "--version") != 0;
}

void print_batch_usage(std::FILE* stream, const char* program) {
  std::fprintf(stream,
               "\nBatch mode:\n"
               "%s --batch [FILE] [--maxMC N] [--precision X] [--prior X] [--seed S]\n"
               "    [--threads N] [--progress | --no-progress]\n"
               "Reads one table per line from FILE, or from standard input when FILE is absent\n"
               "or \"-\": an optional label, then the parameters, separated by tabs, commas or\n"
               "spaces. Blank lines and lines starting with # are skipped; a first line with no\n"
               "number is a header. Writes a header and one tab-separated row per table, in\n"
               "input order: label, parameters used, evidence, draws and half-width (NA for a\n"
               "row that cannot be computed). --prior X adds X to every Dirichlet parameter;\n"
               "--seed S starts every row's generator at S (default 11); --threads N computes N\n"
               "rows at a time (default: all hardware threads). Exits 1 if any row failed.\n",
               program);
}

int run_batch(int argc, char** argv, const Program& spec, ProgramStreams io) {
  const char* program = argv[0];
  BatchOptions opt;
  if (!parse_options(argc, argv, opt, io.err, program)) return kExitFailure;

  const bool from_stdin = opt.file == nullptr || std::strcmp(opt.file, "-") == 0;
  std::FILE* in = from_stdin ? stdin : std::fopen(opt.file, "r");
  if (in == nullptr) {
    return report_error(io.err, program,
                "cannot read '" + std::string(opt.file) + "': " + std::strerror(errno));
  }
  std::uint64_t input_size = 0;
  struct stat info;
  if (fstat(fileno(in), &info) == 0 && S_ISREG(info.st_mode)) {
    input_size = static_cast<std::uint64_t>(info.st_size);
  }
  const bool show_progress = opt.progress == 1 || (opt.progress == -1 && isatty(fileno(io.err)));

  std::atomic<long> rows_done{0};
  std::atomic<std::uint64_t> bytes_read{0};
  std::unique_ptr<ProgressLine> progress;
  if (show_progress) {
    progress = std::make_unique<ProgressLine>(io.err, program, input_size, rows_done, bytes_read);
  }

  bool any_failed = false;
  bool header_written = false;
  bool first_table_seen = false;
  bool labeled = false;
  long line_number = 0;
  std::uint64_t bytes = 0;
  std::string line, out;
  std::vector<Row> rows;
  rows.reserve(kChunkRows);
  bool more = true;
  while (more) {
    rows.clear();
    while (rows.size() < kChunkRows) {
      bool too_long = false;
      if (!read_line(in, line, too_long, bytes)) {
        more = false;
        break;
      }
      ++line_number;
      Row row;
      row.line_number = line_number;
      if (too_long) {
        row.parsed.kind = LineKind::table;
        row.failure = "line longer than " + std::to_string(kMaxLineBytes) + " bytes";
      } else {
        row.parsed = parse_batch_line(line, spec);
        if (row.parsed.kind == LineKind::skip) continue;
        if (!first_table_seen && row.parsed.all_fields_non_numeric) {
          first_table_seen = true;  // a header
          continue;
        }
        row.failure = row.parsed.error;
      }
      first_table_seen = true;
      if (!header_written) {
        // The first table decides whether the output has a label column.
        labeled = row.parsed.has_label;
        out.clear();
        write_header(out, spec, labeled);
        std::fwrite(out.data(), 1, out.size(), io.out);
        header_written = true;
      }
      if (row.failure.empty() && row.parsed.has_label && !labeled) {
        row.failure = "a label ('" + row.parsed.label + "'), but the first table has none";
      }
      if (row.failure.empty()) {
        for (int i = 0; i < spec.dirichlet_count; ++i) row.parsed.values[i] += opt.prior;
      }
      rows.push_back(std::move(row));
    }
    bytes_read = bytes;
    compute_chunk(rows, spec, opt, rows_done);
    out.clear();
    for (const Row& row : rows) {
      write_row(out, row, spec, labeled);
      if (!row.failure.empty()) {
        any_failed = true;
        std::fprintf(io.err, "%s ERROR : line %ld: %s\n", program, row.line_number,
                     row.failure.c_str());
      }
    }
    std::fwrite(out.data(), 1, out.size(), io.out);
    std::fflush(io.out);
  }
  const bool read_failed = std::ferror(in) != 0;
  if (!from_stdin) std::fclose(in);
  progress.reset();

  if (!header_written) {
    out.clear();
    write_header(out, spec, false);
    std::fwrite(out.data(), 1, out.size(), io.out);
  }
  if (std::fflush(io.out) != 0 || std::ferror(io.out)) {
    std::fprintf(io.err, "Error: unable to write output\n");
    return kExitFailure;
  }
  if (read_failed) return report_error(io.err, program, "error while reading the input");
  return any_failed ? kExitFailure : kExitOk;
}

}  // namespace kavo::cli
