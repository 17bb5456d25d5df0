#pragma once
// What the command line shows of a hypothesis: its program's name, the
// placeholder of its usage line and its values' names, all from the library.

#include <string>

#include "kavo/kavo.hpp"

namespace kavo::cli {

inline constexpr int kMaxValues = 4;

struct Program {
  Hypothesis hypothesis;
  const char* name;         // kavoind, ...
  int value_count;          // N: values read from argv[1] .. argv[N]
  int dirichlet_count;      // of those, the Dirichlet parameters (the first ones)
  const char* value_names[kMaxValues];
  std::string placeholder;  // "<A11> <A12> <A21> <A22>"
  const char* tests;        // what the program tests, as the end of "Tests whether ..."
};

Program program_of(Hypothesis hypothesis);

}  // namespace kavo::cli
