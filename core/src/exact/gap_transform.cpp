#include "gap_transform.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "binet.hpp"
#include "complex_functions.hpp"

namespace kavo::exact {
namespace {

double log1p_of(double v) { return std::log1p(v); }
std::complex<double> log1p_of(std::complex<double> v) { return log1p(v); }

double inverse_of(double w) { return 1.0 / w; }
std::complex<double> inverse_of(std::complex<double> w) { return reciprocal(w); }

// (z - 1/2) log1p(delta / w) + B(z) for z = c (w + delta): one cell's part of
// the transform, or with the block's C and Delta, the block's.
template <class T>
T cell_term(double c, double delta, T w, T inverse_w) {
  const T z = c * (w + delta);
  const T b = binet(z);
  if (delta == 0.0) return b;
  return (z - 0.5) * log1p_of(delta * inverse_w) + b;
}

template <class T>
T cell_term(double c, double delta, T w) {
  return cell_term(c, delta, w, inverse_of(w));
}

double log_of(double x) { return std::log(x); }
std::complex<double> log_of(std::complex<double> z) { return log(z); }

}  // namespace


GapTransform::GapTransform(std::span<const double> a, std::span<const int> blocks) {
  double smallest_inverse = 0.0;
  int start = 0;
  int positive = 0;
  for (const int size : blocks) {
    double c_max = 0.0, c_sum = 0.0;
    for (int i = start; i < start + size; ++i) {
      c_max = std::max(c_max, a[i] - 1.0);
      c_sum += a[i] - 1.0;
    }
    if (c_max > 0.0) {
      Block& b = blocks_[block_count_++];
      b.first = positive;
      const double inv_max = 1.0 / c_max;
      const double beta_b = 1.0 + inv_max;
      // K_b: minus the cells' and plus the block's terms at s = 0 (w = beta_b).
      double constant = 0.0, magnitude = 0.0;
      int zeros = 0;
      for (int i = start; i < start + size; ++i) {
        const double c = a[i] - 1.0;
        if (c == 0.0) {
          ++zeros;
          continue;
        }
        const double delta = c == c_max ? 0.0 : 1.0 / c - inv_max;
        cells_[positive++] = {c, delta};
        const double term = cell_term(c, delta, beta_b);
        constant -= term;
        magnitude += std::fabs(term);
      }
      b.count = positive - b.first;
      b.whole = {c_sum, static_cast<double>(size) / c_sum - inv_max};
      const double whole = cell_term(b.whole.c, b.whole.delta, beta_b);
      constant += whole;
      magnitude += std::fabs(whole);
      b.tau = 0.5 * (b.count - 1) + zeros;
      order_ += b.tau;
      b.constant = constant + b.tau * std::log(beta_b);
      // The constant's own parts, and as much again at each node, rounded
      // a unit each in the last place of z log1p(delta / w) ~ 1 per cell.
      log_rounding_ += 2.0 * std::numeric_limits<double>::epsilon() * (magnitude + 4.0 * (b.count + 1));
      b.shift = inv_max;  // 1 / c_max for now: made beta_b - beta below
      smallest_inverse = block_count_ == 1 ? inv_max : std::min(smallest_inverse, inv_max);
    }
    start += size;
  }
  // beta_b - beta from the reciprocals, so that a small difference stays exact.
  beta_ = 1.0 + smallest_inverse;
  for (int j = 0; j < block_count_; ++j) blocks_[j].shift -= smallest_inverse;
}

template <class T>
T GapTransform::block_log(const Block& b, T w, T log_w) const {
  const T wb = b.shift == 0.0 ? w : w + b.shift;
  const T inverse = inverse_of(wb);
  T sum = b.constant - b.tau * (b.shift == 0.0 ? log_w : log_of(wb));
  for (int i = b.first; i < b.first + b.count; ++i) {
    sum += cell_term(cells_[i].c, cells_[i].delta, wb, inverse);
  }
  return sum - cell_term(b.whole.c, b.whole.delta, wb, inverse);
}

std::complex<double> GapTransform::log_at(std::complex<double> w, std::complex<double> log_w) const {
  std::complex<double> sum = 0.0;
  for (int j = 0; j < block_count_; ++j) sum += block_log(blocks_[j], w, log_w);
  return sum;
}

double GapTransform::log_at(double w) const {
  double sum = 0.0;
  const double log_w = std::log(w);
  for (int j = 0; j < block_count_; ++j) sum += block_log(blocks_[j], w, log_w);
  return sum;
}

}  // namespace kavo::exact
