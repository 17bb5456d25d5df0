// A binomial proportion equal to a given p0; p0 is part of the hypothesis,
// not of the posterior.

#include "hypotheses/registry.hpp"

namespace {

bool parameters_valid(const double* v) {
  return v[0] > 1.0 && v[1] > 1.0 && v[2] > 0.0 && v[2] < 1.0;
}

// The hypothesis is the single point (p0, 1 - p0).
void proportion_point(const double* v, double* p) {
  p[0] = v[2];
  p[1] = 1.0 - v[2];
}

}  // namespace

namespace kavo {

const HypothesisSpec kProportion{Hypothesis::proportion, "proportion", "kavoprop", 3, {"A1", "A2", "p0"}, 2, {1, {2}},
    parameters_valid, proportion_point};

}  // namespace kavo
