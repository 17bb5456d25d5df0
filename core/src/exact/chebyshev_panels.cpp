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

namespace {

// p(x) = sum_(k <= degree) c_k T_k(x) as A(y) + x B(y) with y = 2x^2 - 1,
// A and B Chebyshev series in y: a_0..a_(degree / 2), b_0..b_((degree - 1) / 2).
// Even part: c_2j T_2j(x) = c_2j T_j(y). Odd part: T_(2j+1)(x) = x O_j(y)
// with O_0 = 1 and O_j + O_(j-1) = 2 T_j(y), so that
// sum_j d_j O_j = sum_i T_i(y) 2 sum_(j >= i) (-1)^(j-i) d_j (half that for i = 0).
void halve_series(const double* c, int degree, double* a, double* b) {
  for (int j = 0; j <= degree / 2; ++j) a[j] = c[2 * j];
  double suffix = 0.0;  // sum_(j >= i) (-1)^(j-i) d_j, built from the top
  for (int i = (degree + 1) / 2 - 1; i >= 0; --i) {
    suffix = c[2 * i + 1] - suffix;
    b[i] = i == 0 ? suffix : 2.0 * suffix;
  }
}

}  // namespace

void ChebyshevPanels::split_terms(const double* c, int degree, double* out) {
  // Halved twice: p(x) = A(y) + x B(y), A(y) = AA(z) + y AB(z),
  // B(y) = BA(z) + y BB(z) with z = 2y^2 - 1, each part of degree at most
  // degree / 4. Stored as four interleaved columns.
  std::array<double, kMaxDegree + 2> a{};
  std::array<double, kMaxDegree + 2> b{};
  halve_series(c, degree, a.data(), b.data());
  const int half_degree = degree / 2;  // A and B (padded with zeros)
  const int length = split_length(degree);
  std::array<std::array<double, kMaxDegree + 2>, 4> parts{};
  halve_series(a.data(), half_degree, parts[0].data(), parts[1].data());
  halve_series(b.data(), half_degree, parts[2].data(), parts[3].data());
  for (std::size_t k = 0; k < static_cast<std::size_t>(length); ++k) {
    for (std::size_t part = 0; part < 4; ++part) out[4 * k + part] = parts[part][k];
  }
}

double ChebyshevPanels::split_sum(const double* terms, int length, double x) {
  // Four Clenshaw recurrences in z, independent of one another, so that
  // their latencies overlap.
  const double y = 2.0 * x * x - 1.0;
  const double z = 2.0 * y * y - 1.0;
  const double two_z = 2.0 * z;
  double b1[4] = {0.0, 0.0, 0.0, 0.0};
  double b2[4] = {0.0, 0.0, 0.0, 0.0};
  for (int k = length - 1; k >= 1; --k) {
    for (int part = 0; part < 4; ++part) {
      const double b0 = (terms[4 * k + part] - b2[part]) + two_z * b1[part];
      b2[part] = b1[part];
      b1[part] = b0;
    }
  }
  double sum[4];
  for (int part = 0; part < 4; ++part) sum[part] = terms[part] + z * b1[part] - b2[part];
  return (sum[0] + y * sum[1]) + x * (sum[2] + y * sum[3]);
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
  std::vector<Panel> panels;
  bool within_budget = true;
  starts_.clear();
  evaluators_.clear();
  terms_.clear();
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
    const double panel_weight = weight != nullptr ? (*weight)(p.lo, p.hi) : 1.0;
    const double panel_tolerance =
        weight != nullptr ? tolerance * (p.hi - p.lo) / (total_width * std::max(panel_weight, 1e-300))
                          : tolerance;
    double largest = 0.0;
    double sample_error = 0.0;
    double estimate = 0.0;
    double previous_estimate = 0.0;
    bool converged = false;
    bool hopeless = false;
    int sampled_stride = 0;  // the grid stride sampled so far (0: none)
    for (int degree = kMinDegree; degree <= max_degree && !converged && !hopeless; degree *= 2) {
      // The grids are nested: degree d samples every (kN / d)-th point of the
      // 33-point grid, so each step up only adds the points in between.
      const int stride = kN / degree;
      for (int j = 0; j <= kN; j += stride) {
        if (sampled_stride != 0 && j % sampled_stride == 0) continue;
        const Sample sample = f(mid + half * kCos[j], panel_tolerance);
        values[j] = sample.value;
        sample_error = std::max(sample_error, sample.error);
        largest = std::max(largest, std::fabs(values[j]));
        ++evaluations_;
      }
      sampled_stride = stride;
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
      const double target = std::max(panel_tolerance, floor);
      // The lowest degree sees too few coefficients to be trusted near the
      // tolerance: it must clear it by a wide margin.
      converged = estimate <= (degree == kMinDegree ? 0.01 : 1.0) * target;
      panel.degree = degree;
      // Were the coefficients to fall off geometrically, doubling the degree
      // again would square the fall seen over the last doubling; near a
      // singularity they fall more slowly than that, so the projection takes
      // the fall once. When it still misses the target tenfold, the panel is
      // halved at once, saving the samples of a futile step.
      if (!converged && degree < max_degree && previous_estimate > 0.0) {
        const double fall = std::min(1.0, estimate / previous_estimate);
        hopeless = estimate * fall > 10.0 * target;
      }
      previous_estimate = estimate;
    }
    if (!converged && static_cast<int>(panels.size() + stack.size()) + 2 > kMaxPanels) {
      // Out of panels: keep this one as it stands (its estimate enters the
      // errors) so that the approximation stays whole, and report failure.
      within_budget = false;
      converged = true;
    }
    if (!converged) {
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
    estimate += 4.0 * sample_error;
    sup_error_ = std::max(sup_error_, estimate);
    integrated_error_ += estimate * (p.hi - p.lo);
    weighted_error_ += estimate * panel_weight;
    panels.push_back(panel);
  }
  if (with_integral) {
    // Panels were produced left to right; accumulate from the right end.
    double sum = 0.0;
    for (auto it = panels.rbegin(); it != panels.rend(); ++it) {
      double panel_integral = 0.0;
      for (int k = 0; k <= it->degree + 1; ++k) panel_integral += it->integral_coefficients[k];  // F(1)
      sum += panel_integral;
      it->integral_to_end = sum;
    }
  }
  for (const Panel& panel : panels) {
    Evaluator e;
    e.lo = panel.lo;
    e.scale = 2.0 / (panel.hi - panel.lo);
    e.integral_to_end = panel.integral_to_end;
    e.value_length = split_length(panel.degree);
    e.value_terms = terms_.size();
    terms_.resize(terms_.size() + 4 * static_cast<std::size_t>(e.value_length));
    split_terms(panel.coefficients.data(), panel.degree, terms_.data() + e.value_terms);
    if (with_integral) {
      e.integral_length = split_length(panel.degree + 1);
      e.integral_terms = terms_.size();
      terms_.resize(terms_.size() + 4 * static_cast<std::size_t>(e.integral_length));
      split_terms(panel.integral_coefficients.data(), panel.degree + 1, terms_.data() + e.integral_terms);
    }
    starts_.push_back(panel.lo);
    evaluators_.push_back(e);
  }
  return within_budget;
}

const ChebyshevPanels::Evaluator& ChebyshevPanels::evaluator_at(double x) const {
  // Branch-free binary search for the last panel starting at or below x.
  const double* base = starts_.data();
  std::size_t n = starts_.size();
  while (n > 1) {
    const std::size_t half = n / 2;
    base = base[half] <= x ? base + half : base;
    n -= half;
  }
  return evaluators_[static_cast<std::size_t>(base - starts_.data())];
}

double ChebyshevPanels::value(double x) const {
  const Evaluator& e = evaluator_at(x);
  const double t = std::clamp((x - e.lo) * e.scale - 1.0, -1.0, 1.0);
  return split_sum(terms_.data() + e.value_terms, e.value_length, t);
}

double ChebyshevPanels::integral_to_end(double x) const {
  const Evaluator& e = evaluator_at(x);
  const double t = std::clamp((x - e.lo) * e.scale - 1.0, -1.0, 1.0);
  return e.integral_to_end - split_sum(terms_.data() + e.integral_terms, e.integral_length, t);
}

}  // namespace kavo::exact
