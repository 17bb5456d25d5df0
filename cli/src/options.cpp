#include "options.hpp"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string_view>
#include <thread>

#include "messages.hpp"
#include "number_parse.hpp"

namespace kavo::cli {

namespace {

bool starts_with(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
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

// RxC, or one number K (K x K for --shape; K alleles; C categories).
std::string apply_shape_option(const std::string& name, const std::string& value,
                               RunOptions& opt) {
  const std::string shown = printable(value);
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
  return "";
}

// What an option may be given with.
enum class Scope {
  any,
  batch_only,        // "--X needs --batch" without it
  monte_carlo_only,  // refused with another method
};

// One option: its name (without "--"), whether it takes a value, where it
// applies, the option it needs ("" for none; as shown: "--output FILE"), its
// lines of --help ("" when another option's lines cover it) and what it
// does. Parsing, the scope and needs checks and --help all read this table.
struct OptionSpec {
  const char* name;
  bool takes_value;
  Scope scope;
  const char* needs;
  const char* help;
  // Returns the problem with the value, or an empty string.
  std::string (*apply)(const std::string& name, const std::string& value, RunOptions& opt);
};

std::string bad_number(const std::string& name, const std::string& value) {
  return invalid_number(name, printable(value));
}

// An option whose value is kept as text, and must not be empty.
template <std::string RunOptions::*field>
std::string set_text(const std::string& name, const std::string& value, RunOptions& opt) {
  if (value.empty()) return "option --" + name + " needs a value";
  opt.*field = value;
  return std::string();
}

constexpr OptionSpec kOptions[] = {
    {"batch", false, Scope::any, "", "",
     [](const std::string&, const std::string&, RunOptions& opt) {
       opt.batch = true;
       return std::string();
     }},
    {"version", false, Scope::any, "", "",
     [](const std::string&, const std::string&, RunOptions& opt) {
       opt.version = true;
       return std::string();
     }},
    {"method", true, Scope::any, "", "  --method NAME        exact (default) or monte_carlo\n",
     [](const std::string&, const std::string& value, RunOptions& opt) {
       const std::optional<Method> method = method_from_name(value);
       if (!method) {
         return "unknown method '" + printable(value) + "' (known: " + known_methods() + ")";
       }
       opt.settings.method = *method;
       opt.method_text = value;
       opt.method_given = true;
       return std::string();
     }},
    {"maxMC", true, Scope::monte_carlo_only, "",
     "  --maxMC N            maximum Monte Carlo draws (default 2000000)\n",
     [](const std::string& name, const std::string& value, RunOptions& opt) {
       return parse_whole(value, opt.settings.max_draws) ? std::string() : bad_number(name, value);
     }},
    {"precision", true, Scope::monte_carlo_only, "",
     "  --precision X        target for both half-widths (default 0.001)\n",
     [](const std::string& name, const std::string& value, RunOptions& opt) {
       return parse_decimal(value, opt.settings.precision) ? std::string()
                                                           : bad_number(name, value);
     }},
    {"seed", true, Scope::monte_carlo_only, "",
     "  --seed S             generator start, 1 to 2147483646 (default 11)\n"
     "                       (--maxMC, --precision and --seed are for monte_carlo only)\n",
     [](const std::string& name, const std::string& value, RunOptions& opt) {
       std::int64_t whole = 0;
       if (!parse_whole(value, whole) || whole < kMinSeed || whole > kMaxSeed) {
         return bad_number(name, value) + " (a whole number from 1 to 2147483646)";
       }
       opt.settings.seed = static_cast<std::int32_t>(whole);
       return std::string();
     }},
    {"prior", true, Scope::any, "",
     "  --prior X            added to every Dirichlet parameter (default 0; 1 for counts)\n",
     [](const std::string& name, const std::string& value, RunOptions& opt) {
       return parse_decimal(value, opt.prior) ? std::string() : bad_number(name, value);
     }},
    {"threads", true, Scope::any, "",
     "  --threads N          rows computed at a time (default: all hardware threads)\n",
     [](const std::string& name, const std::string& value, RunOptions& opt) {
       std::int64_t whole = 0;
       if (!parse_whole(value, whole) || whole < 1 || whole > kMaxThreads) {
         return bad_number(name, value) + " (a whole number from 1 to " +
                std::to_string(kMaxThreads) + ")";
       }
       opt.threads = static_cast<int>(whole);
       return std::string();
     }},
    {"output", true, Scope::any, "",
     "  --output FILE        write the table to FILE instead of standard output\n",
     [](const std::string&, const std::string& value, RunOptions& opt) {
       if (value.empty()) return std::string("option --output needs a file name");
       opt.output = value;
       return std::string();
     }},
    {"resume", false, Scope::batch_only, "--output FILE",
     "  --resume             with --output: keep FILE's complete rows, compute the rest\n",
     [](const std::string&, const std::string&, RunOptions& opt) {
       opt.resume = true;
       return std::string();
     }},
    {"header", false, Scope::batch_only, "",
     "  --header, --no-header  whether the first line is a header (default: automatic)\n",
     [](const std::string&, const std::string&, RunOptions& opt) {
       opt.header = 1;
       return std::string();
     }},
    {"no-header", false, Scope::batch_only, "", "",
     [](const std::string&, const std::string&, RunOptions& opt) {
       opt.header = 0;
       return std::string();
     }},
    {"label-column", true, Scope::batch_only, "",
     "  --label-column C     the label's column, by header name or position (from 1)\n",
     [](const std::string&, const std::string& value, RunOptions& opt) {
       if (value.empty()) return std::string("option --label-column needs a column name or position");
       opt.label_column = column_ref(value);
       return std::string();
     }},
    {"value-columns", true, Scope::batch_only, "",
     "  --value-columns C,.. the values' columns, in the program's order\n",
     [](const std::string&, const std::string& value, RunOptions& opt) {
       opt.value_columns.clear();
       std::size_t start = 0;
       while (true) {
         const std::size_t comma = value.find(',', start);
         const std::string item = value.substr(start, comma - start);
         if (item.empty()) {
           return "option --value-columns: an empty column in '" + printable(value) + "'";
         }
         opt.value_columns.push_back(column_ref(item));
         if (comma == std::string::npos) break;
         start = comma + 1;
       }
       return std::string();
     }},
    {"shape", true, Scope::any, "",
     "  --shape RxC, --shape K, --alleles K, --categories C\n"
     "                       a larger table: r x c (kavoind, kavohomo), k x k (kavomcn),\n"
     "                       k alleles (kavohw: A11 A12 A22 A13 A23 A33 ...), c categories\n"
     "                       (kavoprop: A1 .. Ac p1 .. pc); cells row-major, at most 100\n",
     apply_shape_option},
    {"alleles", true, Scope::any, "", "", apply_shape_option},
    {"categories", true, Scope::any, "", "", apply_shape_option},
    {"vcf", true, Scope::any, "",
     "  --vcf FILE           kavohw: one row per site of a VCF, bgzipped VCF or BCF\n"
     "                       (- for standard input); --samples FILE or A,B,.. (^ first:\n"
     "                       all but those), --regions CHR:BEG-END,.. (needs an index),\n"
     "                       --sex FILE (sample<TAB>sex: 1 or M male, 2 or F female)\n",
     [](const std::string& name, const std::string& value, RunOptions& opt) {
       if (value.empty()) return "option --" + name + " needs a value";
       opt.vcf = value;
       return std::string();
     }},
    {"samples", true, Scope::any, "--vcf", "", set_text<&RunOptions::samples>},
    {"regions", true, Scope::any, "--vcf", "", set_text<&RunOptions::regions>},
    {"sex", true, Scope::any, "--vcf", "", set_text<&RunOptions::sex_file>},
    {"strict", false, Scope::any, "",
     "  --strict             exit 1 when any row has no evidence (default: 0 once\n"
     "                       every row is written; a summary on standard error)\n",
     [](const std::string&, const std::string&, RunOptions& opt) {
       opt.strict = true;
       return std::string();
     }},
    {"progress", false, Scope::any, "",
     "  --progress, --no-progress  progress on standard error (default: on a terminal)\n",
     [](const std::string&, const std::string&, RunOptions& opt) {
       opt.progress = 1;
       return std::string();
     }},
    {"no-progress", false, Scope::any, "", "",
     [](const std::string&, const std::string&, RunOptions& opt) {
       opt.progress = 0;
       return std::string();
     }},
};

const OptionSpec* find_option(std::string_view name) {
  for (const OptionSpec& o : kOptions) {
    if (name == o.name) return &o;
  }
  return nullptr;
}

// The hypothesis an option such as --x-linked selects in its program.
std::optional<Hypothesis> selected_by(std::string_view name) {
  for (int i = 0; i < kHypothesisCount; ++i) {
    const HypothesisDescription info = describe_hypothesis(static_cast<Hypothesis>(i));
    if (*info.program_option != '\0' && name == info.program_option) return info.hypothesis;
  }
  return std::nullopt;
}

// The first option of the scope that was given, in the table's order.
const char* first_given(const RunOptions& opt, Scope scope) {
  for (const OptionSpec& o : kOptions) {
    if (o.scope == scope && opt.given.count(o.name) != 0) return o.name;
  }
  return nullptr;
}

// The shape option this hypothesis takes; nullptr for its fixed shape only.
const char* shape_option_of(Hypothesis hypothesis) {
  switch (describe_hypothesis(hypothesis).shape_kind) {
    case ShapeKind::fixed: return nullptr;
    case ShapeKind::alleles: return "--alleles";
    case ShapeKind::categories: return "--categories";
    case ShapeKind::table:
    case ShapeKind::square: break;
  }
  return "--shape";
}

// Makes program the program of the hypothesis an option selected (such as
// --x-linked), then at the shape an option gave.
std::string apply_hypothesis_and_shape(Program& program, const RunOptions& opt) {
  if (!opt.hypothesis_option.empty()) {
    const Hypothesis selected = *selected_by(opt.hypothesis_option);
    const HypothesisDescription info = describe_hypothesis(selected);
    if (std::string_view(info.program) != program.name) {
      return "--" + opt.hypothesis_option + " is for " + info.program + ", not " + program.name;
    }
    program = program_of(selected);
  }
  if (!opt.shape) return "";
  const char* own = shape_option_of(program.hypothesis);
  if (own == nullptr) {
    return "--" + opt.hypothesis_option + " takes its fixed table only (" + program.placeholder +
           "), not " + opt.shape_option;
  }
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

// VCF input: kavohw alone, without the table options; its selections need it.
std::string check_vcf(const Program& program, const RunOptions& opt) {
  if (!opt.vcf) return "";
  if (program.hypothesis != Hypothesis::hardy_weinberg) {
    return std::string("--vcf is for kavohw, not ") + program.name;
  }
  const char* other = opt.batch                    ? "--batch"
                      : opt.shape                  ? opt.shape_option.c_str()
                      : opt.label_column           ? "--label-column"
                      : !opt.value_columns.empty() ? "--value-columns"
                      : opt.header == 1            ? "--header"
                      : opt.header == 0            ? "--no-header"
                                                   : nullptr;
  if (other != nullptr) return std::string("--vcf does not take ") + other;
  if (!opt.operands.empty()) {
    return "--vcf takes no other input: '" + printable(opt.operands[0]) + "'";
  }
  return "";
}

// Checks what the options say together.
std::string check(const Program& program, RunOptions& opt) {
  if (opt.settings.method != Method::monte_carlo) {
    if (const char* given = first_given(opt, Scope::monte_carlo_only)) {
      return std::string("--") + given + " applies to the monte_carlo method only, not to " +
             printable(opt.method_text) +
             (opt.method_given ? "" : " (the default: ask for --method monte_carlo)");
    }
  }
  // An option given without the one it needs.
  for (const OptionSpec& o : kOptions) {
    if (*o.needs == '\0' || opt.given.count(o.name) == 0) continue;
    const std::string_view needed = std::string_view(o.needs).substr(2);  // after "--"
    if (opt.given.count(needed.substr(0, needed.find(' '))) == 0) {
      return std::string("--") + o.name + " needs " + o.needs;
    }
  }
  const std::string vcf_problem = check_vcf(program, opt);
  // A VCF's values are counts: the uniform prior unless one is given.
  if (opt.vcf && opt.given.count("prior") == 0) opt.prior = 1.0;
  if (!vcf_problem.empty() || opt.vcf) return vcf_problem;
  if (opt.batch) {
    if (opt.operands.size() > 1) {
      return "more than one input file: '" + printable(opt.operands[0]) + "' and '" +
             printable(opt.operands[1]) + "'";
    }
  } else {
    if (opt.operands.empty()) return "options need --batch, or the values of one table (see --help)";
    if (const char* batch_only = first_given(opt, Scope::batch_only)) {
      return std::string("--") + batch_only + " needs --batch";
    }
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
  opt.threads = hardware > 0 ? static_cast<int>(std::min(hardware, unsigned{kMaxThreads})) : 1;
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
    const std::string unknown = "unknown option '" + printable(arg) + "' (see --help)";
    if (!starts_with(arg, "--")) return unknown;
    std::string name = arg.substr(2);
    const std::size_t eq = name.find('=');
    const bool inline_value = eq != std::string::npos;
    std::string value = inline_value ? name.substr(eq + 1) : "";
    if (inline_value) name = name.substr(0, eq);
    const OptionSpec* option = find_option(name);
    if (option == nullptr) {
      if (inline_value || !selected_by(name)) return unknown;
      opt.hypothesis_option = name;
      continue;
    }
    if (inline_value && !option->takes_value) return unknown;
    if (option->takes_value && !inline_value) {
      if (i + 1 >= argc) return "option --" + name + " needs a value";
      value = argv[++i];
    }
    const std::string problem = option->apply(name, value, opt);
    if (!problem.empty()) return problem;
    opt.given.insert(option->name);
  }
  if (opt.help || opt.version) return "";
  const std::string problem = apply_hypothesis_and_shape(program, opt);
  if (!problem.empty()) return problem;
  return check(program, opt);
}

namespace {

// Words on lines of at most 80 characters.
void print_wrapped(std::FILE* stream, std::string_view text) {
  std::size_t line = 0;
  while (!text.empty()) {
    const std::size_t end = text.find(' ');
    const std::string_view word = text.substr(0, end);
    if (line > 0 && line + 1 + word.size() > 80) {
      std::fputc('\n', stream);
      line = 0;
    }
    if (line > 0) {
      std::fputc(' ', stream);
      ++line;
    }
    std::fwrite(word.data(), 1, word.size(), stream);
    line += word.size();
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  }
  std::fputc('\n', stream);
}

}  // namespace

void print_option_usage(std::FILE* stream, const char* program) {
  std::fprintf(
      stream,
      "\nBatch mode:\n"
      "%s --batch [FILE] [OPTIONS]     one table per line of FILE (or standard input)\n"
      "%s VALUES OPTIONS               the table on the command line, written as a\n"
      "                                  header and one row, as in batch mode\n"
      "An argument starting with -- is an option wherever it stands. Options:\n",
      program, program);
  for (const OptionSpec& o : kOptions) {
    std::fputs(o.help, stream);
    // The options that select another hypothesis of a program follow the shapes.
    if (std::string_view(o.name) != "categories") continue;
    for (int i = 0; i < kHypothesisCount; ++i) {
      const Program p = program_of(static_cast<Hypothesis>(i));
      const HypothesisDescription info = describe_hypothesis(p.hypothesis);
      if (*info.program_option == '\0') continue;
      std::fprintf(stream, "  --%-19s%s: %s (", info.program_option, info.program, info.title);
      for (int v = 0; v < p.value_count; ++v) {
        std::fprintf(stream, "%s%s", v > 0 ? " " : "", p.value_names[static_cast<std::size_t>(v)].c_str());
      }
      std::fputs(")\n", stream);
    }
  }
  std::fputs(
      "Input: fields separated by tabs, commas or spaces (a line with a tab is split on\n"
      "tabs only, likewise commas); \"double quotes\" around a field as in CSV. Blank lines\n"
      "and lines starting with # are skipped; a first line with no number is a header.\n",
      stream);
  // The error column of each method, from the methods' descriptions.
  std::string text = "Output: tab-separated; label, values used, evidence, draws, ";
  for (int i = 0; i < kMethodCount; ++i) {
    const MethodDescription m = describe_method(static_cast<Method>(i));
    if (i > 0) text += i + 1 == kMethodCount ? " or " : ", ";
    text += std::string(m.error_column) + " (" + m.name + ")";
  }
  text +=
      ", log10_evidence, sev, g2 and df; NA in all seven for a row that cannot be computed. "
      "Exits 0 once every row is written (1 with --strict if a row failed, or for one table "
      "that failed), 1 on a usage or I/O error, 130, 143 or 129 when interrupted.";
  print_wrapped(stream, text);
}

}  // namespace kavo::cli
