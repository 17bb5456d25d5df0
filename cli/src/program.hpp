#pragma once
// What the command line shows of a hypothesis: its program's name, the
// placeholder of its usage line and its values' names, all from the library.

#include <string>
#include <vector>

#include "kavo/kavo.hpp"

namespace kavo::cli {

inline constexpr int kMaxValues = 2 * kMaxCells;  // a proportion's A1 .. Ac and p1 .. pc

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
