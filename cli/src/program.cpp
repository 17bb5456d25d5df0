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
  Program p{hypothesis, program_name(hypothesis), value_count(hypothesis),
            dirichlet_count(hypothesis), {}, {}, what_is_tested(hypothesis)};
  for (int i = 0; i < p.value_count && i < kMaxValues; ++i) {
    p.value_names[i] = value_name(hypothesis, i);
    if (i > 0) p.placeholder += ' ';
    p.placeholder += std::string("<") + p.value_names[i] + ">";
  }
  return p;
}

}  // namespace kavo::cli
