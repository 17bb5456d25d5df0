#pragma once
// Gamma deviates of shape a and scale 1.
//
// Whole-number shapes below 6 use the direct method: minus the log of the
// product of a uniforms. Every other shape of at least 1 uses the rejection
// method with a Cauchy-like envelope, which is valid for any shape above 1.
// (Applying the direct method to a non-whole shape would silently draw from
// shape floor(a), so it is kept to whole shapes.)

#include <cmath>

#include "random/rng.hpp"

namespace kavo {

// What depends on the shape alone, worked out once per run instead of once
// per deviate.
struct GammaShape {
  double a = 0.0;
  int direct_uniforms = 0;  // > 0: direct method with that many uniforms
  double am = 0.0;          // rejection method: a - 1
  double s = 0.0;           // rejection method: sqrt(2 * am + 1)
};

// False for a shape below 1 (or NaN): the deviates are not defined there.
inline bool gamma_shape_valid(double a) { return a >= 1.0; }

inline GammaShape gamma_shape(double a) {
  GammaShape shape;
  shape.a = a;
  if (a < 6.0 && a == std::floor(a)) {
    shape.direct_uniforms = static_cast<int>(a);
  } else {
    shape.am = a - 1.0;
    shape.s = std::sqrt(2.0 * shape.am + 1.0);
  }
  return shape;
}

// 1 times the next n uniforms, multiplied in order. Sources that can do it
// faster provide their own overload.
template <class UniformSource>
double rng_uniform_product(UniformSource& rng, int n) {
  double x = 1.0;
  for (int i = 0; i < n; ++i) x = x * rng_uniform(rng);
  return x;
}

// The direct method: minus the log of the product of the shape's uniforms.
template <class UniformSource>
double gamma_direct(UniformSource& rng, const GammaShape& shape) {
  return -std::log(rng_uniform_product(rng, shape.direct_uniforms));
}

// The exponent of a rejection trial's acceptance value: am ln(x / am) - s y.
inline double rejection_exponent(const GammaShape& shape, double x, double y) {
  const double am = shape.am;
  return am * std::log(x / am) - shape.s * y;
}

// The acceptance value from its exponent.
inline double rejection_acceptance_of(double y, double exponent) {
  return (1.0 + y * y) * std::exp(exponent);
}

// The value a trial of the rejection method compares its third uniform with.
inline double rejection_acceptance(const GammaShape& shape, double x, double y) {
  return rejection_acceptance_of(y, rejection_exponent(shape, x, y));
}

// The rejection method. accepts(x, y, u) must say whether u <= e for the trial
// (x, y): it is told apart so the decision can be made without computing e.
template <class UniformSource, class Accepts>
double gamma_rejection(UniformSource& rng, const GammaShape& shape, Accepts accepts) {
  const double am = shape.am;
  const double s = shape.s;
  for (;;) {
    const double t1 = 2.0 * rng_uniform(rng) - 1.0;
    const double t2 = 2.0 * rng_uniform(rng) - 1.0;
    if (t1 * t1 + t2 * t2 > 1.0) continue;
    const double y = t2 / t1;
    const double x = s * y + am;
    if (x <= 0.0) continue;
    if (!accepts(x, y, rng_uniform(rng))) continue;
    return x;
  }
}

// One deviate. The shape must satisfy gamma_shape_valid. The source is an Rng
// or anything else with an rng_uniform overload giving the same sequence.
template <class UniformSource>
double gamdev(UniformSource& rng, const GammaShape& shape) {
  if (shape.direct_uniforms > 0) return gamma_direct(rng, shape);
  return gamma_rejection(rng, shape, [&](double x, double y, double u) {
    return !(u > rejection_acceptance(shape, x, y));
  });
}

}  // namespace kavo
