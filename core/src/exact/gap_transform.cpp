#include "gap_transform.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <type_traits>

#include "binet.hpp"
#include "complex_functions.hpp"

namespace kavo::exact {
namespace {

double log1p_of(double v) { return std::log1p(v); }
std::complex<double> log1p_of(std::complex<double> v) {
  return v.real() * v.real() + v.imag() * v.imag() <= 0.04 ? log1p_small(v) : log1p(v);
}

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

// A product of many factors kept as a complex number and a power of 2, so
// that one logarithm serves them all (modulo 2 pi i), and two products one.
class Product {
 public:
  void times(const Product& other) {
    if (!other.used_) return;
    exponent_ += other.exponent_;
    times(other.value_);
  }
  void times(std::complex<double> z) {
    used_ = true;
    value_ *= z;
    const double size = std::fabs(value_.real()) + std::fabs(value_.imag());
    if (size > 1e150 || size < 1e-150) {
      int e = 0;
      std::frexp(size, &e);
      value_ = {std::ldexp(value_.real(), -e), std::ldexp(value_.imag(), -e)};
      exponent_ += e;
    }
  }
  // ln(this / other), with one complex logarithm; both values lie within
  // 1e-150 .. 1e150, so their product does not overflow. size: the sizes of
  // the parts summed, for their rounding.
  std::complex<double> log_over(const Product& other, double& size) const {
    const std::complex<double> v = other.value_;
    const std::complex<double> ratio = value_ * std::complex<double>(v.real(), -v.imag());
    const std::complex<double> log_ratio = used_ || other.used_ ? exact::log(ratio) : 0.0;
    const double log_norm = other.used_ ? std::log(std::norm(v)) : 0.0;
    const double powers = (exponent_ - other.exponent_) * std::numbers::ln2;
    size = std::fabs(log_ratio.real()) + std::fabs(log_ratio.imag()) + std::fabs(log_norm) + std::fabs(powers);
    return log_ratio - log_norm + powers;
  }

 private:
  bool used_ = false;
  std::complex<double> value_ = 1.0;
  int exponent_ = 0;
};

double size_of(std::complex<double> z) { return std::fabs(z.real()) + std::fabs(z.imag()); }

// The same on the contour. Where |z| is too small for Stirling's series
// alone, the term is ln Gamma(z) + z - ln(2 pi) / 2 - (z - 1/2) ln(c w):
// ln w is the node's, the logarithms of z and of 1 + delta / w that the
// general form would take are not needed. Near z = 1 ln Gamma(z) is its
// Taylor series; elsewhere the shift's product goes into products, whose
// logarithm the caller subtracts. sizes gathers the parts' sizes for their
// rounding.
[[gnu::always_inline]] inline std::complex<double> contour_term(double c, double delta, double log_c,
                                                                std::complex<double> w,
                                                                std::complex<double> inverse_w,
                                                                std::complex<double> log_w, Product& products,
                                                                double* sizes, SeriesPrecision precision) {
  const std::complex<double> z = c * (w + delta);
  const double m2 = z.real() * z.real() + z.imag() * z.imag();
  const std::complex<double> near_one(z.real() - 1.0, z.imag());
  std::complex<double> log_gamma;  // ln Gamma(z) + z - ln(2 pi) / 2, less any shift's logarithm
  if (std::norm(near_one) <= kNearOne * kNearOne) {
    log_gamma = log_gamma_near_one(near_one) + z - kHalfLog2Pi;
  } else if (!stirling_accurate(z.real(), m2, precision)) {
    std::complex<double> product;
    log_gamma = log_gamma_plus(z, product, precision);
    products.times(product);
  } else {
    const std::complex<double> b = stirling_series(z, m2);
    if (delta == 0.0) return b;
    return (z - 0.5) * log1p_of(delta * inverse_w) + b;
  }
  const std::complex<double> power = (z - 0.5) * (log_c + log_w);
  if (sizes != nullptr) *sizes += size_of(log_gamma) + size_of(power);
  return log_gamma - power;
}

// The same for weight equal cells, evaluated once. Kept out of line, and
// contour_term and block_log inlined, so that the common loop stays as fast.
[[gnu::noinline]] std::complex<double> weighted_contour_term(double c, double delta, double log_c, int weight,
                                                           std::complex<double> w,
                                                           std::complex<double> inverse_w,
                                                           std::complex<double> log_w, Product& products,
                                                           double* sizes, SeriesPrecision precision) {
  Product product;
  double size = 0.0;
  const std::complex<double> term = contour_term(c, delta, log_c, w, inverse_w, log_w, product, &size, precision);
  for (int k = 0; k < weight; ++k) products.times(product);
  if (sizes != nullptr) *sizes += weight * size;
  return static_cast<double>(weight) * term;
}

double log_of(double x) { return std::log(x); }
std::complex<double> log_of(std::complex<double> z) { return log(z); }

}  // namespace


struct GapTransform::Shifts {
  Product cells, wholes;
};

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
      b = Block{};
      b.series = -1;
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
        cells_[positive++] = {c, delta, std::log(c), 1};
        smallest_c_ = std::min(smallest_c_, c);
        const double term = cell_term(c, delta, beta_b);
        constant -= term;
        magnitude += std::fabs(term);
      }
      b.count = positive - b.first;
      b.direct = b.single = b.distinct = b.count;
      series_error_ += kCoarseSeriesError * (b.count + 1);
      b.whole = {c_sum, static_cast<double>(size) / c_sum - inv_max, std::log(c_sum), 1};
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

void GapTransform::group_equal(Block& b) {
  // The values that occur once, then the others, each weighted by its count,
  // then a copy of those for every repeat: the block keeps the same cells.
  Cell* cells = cells_ + b.first;
  Cell distinct[kMaxCells];
  int n = 0;
  for (int i = 0; i < b.direct; ++i) {
    int j = 0;
    while (j < n && distinct[j].c != cells[i].c) ++j;
    if (j == n) distinct[n++] = {cells[i].c, cells[i].delta, cells[i].log_c, 0};
    ++distinct[j].weight;
  }
  int at = 0;
  for (int j = 0; j < n; ++j) {
    if (distinct[j].weight == 1) cells[at++] = distinct[j];
  }
  b.single = at;
  for (int j = 0; j < n; ++j) {
    if (distinct[j].weight > 1) cells[at++] = distinct[j];
  }
  b.distinct = at;
  for (int j = 0; j < n; ++j) {
    for (int k = 1; k < distinct[j].weight; ++k) cells[at++] = distinct[j];
  }
}

void GapTransform::expand(double smallest_modulus) {
  // Within a cell's term, log1p(delta zeta) with zeta = 1 / w_b and
  // z = c w_b (1 + delta zeta) give, as the coefficient of zeta^n,
  //   c delta (n = 0),  (-1)^n [delta^n / (2n) - c delta^(n+1) / (n (n+1))],
  // and Stirling's term k / z^m (m odd) adds k c^-m C(n-1, m-1) (-delta)^(n-m)
  // for n >= m. With |delta zeta| <= kRatio every coefficient is below
  // kRatio^n / mu^n, so the series is cut where count kRatio^n is negligible.
  constexpr double kRatio = 0.25;
  const double mu = smallest_modulus;
  // |z| >= c (mu - delta) >= c mu (1 - kRatio) along the contour.
  const auto fits = [&](const Cell& cell) {
    return cell.delta <= kRatio * mu && stirling_terms_from(cell.c * mu * (1.0 - kRatio)) > 0;
  };
  int series = 0;
  for (int j = 0; j < block_count_; ++j) {
    Block& b = blocks_[j];
    b.series = -1;
    b.direct = b.count;
    b.whole_in_series = false;
    Cell* first = cells_ + b.first;
    Cell* split = std::partition(first, first + b.count, [&](const Cell& c) { return !fits(c); });
    const int expanded = static_cast<int>(first + b.count - split);
    if (expanded == 0 || series == kMaxSeries) continue;
    b.direct = static_cast<int>(split - first);
    b.whole_in_series = fits(b.whole);
    double ratio = 0.0, smallest_c = b.whole_in_series ? b.whole.c : 1e300;
    for (const Cell* c = split; c != first + b.count; ++c) {
      ratio = std::max(ratio, c->delta / mu);
      smallest_c = std::min(smallest_c, c->c);
    }
    if (b.whole_in_series) ratio = std::max(ratio, b.whole.delta / mu);
    const int stirling = stirling_terms_from(smallest_c * mu * (1.0 - kRatio));
    // The omitted powers from n = terms on sum to at most
    // count ratio^terms / (1 - ratio); and at least the Stirling terms' own.
    int terms = 1;
    double bound = (expanded + 1) * ratio;
    while (bound > 7e-19 && terms < kMaxTerms) {
      bound *= ratio;
      ++terms;
    }
    terms = std::max(terms, 2 * stirling);
    if (bound > 7e-19 || terms > kMaxTerms) {
      b.direct = b.count;
      b.whole_in_series = false;
      continue;
    }
    b.series = series++;
    b.terms = terms;
    double* p = series_[b.series];
    std::fill(p, p + terms, 0.0);
    const auto add = [&](const Cell& cell, double weight) {
      const double c = cell.c, d = cell.delta;
      p[0] += weight * c * d;
      double power = d, sign = -1.0;  // delta^n, (-1)^n
      for (int n = 1; n < terms; ++n) {
        p[n] += weight * sign * (power / (2.0 * n) - c * d * power / (n * (n + 1.0)));
        power *= d;
        sign = -sign;
      }
      double inverse_c_power = 1.0 / c;  // c^-m
      for (int k = 0; k < stirling; ++k) {
        const int m = 2 * k + 1;
        // C(n - 1, m - 1) (-delta)^(n - m) for n = m, m + 1, ...
        double factor = weight * kStirling[k] * inverse_c_power;
        for (int n = m; n < terms; ++n) {
          p[n] += factor;
          factor *= -d * n / (n - m + 1.0);
        }
        inverse_c_power /= c * c;
      }
    };
    for (const Cell* c = split; c != first + b.count; ++c) add(*c, 1.0);
    if (b.whole_in_series) add(b.whole, -1.0);
  }
  for (int j = 0; j < block_count_; ++j) group_equal(blocks_[j]);
}

template <class T>
[[gnu::always_inline]] inline T GapTransform::block_log(const Block& b, T w, T log_w, bool use_series,
                                                        double* sizes, Shifts* shifts) const {
  const T wb = b.shift == 0.0 ? w : w + b.shift;
  const T inverse = inverse_of(wb);
  const T log_wb = b.shift == 0.0 ? log_w : log_of(wb);
  T sum = b.constant - b.tau * log_wb;
  const bool series = use_series && b.series >= 0;
  const int direct = series ? b.direct : b.count;
  if constexpr (std::is_same_v<T, double>) {
    for (int i = b.first; i < b.first + direct; ++i) sum += cell_term(cells_[i].c, cells_[i].delta, wb, inverse);
    sum -= cell_term(b.whole.c, b.whole.delta, wb, inverse);
  } else {
    for (int i = b.first; i < b.first + b.single; ++i) {
      const Cell& c = cells_[i];
      sum += contour_term(c.c, c.delta, c.log_c, wb, inverse, log_wb, shifts->cells, sizes, precision_);
    }
    for (int i = b.first + b.single; i < b.first + b.distinct; ++i) {
      const Cell& c = cells_[i];
      sum += weighted_contour_term(c.c, c.delta, c.log_c, c.weight, wb, inverse, log_wb, shifts->cells, sizes,
                                   precision_);
    }
    if (!(series && b.whole_in_series)) {
      sum -= contour_term(b.whole.c, b.whole.delta, b.whole.log_c, wb, inverse, log_wb, shifts->wholes, sizes,
                          precision_);
    }
  }
  if (series) {
    const double* p = series_[b.series];
    T value = p[b.terms - 1];
    for (int n = b.terms - 2; n >= 0; --n) value = p[n] + inverse * value;
    sum += value;
  }
  return sum;
}

std::complex<double> GapTransform::log_at(std::complex<double> w, std::complex<double> log_w,
                                          double* sizes) const {
  std::complex<double> sum = 0.0;
  Shifts shifts;
  for (int j = 0; j < block_count_; ++j) sum += block_log(blocks_[j], w, log_w, true, sizes, &shifts);
  // ln Gamma(z) = ln Gamma(z + n) - ln(z ... (z + n - 1)): the cells' shifts
  // divide, the blocks' multiply.
  double size = 0.0;
  const std::complex<double> shifted = shifts.wholes.log_over(shifts.cells, size);
  if (sizes != nullptr) *sizes += size;
  return sum + shifted;
}

double GapTransform::log_at(double w) const {
  double sum = 0.0;
  const double log_w = std::log(w);
  for (int j = 0; j < block_count_; ++j) sum += block_log(blocks_[j], w, log_w, false, nullptr, nullptr);
  return sum;
}

}  // namespace kavo::exact
