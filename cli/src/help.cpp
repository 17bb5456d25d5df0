#include "help.hpp"

#include <cstring>

#include "messages.hpp"
#include "options.hpp"

namespace kavo::cli {

void print_usage(std::FILE* stream, const char* invoked, const Program& program) {
  std::fprintf(stream, "\n\n%s\n\nParameters:\n%s [outputfile [maxMC [precision]]]\n"
               "[ ] = Optional parameters\n", invoked, program.placeholder.c_str());
}

int print_help(std::FILE* out, const char* invoked, const Program& program) {
  print_usage(out, invoked, program);
  print_help_details(out, invoked, program);
  return std::fflush(out) == 0 && !std::ferror(out) ? kExitOk : kExitFailure;
}

std::string base_name(const char* path) {
  const char* slash = std::strrchr(path, '/');
  return slash != nullptr && slash[1] != '\0' ? slash + 1 : path;
}

void print_help_details(std::FILE* stream, const char* invoked, const Program& program) {
  const bool has_p0 = program.dirichlet_count < program.value_count;
  std::fprintf(stream,
               "\nTests whether %s.\n"
               "The values are the parameters of the Dirichlet posterior (counts plus the\n"
               "prior): every Dirichlet parameter must be greater than 1%s.\n"
               "Prints the evidence (Monte Carlo, seed 11) to standard error; outputfile\n"
               "receives it alone. maxMC: the maximum number of draws (default 2000000);\n"
               "precision: the target for both half-widths (default 0.001).\n",
               program.tests, has_p0 ? " and p0 strictly between 0 and 1" : "");
  print_option_usage(stream, invoked);
}

}  // namespace kavo::cli
