#include "options.hpp"

#include <cstdint>
#include <cstring>
#include <thread>

#include "messages.hpp"
#include "number_parse.hpp"

namespace kavo::cli {

namespace {

bool starts_with(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool takes_value(const std::string& name) {
  for (const char* known : {"maxMC", "precision", "prior", "seed", "threads", "method", "output",
                            "label-column", "value-columns", "shape", "alleles", "categories"}) {
    if (name == known) return true;
  }
  return false;
}

ColumnRef column_ref(const std::string& text) {
  ColumnRef ref;
  std::int64_t position = 0;
  if (!text.empty() && text.find_first_not_of("0123456789") == std::string::npos &&
      parse_whole(text, position) && position > 0 && position <= 1000000) {
    ref.position = static_cast<int>(position);
  } else {
    ref.name = text;
  }
  return ref;
}

std::string known_methods() {
  std::string names;
  for (int i = 0; i < kMethodCount; ++i) {
    if (i > 0) names += ", ";
    names += method_name(static_cast<Method>(i));
  }
  return names;
}

// Applies one option with a value; returns the problem, or an empty string.
std::string apply(const std::string& name, const std::string& value, RunOptions& opt) {
  const std::string shown = printable(value);
  const std::string bad = invalid_number(name, shown);
  std::int64_t whole = 0;
  if (name == "maxMC") {
    if (!parse_whole(value, opt.settings.max_draws)) return bad;
    opt.max_draws_given = true;
  } else if (name == "precision") {
    if (!parse_decimal(value, opt.settings.precision)) return bad;
    opt.precision_given = true;
  } else if (name == "prior") {
    if (!parse_decimal(value, opt.prior)) return bad;
  } else if (name == "seed") {
    if (!parse_whole(value, whole) || whole < kMinSeed || whole > kMaxSeed) {
      return bad + " (a whole number from 1 to 2147483646)";
    }
    opt.settings.seed = static_cast<std::int32_t>(whole);
    opt.seed_given = true;
  } else if (name == "threads") {
    if (!parse_whole(value, whole) || whole < 1 || whole > 1024) {
      return bad + " (a whole number from 1 to 1024)";
    }
    opt.threads = static_cast<int>(whole);
  } else if (name == "method") {
    const std::optional<Method> method = method_from_name(value);
    if (!method) return "unknown method '" + shown + "' (known: " + known_methods() + ")";
    opt.settings.method = *method;
    opt.method_text = value;
    opt.method_given = true;
  } else if (name == "output") {
    if (value.empty()) return "option --output needs a file name";
    opt.output = value;
  } else if (name == "shape" || name == "alleles" || name == "categories") {
    // RxC, or one number K (K x K for --shape; K alleles; C categories).
    std::int64_t first = 0, second = 0;
    const std::size_t x = value.find_first_of("xX");
    const bool pair = x != std::string::npos;
    if (!parse_whole(value.substr(0, x), first) || first < 1 || first > kMaxCells ||
        (pair && (!parse_whole(value.substr(x + 1), second) || second < 1 || second > kMaxCells)) ||
        (pair && name != "shape")) {
      return "invalid " + name + ": '" + shown + "'" +
             (name == "shape" ? " (ROWSxCOLUMNS, or K for K x K)" : " (a whole number)");
    }
    const int a = static_cast<int>(first), b = pair ? static_cast<int>(second) : a;
    opt.shape_option = "--" + name;
    opt.shape = name == "alleles" ? Shape::alleles(a)
                : name == "categories" ? Shape::categories(a)
                                       : Shape::table(a, b);
  } else if (name == "label-column") {
    if (value.empty()) return "option --label-column needs a column name or position";
    opt.label_column = column_ref(value);
  } else if (name == "value-columns") {
    opt.value_columns.clear();
    std::size_t start = 0;
    while (true) {
      const std::size_t comma = value.find(',', start);
      const std::string item = value.substr(start, comma - start);
      if (item.empty()) return "option --value-columns: an empty column in '" + shown + "'";
      opt.value_columns.push_back(column_ref(item));
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
  }
  return "";
}

// The shape option this hypothesis takes.
const char* shape_option_of(Hypothesis hypothesis) {
  switch (hypothesis) {
    case Hypothesis::hardy_weinberg: return "--alleles";
    case Hypothesis::proportion: return "--categories";
    default: return "--shape";
  }
}

// Makes program the program at the shape an option gave.
std::string apply_shape(Program& program, const RunOptions& opt) {
  if (!opt.shape) return "";
  const char* own = shape_option_of(program.hypothesis);
  if (opt.shape_option != own) {
    return std::string(program.name) + " takes " + own + ", not " + opt.shape_option;
  }
  if (!shape_valid(program.hypothesis, *opt.shape)) {
    return std::string(describe(Status::bad_shape)) + ": " + opt.shape_option + " " +
           std::to_string(opt.shape->rows) + "x" + std::to_string(opt.shape->columns);
  }
  program = program_of(program.hypothesis, *opt.shape);
  return "";
}

// Checks what the options say together.
std::string check(const Program& program, RunOptions& opt) {
  if (opt.settings.method != Method::monte_carlo) {
    const char* given = opt.seed_given         ? "--seed"
                        : opt.max_draws_given  ? "--maxMC"
                        : opt.precision_given  ? "--precision"
                                               : nullptr;
    if (given != nullptr) {
      return std::string(given) + " applies to the monte_carlo method only, not to " +
             printable(opt.method_text) +
             (opt.method_given ? "" : " (the default: ask for --method monte_carlo)");
    }
  }
  if (opt.resume && !opt.output) return "--resume needs --output FILE";
  if (opt.batch) {
    if (opt.operands.size() > 1) {
      return "more than one input file: '" + printable(opt.operands[0]) + "' and '" +
             printable(opt.operands[1]) + "'";
    }
  } else {
    if (opt.operands.empty()) return "options need --batch, or the values of one table (see --help)";
    const char* batch_only = opt.label_column           ? "--label-column"
                             : !opt.value_columns.empty() ? "--value-columns"
                             : opt.header == 1          ? "--header"
                             : opt.header == 0          ? "--no-header"
                             : opt.resume               ? "--resume"
                                                        : nullptr;
    if (batch_only != nullptr) return std::string(batch_only) + " needs --batch";
    if (opt.operands.size() != static_cast<std::size_t>(program.value_count)) {
      return "expected " + std::to_string(program.value_count) + " values (" +
             program.placeholder + "), found " + std::to_string(opt.operands.size()) +
             (opt.operands.size() > static_cast<std::size_t>(program.value_count)
                  ? " (with options, an output file is --output FILE, maxMC --maxMC N)"
                  : "");
    }
  }
  if (!opt.value_columns.empty() &&
      opt.value_columns.size() != static_cast<std::size_t>(program.value_count)) {
    return "--value-columns needs " + std::to_string(program.value_count) + " columns, found " +
           std::to_string(opt.value_columns.size());
  }
  bool by_name = opt.label_column && opt.label_column->position == 0;
  for (const ColumnRef& c : opt.value_columns) by_name = by_name || c.position == 0;
  if (by_name && opt.header == 0) return "columns named without a header (see --no-header)";
  if (by_name) opt.header = 1;
  return "";
}

}  // namespace

bool uses_options(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (starts_with(argv[i], "--")) return true;
  }
  return false;
}

std::string parse_options(int argc, char** argv, Program& program, RunOptions& opt) {
  const unsigned hardware = std::thread::hardware_concurrency();
  opt.threads = hardware > 0 ? static_cast<int>(hardware) : 1;
  bool operands_only = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    double number = 0.0;
    if (operands_only || arg == "-" || !starts_with(arg, "-") || parse_decimal(arg, number)) {
      opt.operands.push_back(arg);
      continue;
    }
    if (arg == "--") {
      operands_only = true;
      continue;
    }
    if (arg == "-h" || arg == "--help") {
      opt.help = true;
      continue;
    }
    if (!starts_with(arg, "--")) return "unknown option '" + printable(arg) + "' (see --help)";
    std::string name = arg.substr(2);
    const std::size_t eq = name.find('=');
    std::string value;
    if (eq != std::string::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
      if (!takes_value(name)) return "unknown option '" + printable(arg) + "' (see --help)";
    } else if (takes_value(name)) {
      if (i + 1 >= argc) return "option --" + name + " needs a value";
      value = argv[++i];
    } else {
      if (name == "batch") opt.batch = true;
      else if (name == "version") opt.version = true;
      else if (name == "progress") opt.progress = 1;
      else if (name == "no-progress") opt.progress = 0;
      else if (name == "resume") opt.resume = true;
      else if (name == "strict") opt.strict = true;
      else if (name == "header") opt.header = 1;
      else if (name == "no-header") opt.header = 0;
      else return "unknown option '" + printable(arg) + "' (see --help)";
      continue;
    }
    const std::string problem = apply(name, value, opt);
    if (!problem.empty()) return problem;
  }
  if (opt.help || opt.version) return "";
  const std::string shape_problem = apply_shape(program, opt);
  if (!shape_problem.empty()) return shape_problem;
  return check(program, opt);
}

void print_option_usage(std::FILE* stream, const char* program) {
  std::fprintf(
      stream,
      "\nBatch mode:\n"
      "%s --batch [FILE] [OPTIONS]     one table per line of FILE (or standard input)\n"
      "%s VALUES OPTIONS               the table on the command line, written as a\n"
      "                                  header and one row, as in batch mode\n"
      "An argument starting with -- is an option wherever it stands. Options:\n"
      "  --method NAME        exact (default) or monte_carlo\n"
      "  --maxMC N            maximum Monte Carlo draws (default 2000000)\n"
      "  --precision X        target for both half-widths (default 0.001)\n"
      "  --seed S             generator start, 1 to 2147483646 (default 11)\n"
      "                       (--maxMC, --precision and --seed are for monte_carlo only)\n"
      "  --prior X            added to every Dirichlet parameter (default 0; 1 for counts)\n"
      "  --threads N          rows computed at a time (default: all hardware threads)\n"
      "  --output FILE        write the table to FILE instead of standard output\n"
      "  --resume             with --output: keep FILE's complete rows, compute the rest\n"
      "  --header, --no-header  whether the first line is a header (default: automatic)\n"
      "  --label-column C     the label's column, by header name or position (from 1)\n"
      "  --value-columns C,.. the values' columns, in the program's order\n"
      "  --shape RxC, --shape K, --alleles K, --categories C\n"
      "                       a larger table: r x c (kavoind, kavohomo), k x k (kavomcn),\n"
      "                       k alleles (kavohw: A11 A12 A22 A13 A23 A33 ...), c categories\n"
      "                       (kavoprop: A1 .. Ac p1 .. pc); cells row-major, at most 100\n"
      "  --progress, --no-progress  progress on standard error (default: on a terminal)\n"
      "  --strict             exit 1 when any row has no evidence (default: 0 once\n"
      "                       every row is written; a summary on standard error)\n"
      "Input: fields separated by tabs, commas or spaces (a line with a tab is split on\n"
      "tabs only, likewise commas); \"double quotes\" around a field as in CSV. Blank lines\n"
      "and lines starting with # are skipped; a first line with no number is a header.\n"
      "Output: tab-separated; label, values used, evidence, draws, half_width\n"
      "(monte_carlo) or error_bound (exact), log10_evidence, sev, g2 and df; NA in\n"
      "all seven for a row that cannot be computed. Exits 0 once every row is written\n"
      "(1 with --strict if a row failed, or for one table that failed), 1 on a usage or\n"
      "I/O error, 130, 143 or 129 when interrupted.\n",
      program, program);
}

}  // namespace kavo::cli
