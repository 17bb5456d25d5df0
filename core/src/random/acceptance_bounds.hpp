#pragma once
// Bounds on the rejection method's acceptance value, tabulated once per shape,
// so that most trials are settled without computing it.
//
// A trial with ratio y = t2 / t1 is accepted when u <= e(y), where
// e(y) = (1 + y^2) exp(am ln(x / am) - s y) and x = s y + am. On x > 0, e is
// 1 at y = 0 and strictly decreasing in |y| on either side (its derivative is
// -y e (1 - s y)^2 / x since s^2 = 2 am + 1; the rounding of s can break
// this only by far less than the margins below), so over an interval of y
// that does not straddle 0 its values lie between those at the two ends.
//
// The table cuts y into intervals on a logarithmic scale and keeps for each a
// lower and an upper bound of the computed e, widened by a rigorous bound on
// the rounding error of that computation (any log and exp within one ulp). A
// trial with u at or below the lower bound is accepted, above the upper bound
// rejected, exactly as the full computation would decide; only the rest (a
// few in a hundred) compute e. The decisions, the deviates and the uniforms
// consumed are unchanged.

#include <bit>
#include <cstdint>

#include "random/gamma.hpp"

namespace kavo {

class AcceptanceBounds {
 public:
  struct Bin {
    double accept_at_or_below;  // u <= this: accepted
    double reject_above;        // u > this: rejected
  };

  // Settles nothing: every trial computes its acceptance value.
  AcceptanceBounds();
  // Tabulates the bounds for a shape (nothing for a shape of the direct method).
  explicit AcceptanceBounds(const GammaShape& shape);

  // The interval holding y.
  const Bin& bin(double y) const {
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(y);
    const std::int64_t side = static_cast<std::int64_t>(bits >> 63);
    const std::uint64_t magnitude = bits & ~(std::uint64_t{1} << 63);
    std::int64_t i = static_cast<std::int64_t>(magnitude >> (52 - kSubBits)) - kFirstKey + 1;
    i = i < 0 ? 0 : i;
    i = i >= kBinsPerSide ? kBinsPerSide - 1 : i;
    return bins_[side * kBinsPerSide + i];
  }

  // Intervals: [0, 2^-kLowOctaves) and each octave up to 2^kHighOctaves split
  // into 2^kSubBits equal parts, then [2^kHighOctaves, infinity), which is
  // never settled early. The same for negative y.
  static constexpr int kSubBits = 4;
  static constexpr int kLowOctaves = 4;
  static constexpr int kHighOctaves = 7;
  static constexpr int kBinsPerSide = 2 + ((kLowOctaves + kHighOctaves) << kSubBits);

  // The lower end of |y| of interval i of a side (0 for the first).
  static double bin_start(int i);

 private:
  // The exponent and leading kSubBits mantissa bits of 2^-kLowOctaves, where
  // the first interval past 0 starts.
  static constexpr std::int64_t kFirstKey = static_cast<std::int64_t>(1023 - kLowOctaves)
                                            << kSubBits;

  Bin bins_[2 * kBinsPerSide];
};

// A trial of the rejection method settled by the table where it can be, by
// the full computation otherwise.
inline bool rejection_accepts(const GammaShape& shape, const AcceptanceBounds& bounds,
                              double x, double y, double u) {
  const AcceptanceBounds::Bin& b = bounds.bin(y);
  if (u <= b.accept_at_or_below) return true;
  if (u > b.reject_above) return false;
  return !(u > rejection_acceptance(shape, x, y));
}

// A gamma deviate exactly as gamdev draws it, with the trials of the rejection
// method settled through bounds (built for this shape).
template <class UniformSource>
double gamdev(UniformSource& rng, const GammaShape& shape, const AcceptanceBounds& bounds) {
  if (shape.direct_uniforms > 0) return gamma_direct(rng, shape);
  return gamma_rejection(rng, shape, [&](double x, double y, double u) {
    return rejection_accepts(shape, bounds, x, y, u);
  });
}

}  // namespace kavo
