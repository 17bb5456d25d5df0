#include "kernel_gap.hpp"

#include <cmath>
#include <limits>

#include "entropy_term.hpp"

namespace kavo {
namespace {

template <class Real>
KernelGap gap_of(std::span<const double> a, std::span<const int> blocks, const Real* point) {
  Real gap = 0, spread = 0;
  int start = 0;
  for (const int size : blocks) {
    Real c_sum = 0, p_sum = 0;
    for (int i = start; i < start + size; ++i) {
      c_sum += static_cast<Real>(a[i]) - 1;
      p_sum += point[i];
    }
    if (c_sum > 0) {
      Real block = 0;
      for (int i = start; i < start + size; ++i) {
        const Real c = static_cast<Real>(a[i]) - 1;
        const Real p = point[i] / p_sum;
        const Real m = c / c_sum;
        if (!(p > 0)) {
          if (c > 0) return {std::numeric_limits<double>::infinity(), 0.0};
          continue;
        }
        block += c == 0 ? p : p * entropy_term(m / p);
        spread += c_sum * std::fabs(m - p);
      }
      gap += c_sum * block;
    }
    start += size;
  }
  // A relative error e in each point coordinate moves the gap by at most
  // e sum_i |c_i - C p_i|; the point's arithmetic and the sum here make e a
  // few units of the type's precision.
  const Real e = 16 * std::numeric_limits<Real>::epsilon();
  return {static_cast<double>(gap), static_cast<double>(e * (spread + gap))};
}

}  // namespace

KernelGap kernel_gap(std::span<const double> a, std::span<const int> blocks, const double* point) {
  return gap_of(a, blocks, point);
}

KernelGap kernel_gap(std::span<const double> a, std::span<const int> blocks,
                     const long double* point) {
  return gap_of(a, blocks, point);
}

}  // namespace kavo
