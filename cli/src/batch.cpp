#include "batch.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "engine.hpp"
#include "help.hpp"
#include "messages.hpp"
#include "options.hpp"
#include "progress.hpp"
#include "resume.hpp"
#include "signals.hpp"
#include "table_source.hpp"
#include "vcf_row_source.hpp"
#include "writer.hpp"

namespace kavo::cli {

namespace {

// Row messages shown before the rest are only counted.
constexpr long kMessageCap = 100;

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

File no_file() {
  return File(nullptr, [](std::FILE* f) { return f != nullptr ? std::fclose(f) : 0; });
}

File owned(std::FILE* f) {
  return File(f, [](std::FILE* g) { return g != nullptr ? std::fclose(g) : 0; });
}

std::string quoted_path(const std::string& path) {
  std::string shown(1, '\'');
  shown += printable(path);
  shown += '\'';
  return shown;
}

bool stopped_by_signal() { return stop_signal() != 0; }

int error(Console& console, const std::string& message) {
  console.say(console.program() + " ERROR : " + message);
  console.say("Exiting...");
  return kExitFailure;
}

// The input, checked before anything is written: batch mode's file, or
// standard input for none or "-" (a VCF's size and identity only).
struct Input {
  std::FILE* stream = nullptr;
  File owner = no_file();
  std::uint64_t size = 0;  // a regular file's, else 0
  std::string shown;       // for messages
  std::string problem;
  bool known = false;      // `info` is the input's
  struct stat info {};
};

Input open_input(const RunOptions& opt) {
  Input in;
  const bool from_stdin = opt.operands.empty() || opt.operands[0] == "-";
  in.shown = from_stdin ? "standard input" : quoted_path(opt.operands[0]);
  in.stream = from_stdin ? stdin : std::fopen(opt.operands[0].c_str(), "r");
  if (in.stream == nullptr) {
    in.problem = "cannot read " + in.shown + ": " + std::strerror(errno);
    return in;
  }
  if (!from_stdin) in.owner = owned(in.stream);
  in.known = fstat(fileno(in.stream), &in.info) == 0;
  if (in.known) {
    if (S_ISDIR(in.info.st_mode)) in.problem = "cannot read " + in.shown + ": " + std::strerror(EISDIR);
    if (S_ISREG(in.info.st_mode)) in.size = static_cast<std::uint64_t>(in.info.st_size);
  }
  return in;
}

// The output file, opened before any computation; never the input itself,
// which opening it for writing would destroy. With --resume an existing
// file is opened to be read and appended to.
struct OutputFile {
  File owner = no_file();
  EarlierOutput earlier;
  bool resuming = false;
  std::string problem;
};

OutputFile open_output(const RunOptions& opt, const Input& input) {
  OutputFile out;
  const std::string shown = quoted_path(*opt.output);
  if (input.known) {
    struct stat output_info;
    if (stat(opt.output->c_str(), &output_info) == 0 && S_ISREG(output_info.st_mode) &&
        input.info.st_dev == output_info.st_dev && input.info.st_ino == output_info.st_ino) {
      out.problem = "the output " + shown + " is the input file";
      return out;
    }
  }
  const auto fail = [&] { out.problem = "cannot write " + shown + ": " + std::strerror(errno); };
  if (opt.resume) {
    std::FILE* file = std::fopen(opt.output->c_str(), "r+");
    if (file == nullptr && errno != ENOENT) {
      fail();
      return out;
    }
    if (file != nullptr) {
      out.owner = owned(file);
      out.resuming = out.earlier.open(file);
      if (!out.resuming && (ftruncate(fileno(file), 0) != 0 || std::fseek(file, 0, SEEK_SET) != 0)) {
        fail();
      }
      return out;
    }
  }
  std::FILE* file = std::fopen(opt.output->c_str(), "w");
  if (file == nullptr) {
    fail();
  } else {
    out.owner = owned(file);
  }
  return out;
}

}  // namespace

int run_with_options(int argc, char** argv, const Program& fixed, ProgramStreams io) {
  const std::string name = base_name(argc > 0 ? argv[0] : fixed.name);
  Program program = fixed;
  RunOptions opt;
  const std::string problem = parse_options(argc, argv, program, opt);
  if (!problem.empty()) return report_error(io.err, name.c_str(), problem);
  if (opt.help) return print_help(io.out, argc > 0 ? argv[0] : program.name, program);
  if (opt.version) {
    std::fprintf(io.out, "%s %s\n", program.name, version());
    return std::fflush(io.out) == 0 && !std::ferror(io.out) ? kExitOk : kExitFailure;
  }

  Input input;
  std::unique_ptr<RowSource> source;
  if (opt.vcf) {
    auto sites = std::make_unique<VcfRows>(*opt.vcf, opt);
    if (!sites->problem().empty()) return report_error(io.err, name.c_str(), sites->problem());
    input.size = sites->size();
    input.known = (*opt.vcf == "-" ? fstat(STDIN_FILENO, &input.info)
                                   : stat(opt.vcf->c_str(), &input.info)) == 0;
    source = std::move(sites);
  } else if (opt.batch) {
    input = open_input(opt);
    if (!input.problem.empty()) return report_error(io.err, name.c_str(), input.problem);
    source = std::make_unique<LineTables>(input.stream, program, opt,
                                          io.handle_signals ? stopped_by_signal : nullptr);
  } else {
    source = std::make_unique<ArgumentTable>(program, opt);
  }
  OutputFile output;
  if (opt.output) {
    output = open_output(opt, input);
    if (!output.problem.empty()) return report_error(io.err, name.c_str(), output.problem);
  }

  if (io.handle_signals) install_stop_handlers();
  const bool panel = opt.batch || opt.vcf;
  const bool show_progress =
      opt.progress == 1 || (opt.progress == -1 && panel && isatty(fileno(io.err)));
  Console console(io.err, name, show_progress, kMessageCap);
  if (opt.output) console.list_failures_in(*opt.output + ".failures");
  Output out(output.owner ? output.owner.get() : io.out);

  Resumed resumed;
  if (output.resuming) resumed = resume(output.earlier, *source, opt.settings.method);
  if (resumed.problem.empty()) tell_kept_failures(resumed, console);
  const bool go_on = resumed.problem.empty() && source->fatal().empty();
  Engine::Options run;
  run.threads = opt.threads;
  run.settings = opt.settings;
  run.input_size = input.size;
  run.kept = resumed.kept;
  run.write_header = !output.resuming;
  if (resumed.kept > 0) run.before = &resumed.last;
  Engine engine(*source, out, console, run);
  if (go_on) engine.run(resumed.has_pending ? &resumed.pending : nullptr);
  out.flush();
  if (std::FILE* file = output.owner.release(); file != nullptr) {
    errno = 0;
    if (std::fclose(file) != 0) out.fail(errno != 0 ? errno : EIO);
  }
  console.finish();

  const std::string target = opt.output ? quoted_path(*opt.output) : "standard output";
  if (out.pipe_closed() && !opt.output) return 128 + SIGPIPE;  // the reader has gone: end quietly
  if (out.failed()) {
    return error(console, "cannot write " + target + ": " + std::strerror(out.error_number()));
  }
  if (!resumed.problem.empty()) {
    return error(console, "cannot resume " + target + ": " + resumed.problem);
  }
  const std::uint64_t rows = resumed.kept + engine.rows_written();
  if (!source->fatal().empty()) {
    if (opt.vcf) {
      console.say(name + ": " + std::to_string(rows) + " complete rows in " + target +
                  ", every site before the one that cannot be read");
    }
    return error(console, source->fatal());
  }
  if (const int signal = stop_signal(); signal != 0) {
    std::string note = name + ": interrupted; " + std::to_string(rows) + " complete rows in " + target;
    if (opt.output) note += " (to continue: the same command with --resume)";
    console.say(note);
    return 128 + signal;
  }
  if (source->read_error() != 0) {
    return error(console, "cannot read " + input.shown + ": " + std::strerror(source->read_error()));
  }
  const std::uint64_t failed = resumed.failed + engine.rows_failed();
  if (failed == 0) return kExitOk;
  if (!panel) return kExitFailure;  // the one table asked for has no evidence
  // A panel's rows without an evidence are results (NA), not a failed run,
  // unless --strict says otherwise.
  console.say(name + " ERROR : " + std::to_string(failed) + " of " + std::to_string(rows) +
              " rows failed");
  return opt.strict ? kExitFailure : kExitOk;
}

}  // namespace kavo::cli
