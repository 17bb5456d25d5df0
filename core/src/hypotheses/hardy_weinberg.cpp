// Hardy-Weinberg equilibrium of the genotype classes aa, ab, bb of a
// two-allele locus.

#include "hypotheses/registry.hpp"

namespace {

bool parameters_valid(const double* a) { return kavo::all_greater_than_one(a, 3); }

// Genotype probabilities at the allele frequency theta that maximises the
// kernel: twice the aa class plus the ab class over twice the total, each
// parameter less 1. p_bb is what remains, not (1 - theta)^2.
void equilibrium_point(const double* a, double* p) {
  const double s = a[0] + a[1] + a[2];
  const double theta = (2.0 * a[0] + a[1] - 3.0) / ((s - 3.0) * 2.0);
  const double p_aa = theta * theta;
  const double p_ab = (2.0 * theta) * (1.0 - theta);
  p[0] = p_aa;
  p[1] = p_ab;
  p[2] = 1.0 - p_aa - p_ab;
}

}  // namespace

namespace kavo {

const HypothesisSpec kHardyWeinberg{Hypothesis::hardy_weinberg, "hardy_weinberg", "kavohw", 3, {"Aaa", "Aab", "Abb"}, 3, {1, {3}},
    parameters_valid, equilibrium_point};

}  // namespace kavo
