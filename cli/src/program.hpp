#pragma once
// What the command line shows of a hypothesis: its program's name, the
// placeholder of its usage line, its values' names and what it tests, all
// from the library's description of it.

#include <string>
#include <vector>

#include "kavo/kavo.hpp"

namespace kavo::cli {

struct Program {
  Hypothesis hypothesis;
  Shape shape;              // the fixed shape unless an option gave another
  const char* name;         // kavoind, ...
  int value_count;          // N: values read from argv[1] .. argv[N]
  int dirichlet_count;      // of those, the Dirichlet parameters (the first ones)
  std::vector<std::string> value_names;
  std::string placeholder;  // "<A11> <A12> <A21> <A22>"
  const char* tests;        // what the program tests, as the end of "Tests whether ..."
};

// The program at its fixed shape, or at another the hypothesis can take.
Program program_of(Hypothesis hypothesis);
Program program_of(Hypothesis hypothesis, Shape shape);

}  // namespace kavo::cli
