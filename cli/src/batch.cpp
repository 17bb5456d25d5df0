#include "batch.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "earlier_output.hpp"
#include "messages.hpp"
#include "options.hpp"
#include "progress.hpp"
#include "reader.hpp"
#include "signals.hpp"
#include "vcf_run.hpp"
#include "writer.hpp"

namespace kavo::cli {

namespace {

// Rows in flight at most: bounds memory on any input. The first chunks are
// small so that a slow input (a pipe) still gives its first rows soon.
constexpr std::size_t kFirstChunkRows = 16;
constexpr std::size_t kMaxChunkRows = 1024;
// Row messages shown before the rest are only counted.
constexpr long kMessageCap = 100;

struct Row {
  long line = 0;
  TableRow table;
  std::string failure;  // why no evidence; empty when it can be computed
};

std::string quoted_path(const std::string& path) {
  std::string shown(1, '\'');
  shown += printable(path);
  shown += '\'';
  return shown;
}

// Where the tables come from: the lines of a file, or the command line.
class Tables {
 public:
  Tables(std::FILE* in, const Program& program, const RunOptions& opt)
      : lines_(in), program_(program), opt_(opt) {
    layout_.value_count = program.value_count;
    layout_.by_columns = !opt.value_columns.empty();
    if (layout_.by_columns) resolve_positions();
  }

  // The command line's values, as one table.
  Tables(const Program& program, const RunOptions& opt) : Tables(nullptr, program, opt) {
    from_arguments_ = true;
    layout_.by_columns = true;
    for (int i = 0; i < program.value_count; ++i) layout_.value_index[i] = i;
  }

  // The next table; false at the end, on a read error or on a problem that
  // stops the run (fatal()).
  bool next(Row& row) {
    row = Row{};
    if (from_arguments_) return next_argument_row(row);
    std::string line;
    bool too_long = false;
    while (lines_.next(line, too_long)) {
      row.line = lines_.line_number();
      if (too_long) {
        row.failure = "line longer than " + std::to_string(LineReader::kMaxLineBytes) + " bytes";
        first_table(row);
        return true;
      }
      if (is_skipped_line(line)) continue;
      if (!separator_known_) {
        separator_ = detect_separator(line);
        separator_known_ = true;
      }
      std::string problem;
      const bool split = split_fields(line, separator_, fields_, problem);
      if (!header_decided_) {
        header_decided_ = true;
        const bool header = opt_.header == 1 ||
                            (opt_.header == -1 && split && looks_like_header(fields_, layout_));
        if (header) {
          if (!split) {
            fatal_ = "the header line " + std::to_string(row.line) + ": " + problem;
            return false;
          }
          header_ = fields_;
          has_header_ = true;
          if (!resolve_names()) return false;
          continue;
        }
        if (!resolve_names()) return false;
      }
      if (split) {
        row.table = read_table(fields_, layout_, program_);
      } else {
        row.table.error = problem;
      }
      row.failure = row.table.error;
      first_table(row);
      check_label(row);
      return true;
    }
    return false;
  }

  // Known once the first table was returned, or at the end.
  OutputColumns columns(Method method) const {
    OutputColumns c;
    c.method = method;
    c.labelled = labelled_;
    for (int i = 0; i < program_.value_count; ++i) c.value_names.emplace_back(program_.value_names[i]);
    if (layout_.by_columns && has_header_) {
      const auto name = [&](int index) -> const std::string* {
        if (index < 0 || static_cast<std::size_t>(index) >= header_.size()) return nullptr;
        return &header_[static_cast<std::size_t>(index)].text;
      };
      if (const std::string* n = name(layout_.label_index)) c.label_name = *n;
      for (int i = 0; i < program_.value_count; ++i) {
        if (const std::string* n = name(layout_.value_index[i])) c.value_names[i] = *n;
      }
    }
    return c;
  }

  const std::string& fatal() const { return fatal_; }
  bool read_failed() const { return !from_arguments_ && lines_.failed(); }
  int read_errno() const { return lines_.error_number(); }
  std::uint64_t bytes() const { return from_arguments_ ? 0 : lines_.bytes(); }

 private:
  bool next_argument_row(Row& row) {
    if (argument_row_given_) return false;
    argument_row_given_ = true;
    std::vector<Field> fields;
    for (const std::string& value : opt_.operands) fields.push_back(Field{value, false});
    row.table = read_table(fields, layout_, program_);
    row.failure = row.table.error;
    return true;
  }

  void resolve_positions() {
    if (opt_.label_column && opt_.label_column->position > 0) {
      layout_.label_index = opt_.label_column->position - 1;
    }
    for (int i = 0; i < program_.value_count; ++i) {
      const ColumnRef& c = opt_.value_columns[static_cast<std::size_t>(i)];
      if (c.position > 0) layout_.value_index[i] = c.position - 1;
    }
  }

  // Columns given by name are looked up in the header.
  bool resolve_names() {
    if (!layout_.by_columns) return true;
    const auto find = [&](const std::string& name, int& index) {
      for (std::size_t i = 0; i < header_.size(); ++i) {
        if (header_[i].text == name) {
          index = static_cast<int>(i);
          return true;
        }
      }
      fatal_ = "no column named '" + printable(name) + "' in the header";
      return false;
    };
    if (opt_.label_column && opt_.label_column->position == 0 &&
        !find(opt_.label_column->name, layout_.label_index)) {
      return false;
    }
    for (int i = 0; i < program_.value_count; ++i) {
      const ColumnRef& c = opt_.value_columns[static_cast<std::size_t>(i)];
      if (c.position == 0 && !find(c.name, layout_.value_index[i])) return false;
    }
    return true;
  }

  // The first table decides whether the output has a label column, unless a
  // header with a column for the label or a label column option said so.
  void first_table(const Row& row) {
    if (first_table_seen_) return;
    first_table_seen_ = true;
    header_decided_ = true;
    if (layout_.by_columns) {
      labelled_ = layout_.label_index >= 0;
      return;
    }
    std::size_t named = 0;
    for (const Field& f : header_) named += (f.quoted || !f.text.empty()) ? 1 : 0;
    labelled_ = row.table.has_label ||
                (has_header_ && named == static_cast<std::size_t>(program_.value_count) + 1);
  }

  void check_label(Row& row) {
    if (!row.failure.empty()) return;
    if (row.table.has_label && !labelled_) {
      row.failure = "a label ('" + printable(row.table.label) + "'), but the first table has none";
    } else if (labelled_ && (!row.table.has_label || row.table.label.empty())) {
      row.failure = "no label, but the input's tables are labelled";
    }
  }

  LineReader lines_;
  const Program& program_;
  const RunOptions& opt_;
  TableLayout layout_;
  bool from_arguments_ = false;
  bool argument_row_given_ = false;
  bool separator_known_ = false;
  Separator separator_ = Separator::whitespace;
  bool header_decided_ = false;
  bool has_header_ = false;
  std::vector<Field> header_;
  std::vector<Field> fields_;
  bool first_table_seen_ = false;
  bool labelled_ = false;
  std::string fatal_;
};

class Run {
 public:
  Run(const Program& program, const RunOptions& opt, Tables& tables, Output& out, Console& console,
      std::uint64_t input_size, EarlierOutput* earlier)
      : program_(program), opt_(opt), tables_(tables), out_(out), console_(console),
        input_size_(input_size), earlier_(earlier) {}

  // Reads, computes and writes every table; returns false when the run
  // stopped early (signal, failed write, fatal input problem). A run stopped
  // by a signal still writes the header.
  bool go() {
    const bool completed = read_and_compute();
    if (tables_.fatal().empty() && resume_problem_.empty()) start_table();
    return completed;
  }

  long rows_written() const { return rows_written_; }
  long rows_failed() const { return rows_failed_; }
  const std::string& resume_problem() const { return resume_problem_; }

 private:
  bool read_and_compute() {
    std::size_t chunk_rows = kFirstChunkRows;
    std::vector<Row> rows;
    bool more = true;
    while (more && !stopping()) {
      rows.clear();
      while (rows.size() < chunk_rows && !stopping()) {
        Row row;
        if (!tables_.next(row)) {
          more = false;
          input_complete_ = true;
          break;
        }
        if (!start_table()) return false;
        if (resumed(row)) {
          if (!resume_problem_.empty()) return false;
          continue;
        }
        if (!resume_problem_.empty()) return false;
        ++rows_read_;
        if (row.failure.empty()) {
          for (int i = 0; i < program_.dirichlet_count; ++i) row.table.values[i] += opt_.prior;
        }
        rows.push_back(std::move(row));
      }
      if (!tables_.fatal().empty()) return false;
      if (!compute(rows)) return false;
      chunk_rows = std::min(kMaxChunkRows, chunk_rows * 2);
    }
    if (!start_table()) return false;
    if (earlier_ != nullptr && !earlier_->exhausted()) {
      std::string extra;
      if (earlier_->next(extra)) {
        resume_problem_ = "it has more rows than the input has tables";
        return false;
      }
      if (!finish_resume()) return false;
    }
    return !stopping();
  }

  bool stopping() const { return stop_signal() != 0 || out_.failed(); }

  // The header, written or, when resuming, compared with the earlier one.
  bool start_table() {
    if (columns_known_) return true;
    columns_known_ = true;
    columns_ = tables_.columns(opt_.settings.method);
    const std::string header = header_line(columns_);
    if (earlier_ != nullptr) {
      if (earlier_->header() != header) {
        resume_problem_ = "its header is not the one this run writes (other options or input?)";
        return false;
      }
      return true;
    }
    out_.write(header);
    return true;
  }

  // When resuming, a table whose row the earlier output holds is skipped
  // after checking that the row is this table's.
  bool resumed(const Row& row) {
    if (earlier_ == nullptr || earlier_->exhausted()) return false;
    std::string earlier_row;
    if (!earlier_->next(earlier_row)) {
      if (!finish_resume()) return false;
      return false;
    }
    Row shown = row;
    if (shown.failure.empty()) {
      for (int i = 0; i < program_.dirichlet_count; ++i) shown.table.values[i] += opt_.prior;
    }
    const std::string prefix = row_prefix(columns_, shown.table, program_.value_count);
    if (earlier_row.compare(0, prefix.size(), prefix) != 0) {
      resume_problem_ = "its row " + std::to_string(rows_written_ + 1) + " is not line " +
                        std::to_string(row.line) + " of the input";
      return true;
    }
    earlier_->keep();
    ++rows_written_;
    ++rows_kept_;
    const std::string na = "\tNA\tNA\tNA";
    if (earlier_row.size() >= na.size() &&
        earlier_row.compare(earlier_row.size() - na.size(), na.size(), na) == 0) {
      ++rows_failed_;
    }
    return true;
  }

  bool finish_resume() {
    if (!earlier_->cut()) {
      resume_problem_ = std::string("it cannot be cut after its complete rows: ") + std::strerror(errno);
      return false;
    }
    return true;
  }

  void write_row(const Row& row, const Result* result) {
    const bool failed = !row.failure.empty() || result == nullptr || result->status != Status::ok;
    out_.write(row_prefix(columns_, row.table, program_.value_count) +
               row_result(failed ? nullptr : result));
    ++rows_written_;
    if (failed) {
      ++rows_failed_;
      console_.row_failed(row.line, !row.failure.empty() ? row.failure
                                    : result != nullptr  ? describe(result->status)
                                                         : "not computed");
    }
  }

  // Computes the chunk and writes each row once it and every row before it
  // are done; false when the run was stopped.
  bool compute(std::vector<Row>& rows) {
    std::vector<double> values;
    std::vector<std::size_t> computed;  // rows sent to compute_many, in order
    std::vector<std::size_t> slot(rows.size(), 0);
    const auto count = static_cast<std::size_t>(program_.value_count);
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (!rows[i].failure.empty()) continue;
      slot[i] = computed.size();
      values.insert(values.end(), rows[i].table.values, rows[i].table.values + count);
      computed.push_back(i);
    }
    std::vector<Result> results(computed.size());
    const std::size_t failed_early = rows.size() - computed.size();
    const std::uint64_t done_before = rows_done_;
    std::size_t written = 0;
    const auto write_until = [&](std::size_t end, std::size_t ready) {
      const std::size_t before = written;
      for (; written < end; ++written) {
        const Row& row = rows[written];
        if (!row.failure.empty()) {
          write_row(row, nullptr);
        } else if (slot[written] < ready) {
          write_row(row, &results[slot[written]]);
        } else {
          break;
        }
      }
      if (written > before) out_.flush();
    };

    ManyOptions many;
    many.threads = opt_.threads;
    many.progress_interval_ms = 100;
    many.progress = [&](const Progress& p) {
      const std::size_t end = p.ready < computed.size() ? computed[p.ready] : rows.size();
      write_until(end, p.ready);
      rows_done_ = done_before + failed_early + p.done;
      console_.progress(rows_done_, rows_read_, input_complete_, tables_.bytes(), input_size_,
                        rows_kept_);
      out_.check_reader();
      return !stopping();
    };
    const Status status =
        compute_many(program_.hypothesis, program_.shape, values, results, opt_.settings, many);
    if (status == Status::cancelled) {
      // Every finished row before the first one left undone is written.
      std::size_t ready = 0;
      while (ready < results.size() && results[ready].status != Status::cancelled) ++ready;
      write_until(ready < computed.size() ? computed[ready] : rows.size(), ready);
      return false;
    }
    write_until(rows.size(), results.size());
    rows_done_ = done_before + rows.size();
    console_.progress(rows_done_, rows_read_, input_complete_, tables_.bytes(), input_size_,
                        rows_kept_);
    return !stopping();
  }

  const Program& program_;
  const RunOptions& opt_;
  Tables& tables_;
  Output& out_;
  Console& console_;
  std::uint64_t input_size_;
  EarlierOutput* earlier_;
  bool columns_known_ = false;
  OutputColumns columns_;
  bool input_complete_ = false;
  std::uint64_t rows_read_ = 0;
  std::uint64_t rows_done_ = 0;
  std::uint64_t rows_kept_ = 0;  // resumed from the earlier output
  long rows_written_ = 0;
  long rows_failed_ = 0;
  std::string resume_problem_;
};

int error(Console& console, const std::string& message) {
  console.say(console.program() + " ERROR : " + message);
  console.say("Exiting...");
  return kExitFailure;
}

// Writes the help text; 1 when it could not be written.
int print_help(std::FILE* out, const char* program, const Program& spec) {
  std::fprintf(out, "\n\n%s\n\nParameters:\n%s [outputfile [maxMC [precision]]]\n"
               "[ ] = Optional parameters\n", program, spec.placeholder.c_str());
  print_help_details(out, program, spec);
  return std::fflush(out) == 0 && !std::ferror(out) ? kExitOk : kExitFailure;
}

}  // namespace

std::string base_name(const char* path) {
  const char* slash = std::strrchr(path, '/');
  return slash != nullptr && slash[1] != '\0' ? slash + 1 : path;
}

void print_help_details(std::FILE* stream, const char* program, const Program& spec) {
  const bool has_p0 = spec.dirichlet_count < spec.value_count;
  std::fprintf(stream,
               "\nTests whether %s.\n"
               "The values are the parameters of the Dirichlet posterior (counts plus the\n"
               "prior): every Dirichlet parameter must be greater than 1%s.\n"
               "Prints the evidence (Monte Carlo, seed 11) to standard error; outputfile\n"
               "receives it alone. maxMC: the maximum number of draws (default 2000000);\n"
               "precision: the target for both half-widths (default 0.001).\n",
               spec.tests, has_p0 ? " and p0 strictly between 0 and 1" : "");
  print_option_usage(stream, program);
}

int run_with_options(int argc, char** argv, const Program& fixed, ProgramStreams io) {
  const std::string name = base_name(argc > 0 ? argv[0] : fixed.name);
  Program spec = fixed;
  RunOptions opt;
  const std::string problem = parse_options(argc, argv, spec, opt);
  if (!problem.empty()) return report_error(io.err, name.c_str(), problem);
  if (opt.help) return print_help(io.out, argc > 0 ? argv[0] : spec.name, spec);
  if (opt.version) {
    std::fprintf(io.out, "%s %s\n", spec.name, version());
    return std::fflush(io.out) == 0 && !std::ferror(io.out) ? kExitOk : kExitFailure;
  }
  if (opt.vcf) return run_vcf(spec, opt, io, name);

  // The input, checked before anything is written.
  std::FILE* in = nullptr;
  std::uint64_t input_size = 0;
  bool close_input = false;
  if (opt.batch) {
    const bool from_stdin = opt.operands.empty() || opt.operands[0] == "-";
    in = from_stdin ? stdin : std::fopen(opt.operands[0].c_str(), "r");
    const std::string shown = from_stdin ? "standard input" : quoted_path(opt.operands[0]);
    if (in == nullptr) {
      return report_error(io.err, name.c_str(), "cannot read " + shown + ": " + std::strerror(errno));
    }
    close_input = !from_stdin;
    struct stat info;
    if (fstat(fileno(in), &info) == 0) {
      if (S_ISDIR(info.st_mode)) {
        if (close_input) std::fclose(in);
        return report_error(io.err, name.c_str(),
                            "cannot read " + shown + ": " + std::strerror(EISDIR));
      }
      if (S_ISREG(info.st_mode)) input_size = static_cast<std::uint64_t>(info.st_size);
    }
  }
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> input_closer(
      close_input ? in : nullptr, [](std::FILE* f) { return f != nullptr ? std::fclose(f) : 0; });

  // The output, opened before any computation; never the input itself,
  // which opening it for writing would destroy.
  if (opt.output && in != nullptr) {
    struct stat input_info, output_info;
    if (fstat(fileno(in), &input_info) == 0 && stat(opt.output->c_str(), &output_info) == 0 &&
        S_ISREG(output_info.st_mode) && input_info.st_dev == output_info.st_dev &&
        input_info.st_ino == output_info.st_ino) {
      return report_error(io.err, name.c_str(),
                          "the output " + quoted_path(*opt.output) + " is the input file");
    }
  }
  std::FILE* file = nullptr;
  EarlierOutput earlier;
  bool resuming = false;
  if (opt.output) {
    const std::string shown = quoted_path(*opt.output);
    if (opt.resume) {
      file = std::fopen(opt.output->c_str(), "r+");
      if (file == nullptr && errno != ENOENT) {
        return report_error(io.err, name.c_str(), "cannot write " + shown + ": " + std::strerror(errno));
      }
      if (file != nullptr) {
        resuming = earlier.open(file);
        if (!resuming && (ftruncate(fileno(file), 0) != 0 || std::fseek(file, 0, SEEK_SET) != 0)) {
          std::fclose(file);
          return report_error(io.err, name.c_str(), "cannot write " + shown + ": " + std::strerror(errno));
        }
      }
    }
    if (file == nullptr) file = std::fopen(opt.output->c_str(), "w");
    if (file == nullptr) {
      return report_error(io.err, name.c_str(), "cannot write " + shown + ": " + std::strerror(errno));
    }
  }
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> output_closer(
      file, [](std::FILE* f) { return f != nullptr ? std::fclose(f) : 0; });

  if (io.handle_signals) install_stop_handlers();
  const bool show_progress =
      opt.progress == 1 || (opt.progress == -1 && opt.batch && isatty(fileno(io.err)));
  Console console(io.err, name, show_progress, kMessageCap);
  Output out(file != nullptr ? file : io.out);
  Tables tables = opt.batch ? Tables(in, spec, opt) : Tables(spec, opt);
  Run run(spec, opt, tables, out, console, input_size, resuming ? &earlier : nullptr);
  const bool completed = run.go();
  out.flush();
  if (file != nullptr) {
    output_closer.release();
    errno = 0;
    if (std::fclose(file) != 0) out.fail(errno != 0 ? errno : EIO);
  }
  console.finish();

  const std::string target = opt.output ? quoted_path(*opt.output) : "standard output";
  if (out.pipe_closed() && !opt.output) return 128 + SIGPIPE;  // the reader has gone: end quietly
  if (out.failed()) {
    return error(console, "cannot write " + target + ": " + std::strerror(out.error_number()));
  }
  if (!run.resume_problem().empty()) {
    return error(console, "cannot resume " + target + ": " + run.resume_problem());
  }
  if (!tables.fatal().empty()) return error(console, tables.fatal());
  if (const int signal = stop_signal(); signal != 0) {
    std::string note = name + ": interrupted; " + std::to_string(run.rows_written()) +
                       " complete rows in " + target;
    if (opt.output) note += " (to continue: the same command with --resume)";
    console.say(note);
    return 128 + signal;
  }
  if (tables.read_failed() && opt.batch) {
    const std::string shown = opt.operands.empty() || opt.operands[0] == "-"
                                  ? "standard input"
                                  : quoted_path(opt.operands[0]);
    return error(console, "cannot read " + shown + ": " + std::strerror(tables.read_errno()));
  }
  if (!completed) return error(console, "the run stopped early");
  if (run.rows_failed() > 0) {
    if (opt.batch) {
      console.say(name + " ERROR : " + std::to_string(run.rows_failed()) + " of " +
                  std::to_string(run.rows_written()) + " rows failed");
    }
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace kavo::cli
