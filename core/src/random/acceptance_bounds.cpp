#include "random/acceptance_bounds.hpp"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

namespace kavo {

namespace {

constexpr double kEpsilon = 0x1p-53;  // unit roundoff of a double

// The computed acceptance value at one end of an interval, with a bound on
// its relative distance from the exact value of the same expression.
struct EndValue {
  bool usable = false;  // x > 0 and the bound is small enough to rely on
  double e = 0.0;
  double z = 0.0;      // the exponent am ln(x / am) - s y
  double error = 0.0;  // bound on |computed e / exact e - 1|
};

EndValue end_value(const GammaShape& shape, double y) {
  EndValue v;
  const double am = shape.am;
  const double sy = shape.s * y;
  const double x = sy + am;
  if (!(x > 0.0)) return v;
  // Rounding s y and the sum perturbs x by a relative eps (1 + |s y| / x);
  // where that is not small (x near 0 after cancellation) nothing is relied on.
  const double x_perturbation = kEpsilon * (1.0 + std::fabs(sy) / x);
  v.z = rejection_exponent(shape, x, y);
  v.e = rejection_acceptance_of(y, v.z);
  // am |ln(x / am)|, read back from the exponent (z + s y) instead of a
  // second log; its rounding is far inside the safety factor below.
  const double am_log = std::fabs(v.z + sy);
  // The exponent's error, in units of eps: x and x / am (am (2 + |sy| / x)),
  // a log within one ulp and the product (3 am |ln(x / am)|), s y (|s y|) and
  // the difference (|z|); exp, 1 + y^2 and the last product add a few eps
  // more. Eight times that covers every term with room to spare.
  const double units = 8.0 + am * (2.0 + std::fabs(sy) / x) + 3.0 * am_log + std::fabs(sy) +
                       std::fabs(v.z);
  v.error = 8.0 * kEpsilon * units;
  v.usable = x_perturbation <= 1e-6 && v.error <= 1e-3 && std::isfinite(v.e);
  return v;
}

}  // namespace

double AcceptanceBounds::bin_start(int i) {
  if (i == 0) return 0.0;
  const int k = i - 1;
  const double fraction = 1.0 + static_cast<double>(k % (1 << kSubBits)) / (1 << kSubBits);
  return std::ldexp(fraction, k / (1 << kSubBits) - kLowOctaves);
}

AcceptanceBounds::AcceptanceBounds() {
  std::fill(std::begin(bins_), std::end(bins_),
            Bin{0.0, std::numeric_limits<double>::infinity()});
}

AcceptanceBounds::AcceptanceBounds(const GammaShape& shape) : AcceptanceBounds() {
  if (shape.direct_uniforms > 0) return;
  // Below this exponent e is far under the smallest uniform (about 4.7e-10)
  // and exp may lose relative accuracy to underflow.
  constexpr double kTinyExponent = -600.0;
  for (int side = 0; side < 2; ++side) {
    const double sign = side == 0 ? 1.0 : -1.0;
    // e is largest at the end nearer 0 and smallest at the far end; each far
    // end is the next interval's near end. The last interval is unbounded.
    EndValue far = end_value(shape, 0.0);
    for (int i = 0; i + 1 < kBinsPerSide; ++i) {
      Bin& bin = bins_[side * kBinsPerSide + i];
      const EndValue near = far;
      far = end_value(shape, sign * bin_start(i + 1));
      if (!near.usable || !far.usable) continue;
      // The error bound grows with |y| on each side, so the far end's holds
      // inside the interval too. Each computed end is within error of the
      // exact value, and so is every computed value inside: three times the
      // error covers both and the rounding of the products below.
      const double margin = 3.0 * std::max(near.error, far.error);
      bin.reject_above = near.z < kTinyExponent ? 1e-200 : near.e * (1.0 + margin);
      bin.accept_at_or_below = far.z < kTinyExponent ? 0.0 : far.e * (1.0 - margin);
    }
  }
}

}  // namespace kavo
