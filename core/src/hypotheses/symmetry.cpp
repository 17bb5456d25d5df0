// Symmetry of a paired 2x2 table: the two discordant cells equally likely.

#include "hypotheses/registry.hpp"

namespace {

bool parameters_valid(const double* a) { return kavo::all_greater_than_one(a, 4); }

// The diagonal cells keep their own modes; the two discordant cells share
// what is left equally.
void symmetry_point(const double* a, double* p) {
  const double s = a[0] + a[1] + a[2] + a[3];
  const double p11 = (a[0] - 1.0) / (s - 4.0);
  const double p22 = (a[3] - 1.0) / (s - 4.0);
  const double q = (1.0 - p11 - p22) * 0.5;
  p[0] = p11;
  p[1] = q;
  p[2] = q;
  p[3] = p22;
}

}  // namespace

namespace kavo {

const HypothesisSpec kSymmetry{Hypothesis::symmetry, "symmetry", "kavomcn", 4, {"A11", "A12", "A21", "A22"}, 4, {1, {4}},
    parameters_valid, symmetry_point};

}  // namespace kavo
