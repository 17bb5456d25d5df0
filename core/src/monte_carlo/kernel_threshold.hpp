#pragma once
// Whether a draw's log kernel reaches f_star, told without logs where that is
// certain.
//
// The draw loop needs only the comparison f >= f_star, where f is the sum of
// ln(p_i) (a_i - 1) over the cells, computed with one log per cell. When every
// excess a_i - 1 is a whole number (and their total small), f >= f_star is
// the same as prod p_i^(a_i - 1) >= exp(f_star), and the product takes a few
// multiplications. Both sides carry rounding error, so the product is compared
// with thresholds a little above and a little below exp(f_star): a product
// past either settles the comparison exactly as the log form would decide it,
// and only a draw within rounding distance of the boundary computes f itself.

#include <cmath>

namespace kavo {

template <int D>
class KernelThreshold {
 public:
  KernelThreshold(const double* excess, double f_star) {
    double total = 0.0;
    for (int i = 0; i < D; ++i) {
      if (!(excess[i] >= 0.0 && excess[i] <= kMaxTotal && excess[i] == std::floor(excess[i]))) {
        return;
      }
      powers_[i] = static_cast<int>(excess[i]);
      total += excess[i];
    }
    if (total > kMaxTotal || !std::isfinite(f_star)) return;
    // The log form errs by at most a few eps (1 + total + |f|), the product by
    // about eps times the number of multiplications, exp by an ulp or two:
    // 2^-40 (8192 eps) per unit leaves ample room.
    const double slack = 0x1p-40 * (1.0 + total + std::fabs(f_star));
    if (f_star - slack < kLowestExponent) return;
    lower_ = std::exp(f_star - slack);
    upper_ = std::exp(f_star + slack);
    usable_ = true;
  }

  // 1 if the draw's log kernel reaches f_star, 0 if not, -1 if only the log
  // form can tell.
  double indicator(const double* p) const {
    if (!usable_) return -1.0;
    double product = 1.0;
    for (int i = 0; i < D; ++i) {
      // With every factor at least 2^-30 and at most 32 of them, nothing in
      // the product can underflow. (This also sends a NaN, or a zero whose
      // log times 0 would make f NaN, to the log form.)
      if (!(p[i] >= 0x1p-30)) return -1.0;
      product = product * power(p[i], powers_[i]);
    }
    // Whether the kernel reaches f_star is as unpredictable as a coin, so it
    // becomes the result without a branch. The product is strictly between
    // the thresholds (undecided, almost never) exactly when both differences
    // are positive; their minimum, one instruction, makes that a single test.
    const double to_lower = product - lower_;
    const double to_upper = upper_ - product;
    if ((to_lower < to_upper ? to_lower : to_upper) > 0.0) return -1.0;
    return static_cast<double>(product >= upper_);
  }

 private:
  static constexpr double kMaxTotal = 32.0;
  // Thresholds stay far above where exp or the product lose relative accuracy.
  static constexpr double kLowestExponent = -600.0;

  static double power(double base, int n) {
    double result = 1.0;
    while (n > 0) {
      if (n & 1) result = result * base;
      base = base * base;
      n >>= 1;
    }
    return result;
  }

  bool usable_ = false;
  int powers_[D] = {};
  double lower_ = 0.0;
  double upper_ = 0.0;
};

}  // namespace kavo
