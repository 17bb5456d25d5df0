#include "posterior_factors.hpp"

#include <algorithm>
#include <cmath>

#include "exact_evidence.hpp"
#include "stable_log_exp.hpp"

namespace kavo::exact {

double block_gap(std::span<const double> e, std::span<const double> p) {
  double total = 0.0;
  for (double v : e) total += v;
  double gap = 0.0;
  for (std::size_t i = 0; i < e.size(); ++i) {
    // x - 1 with x = p_i E / e_i; the fused product keeps x - 1 exact to one
    // rounding when p_i is close to the mode.
    const double d = std::fma(p[i], total, -e[i]) / e[i];
    const double phi = d < -0.5 ? d - std::log(p[i] * total / e[i]) : -log1pmx(d);
    gap += e[i] * phi;
  }
  return gap;
}

std::array<int, 4> breaking_order(std::span<const double> e) {
  std::array<int, 4> order = {0, 1, 2, 3};
  const int size = static_cast<int>(e.size());
  if (size < 3) return order;
  int largest = 0;
  for (int i = 1; i < size; ++i) {
    if (e[i] > e[largest]) largest = i;
  }
  int smallest = largest == 0 ? 1 : 0;
  for (int i = 0; i < size; ++i) {
    if (i != largest && e[i] < e[smallest]) smallest = i;
  }
  int n = 0;
  order[n++] = largest;
  order[n++] = smallest;
  for (int i = 0; i < size; ++i) {
    if (i != largest && i != smallest) order[n++] = i;
  }
  return order;
}

bool factor_posterior(std::span<const double> a, std::span<const int> blocks,
                      std::span<const double> point, PosteriorFactors& out) {
  out = PosteriorFactors{};
  if (a.size() != point.size() || a.empty() || a.size() > 4) return false;
  std::size_t cells = 0;
  for (int size : blocks) {
    if (size < 2 || size > 4) return false;
    cells += static_cast<std::size_t>(size);
  }
  if (cells != a.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    // NaN fails every comparison.
    if (!(a[i] > 1.0 && a[i] <= kMaxParameter)) return false;
    if (!(point[i] > 0.0 && point[i] < 1.0)) return false;
  }
  std::size_t first = 0;
  for (int size : blocks) {
    std::array<double, 4> e{};
    double sum_p = 0.0;
    for (int i = 0; i < size; ++i) {
      e[i] = a[first + i] - 1.0;  // exact for a in (1, 2^53)
      sum_p += point[first + i];
    }
    if (!(std::fabs(sum_p - 1.0) <= 1e-12)) return false;
    out.gap += block_gap(std::span<const double>(e.data(), size), point.subspan(first, size));
    // The deficiency is the same in any order of the cells, but the cost of
    // the integral is not: a cell with an exponent near 0 gives its factor
    // two scales, and two such cells broken off together give a factor
    // with two scales on each side. Breaking off the largest cell first and
    // the smallest next keeps the small ones apart.
    const std::array<int, 4> order = breaking_order(std::span<const double>(e.data(), size));
    // Factor j: y_j = p_j / (1 - p_1 - ... - p_(j-1)) in that order, kernel
    // exponents (e_j, e_(j+1) + ... + e_K), Jacobian power K - 1 - j.
    for (int j = 0; j + 1 < size; ++j) {
      double rest = 0.0;
      for (int i = j + 1; i < size; ++i) rest += e[order[i]];
      out.factors[out.count++] = FactorShape{e[order[j]], rest, size - 2 - j};
    }
    first += static_cast<std::size_t>(size);
  }
  return true;
}

}  // namespace kavo::exact
