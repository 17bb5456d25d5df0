#include "program.hpp"

namespace kavo::cli {

Program program_of(Hypothesis hypothesis) {
  Program p{hypothesis, program_name(hypothesis), value_count(hypothesis),
            dirichlet_count(hypothesis), {}, {}};
  for (int i = 0; i < p.value_count && i < kMaxValues; ++i) {
    p.value_names[i] = value_name(hypothesis, i);
    if (i > 0) p.placeholder += ' ';
    p.placeholder += std::string("<") + p.value_names[i] + ">";
  }
  return p;
}

}  // namespace kavo::cli
