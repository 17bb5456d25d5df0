#include "program.hpp"

namespace kavo::cli {

Program program_of(Hypothesis hypothesis) {
  return program_of(hypothesis, default_shape(hypothesis));
}

Program program_of(Hypothesis hypothesis, Shape shape) {
  const HypothesisDescription info = describe_hypothesis(hypothesis);
  Program p{hypothesis,  shape, info.program, value_count(hypothesis, shape),
            dirichlet_count(hypothesis, shape), {}, {}, info.description};
  for (int i = 0; i < p.value_count; ++i) {
    p.value_names.push_back(value_name(hypothesis, shape, i));
    if (i > 0) p.placeholder += ' ';
    p.placeholder += "<" + p.value_names[i] + ">";
  }
  return p;
}

}  // namespace kavo::cli
