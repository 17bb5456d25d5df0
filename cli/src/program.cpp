#include "program.hpp"

namespace kavo::cli {

namespace {

const char* what_is_tested(Hypothesis hypothesis) {
  switch (hypothesis) {
    case Hypothesis::independence:
      return "the rows and the columns of a 2x2 table are independent";
    case Hypothesis::symmetry:
      return "the two discordant cells of a paired 2x2 table are equally likely";
    case Hypothesis::homogeneity:
      return "two binomial proportions, one per row of a 2x2 table, are equal";
    case Hypothesis::hardy_weinberg:
      return "three genotype classes aa, ab, bb are in Hardy-Weinberg equilibrium";
    case Hypothesis::proportion:
      return "the first of two categories has probability p0";
  }
  return "";
}

}  // namespace

Program program_of(Hypothesis hypothesis) {
  return program_of(hypothesis, default_shape(hypothesis));
}

Program program_of(Hypothesis hypothesis, Shape shape) {
  Program p{hypothesis,  shape, program_name(hypothesis), value_count(hypothesis, shape),
            dirichlet_count(hypothesis, shape), {}, {}, what_is_tested(hypothesis)};
  for (int i = 0; i < p.value_count; ++i) {
    p.value_names.push_back(value_name(hypothesis, shape, i));
    if (i > 0) p.placeholder += ' ';
    p.placeholder += "<" + p.value_names[i] + ">";
  }
  return p;
}

}  // namespace kavo::cli
