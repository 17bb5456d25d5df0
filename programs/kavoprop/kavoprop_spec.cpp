#include "kavoprop/kavoprop_spec.hpp"

namespace {

bool validate(const double* v) {
  return v[0] > 1.0 && v[1] > 1.0 && v[2] > 0.0 && v[2] < 1.0;
}

// The hypothesis is the single point (p0, 1 - p0).
void proportion_point(const double* v, double* p) {
  p[0] = v[2];
  p[1] = 1.0 - v[2];
}

}  // namespace

const kavo::HypothesisSpec& kavoprop_spec() {
  static const kavo::HypothesisSpec spec{
      "kavoprop", "<A1> <A2> <p0>", 3, {"A1", "A2", "p0"}, 2,
      kavo::SamplerLayout::single_block, validate, proportion_point};
  return spec;
}
