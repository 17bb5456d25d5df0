#include "chebyshev_panels.hpp"

#include <algorithm>
#include <cmath>

namespace kavo::exact {
namespace {

constexpr int kN = ChebyshevPanels::kMaxDegree;

// cos(pi i / kN) for i in [0, 2 kN), by a Taylor series on [0, pi/2].
constexpr double cos_pi_fraction(int i) {
  constexpr double pi = 3.14159265358979323846;
  i %= 2 * kN;
  double sign = 1.0;
  if (i > kN) i = 2 * kN - i;  // cos(2 pi - x) = cos x
  if (2 * i > kN) {            // cos(pi - x) = -cos x
    i = kN - i;
    sign = -1.0;
  }
  const double x = pi * i / kN;
  double term = 1.0;
  double sum = 1.0;
  for (int k = 1; k <= 20; ++k) {
    term *= -x * x / ((2 * k - 1) * (2 * k));
    sum += term;
  }
  return sign * sum;
}

constexpr std::array<double, 2 * kN> make_cos_table() {
  std::array<double, 2 * kN> table{};
  for (int i = 0; i < 2 * kN; ++i) table[i] = cos_pi_fraction(i);
  return table;
}

constexpr std::array<double, 2 * kN> kCos = make_cos_table();

}  // namespace

void ChebyshevPanels::SplitSeries::assign(const double* c, int degree) {
  // Even part: c_2j T_2j(x) = c_2j T_j(y). Odd part: T_(2j+1)(x) = x O_j(y)
  // with O_0 = 1 and O_j + O_(j-1) = 2 T_j(y), so that
  // sum_j d_j O_j = sum_i T_i(y) 2 sum_(j >= i) (-1)^(j-i) d_j (half that for i = 0).
  even.fill(0.0);
  odd.fill(0.0);
  const int even_count = degree / 2 + 1;
  const int odd_count = (degree + 1) / 2;
  for (int j = 0; j < even_count; ++j) even[j] = c[2 * j];
  double suffix = 0.0;  // sum_(j >= i) (-1)^(j-i) d_j, built from the top
  for (int i = odd_count - 1; i >= 0; --i) {
    suffix = c[2 * i + 1] - suffix;
    odd[i] = i == 0 ? suffix : 2.0 * suffix;
  }
  length = std::max(even_count, odd_count);
}

double ChebyshevPanels::SplitSeries::operator()(double x) const {
  const double y = 2.0 * x * x - 1.0;
  const double two_y = 2.0 * y;
  double e1 = 0.0;
  double e2 = 0.0;
  double o1 = 0.0;
  double o2 = 0.0;
  for (int k = length - 1; k >= 1; --k) {
    const double e0 = (even[k] - e2) + two_y * e1;
    const double o0 = (odd[k] - o2) + two_y * o1;
    e2 = e1;
    e1 = e0;
    o2 = o1;
    o1 = o0;
  }
  return (even[0] + y * e1 - e2) + x * (odd[0] + y * o1 - o2);
}

bool ChebyshevPanels::build(const std::function<double(double)>& f,
                            std::span<const double> initial_ends, double tolerance,
                            bool with_integral, int max_degree) {
  return build_panels([&](double x, double) { return Sample{f(x), 0.0}; }, initial_ends, tolerance,
                      nullptr, with_integral, max_degree);
}

bool ChebyshevPanels::build_weighted(const std::function<Sample(double, double)>& f,
                                     std::span<const double> initial_ends, double budget,
                                     const std::function<double(double, double)>& weight,
                                     int max_degree) {
  return build_panels(f, initial_ends, budget, &weight, false, max_degree);
}

bool ChebyshevPanels::build_panels(const std::function<Sample(double, double)>& f,
                                   std::span<const double> initial_ends, double tolerance,
                                   const std::function<double(double, double)>* weight,
                                   bool with_integral, int max_degree) {
  panels_.clear();
  sup_error_ = 0.0;
  integrated_error_ = 0.0;
  weighted_error_ = 0.0;
  evaluations_ = 0;
  const double total_width = initial_ends.back() - initial_ends.front();

  struct Pending {
    double lo;
    double hi;
  };
  std::vector<Pending> stack;
  for (std::size_t i = initial_ends.size() - 1; i >= 1; --i) {
    stack.push_back({initial_ends[i - 1], initial_ends[i]});
  }

  std::array<double, kN + 1> values{};
  while (!stack.empty()) {
    const Pending p = stack.back();
    stack.pop_back();
    const double mid = 0.5 * (p.lo + p.hi);
    const double half = 0.5 * (p.hi - p.lo);
    Panel panel;
    panel.lo = p.lo;
    panel.hi = p.hi;
    panel.scale = 1.0 / half;
    const double panel_weight = weight != nullptr ? (*weight)(p.lo, p.hi) : 1.0;
    const double panel_tolerance =
        weight != nullptr ? tolerance * (p.hi - p.lo) / (total_width * std::max(panel_weight, 1e-300))
                          : tolerance;
    double largest = 0.0;
    double sample_error = 0.0;
    double estimate = 0.0;
    bool converged = false;
    for (int degree = kN / 2; degree <= max_degree && !converged; degree *= 2) {
      // Degree 16 samples the even points; degree 32 adds the odd ones.
      for (int j = degree == kN ? 1 : 0; j <= kN; j += 2) {
        const Sample sample = f(mid + half * kCos[j], panel_tolerance);
        values[j] = sample.value;
        sample_error = std::max(sample_error, sample.error);
        largest = std::max(largest, std::fabs(values[j]));
        ++evaluations_;
      }
      const int stride = kN / degree;
      auto& c = panel.coefficients;
      c.fill(0.0);
      for (int k = 0; k <= degree; ++k) {
        double sum = 0.5 * (values[0] + (k % 2 == 0 ? values[kN] : -values[kN]));
        for (int j = 1; j < degree; ++j) sum += values[j * stride] * kCos[(j * k * stride) % (2 * kN)];
        c[k] = sum * (2.0 / degree);
      }
      c[0] *= 0.5;
      c[degree] *= 0.5;
      // The last two coefficients stand for the truncation; a share of the
      // two before them guards against an accidentally small last pair.
      estimate = 2.0 * (std::fabs(c[degree - 1]) + std::fabs(c[degree])) +
                 0.1 * (std::fabs(c[degree - 3]) + std::fabs(c[degree - 2]));
      // Rounding of the samples puts a floor under the coefficients.
      const double floor = 64.0 * 2.2e-16 * largest;
      converged = estimate <= std::max(panel_tolerance, floor);
      panel.degree = degree;
    }
    if (!converged) {
      if (static_cast<int>(panels_.size() + stack.size()) + 2 > kMaxPanels) return false;
      stack.push_back({mid, p.hi});
      stack.push_back({p.lo, mid});
      continue;
    }
    if (with_integral) {
      // F(x) = int_{-1}^x f on the reference interval, scaled to the panel.
      const auto& c = panel.coefficients;
      const int degree = panel.degree;
      auto& ic = panel.integral_coefficients;
      ic.fill(0.0);
      ic[1] = c[0] - 0.5 * c[2];
      for (int k = 2; k <= degree + 1; ++k) {
        const double next = k + 1 <= degree ? c[k + 1] : 0.0;
        ic[k] = (c[k - 1] - next) / (2.0 * k);
      }
      double at_minus_one = 0.0;
      for (int k = 1; k <= degree + 1; ++k) at_minus_one += (k % 2 == 0 ? ic[k] : -ic[k]);
      ic[0] = -at_minus_one;
      for (double& v : ic) v *= half;
    }
    panel.fast_value.assign(panel.coefficients.data(), panel.degree);
    if (with_integral) panel.fast_integral.assign(panel.integral_coefficients.data(), panel.degree + 1);
    estimate += 4.0 * sample_error;
    sup_error_ = std::max(sup_error_, estimate);
    integrated_error_ += estimate * (p.hi - p.lo);
    weighted_error_ += estimate * panel_weight;
    panels_.push_back(panel);
  }
  if (with_integral) {
    // Panels were produced left to right; accumulate from the right end.
    double sum = 0.0;
    for (auto it = panels_.rbegin(); it != panels_.rend(); ++it) {
      double panel_integral = 0.0;
      for (int k = 0; k <= it->degree + 1; ++k) panel_integral += it->integral_coefficients[k];  // F(1)
      sum += panel_integral;
      it->integral_to_end = sum;
    }
  }
  return true;
}

const ChebyshevPanels::Panel& ChebyshevPanels::panel_at(double x) const {
  // Branch-free binary search for the last panel starting at or below x.
  const Panel* base = panels_.data();
  std::size_t n = panels_.size();
  while (n > 1) {
    const std::size_t half = n / 2;
    base = base[half].lo <= x ? base + half : base;
    n -= half;
  }
  return *base;
}

double ChebyshevPanels::value(double x) const {
  const Panel& p = panel_at(x);
  const double t = std::clamp((x - p.lo) * p.scale - 1.0, -1.0, 1.0);
  return p.fast_value(t);
}

double ChebyshevPanels::integral_to_end(double x) const {
  const Panel& p = panel_at(x);
  const double t = std::clamp((x - p.lo) * p.scale - 1.0, -1.0, 1.0);
  return p.integral_to_end - p.fast_integral(t);
}

}  // namespace kavo::exact
