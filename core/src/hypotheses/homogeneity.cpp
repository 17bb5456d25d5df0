// Homogeneity of two binomial proportions, one per row of a 2x2 table; each
// row is its own Beta posterior.

#include "hypotheses/registry.hpp"

namespace {

bool parameters_valid(const double* a) { return kavo::all_greater_than_one(a, 4); }

// Both rows at the common proportion t: the first column pooled over both
// rows, over the whole table (each parameter less 1).
void homogeneity_point(const double* a, double* p) {
  const double s = a[0] + a[1] + a[2] + a[3];
  const double t = (a[0] + a[2] - 2.0) / (s - 4.0);
  const double u = 1.0 - t;
  p[0] = t;
  p[1] = u;
  p[2] = t;
  p[3] = u;
}

}  // namespace

namespace kavo {

const HypothesisSpec kHomogeneity{Hypothesis::homogeneity, "homogeneity", "kavohomo", 4, {"A11", "A12", "A21", "A22"}, 4, {2, {2, 2}},
    parameters_valid, homogeneity_point};

}  // namespace kavo
