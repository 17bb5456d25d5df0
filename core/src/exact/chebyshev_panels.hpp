#pragma once
// A function on an interval as piecewise Chebyshev series of degree 16 or
// 32, built adaptively: degree 16 from the even points of the 33-point grid,
// the odd points only when 16 falls short, and a panel halved when 32 does.
// Optionally with the running integral of each panel.

#include <array>
#include <functional>
#include <span>
#include <vector>

namespace kavo::exact {

class ChebyshevPanels {
 public:
  static constexpr int kMaxDegree = 32;
  static constexpr int kMaxPanels = 96;

  // Approximates f on [initial_ends.front(), initial_ends.back()], starting
  // from the panels between consecutive ends, to a sup-norm error of about
  // tolerance, with degree up to max_degree (16 or 32; a lower degree means
  // more panels but cheaper evaluation). Returns false when the panel
  // budget ran out.
  bool build(const std::function<double(double)>& f, std::span<const double> initial_ends,
             double tolerance, bool with_integral, int max_degree = kMaxDegree);

  // A sample with its own error (from an inner quadrature, say).
  struct Sample {
    double value;
    double error;
  };
  // For a function whose errors matter with a weight: the weighted error
  // sum over panels of (error on the panel) * weight(lo, hi) is kept within
  // about budget by giving each panel the tolerance budget * (its share of
  // the interval) / weight(lo, hi). f receives the point and the tolerance
  // of its panel, and the errors of its samples enter each panel's error
  // (times 4, covering the growth of interpolation at Chebyshev points).
  bool build_weighted(const std::function<Sample(double, double)>& f,
                      std::span<const double> initial_ends, double budget,
                      const std::function<double(double, double)>& weight, int max_degree = kMaxDegree);
  // The weighted error sum of the last build_weighted.
  double weighted_error() const { return weighted_error_; }

  double value(double x) const;
  // The integral of f from x to the right end (build with_integral).
  double integral_to_end(double x) const;
  double total_integral() const { return panels_.empty() ? 0.0 : panels_.front().integral_to_end; }

  double sup_error() const { return sup_error_; }
  // The integral of the estimated pointwise error.
  double integrated_error() const { return integrated_error_; }
  int panel_count() const { return static_cast<int>(panels_.size()); }
  // The left end of panel i.
  double panel_start(int i) const { return panels_[static_cast<std::size_t>(i)].lo; }
  int evaluations() const { return evaluations_; }

 private:
  // sum_k c_k T_k(x) evaluated as E(y) + x O(y) with y = 2x^2 - 1: two
  // independent Clenshaw recurrences of half the length, which run side by
  // side instead of one after the other.
  struct SplitSeries {
    static constexpr int kSize = kMaxDegree / 2 + 2;
    std::array<double, kSize> even{};
    std::array<double, kSize> odd{};
    int length = 0;  // terms of each part
    void assign(const double* c, int degree);
    double operator()(double x) const;
  };
  struct Panel {
    double lo = 0.0;
    double hi = 0.0;
    double scale = 0.0;  // 2 / (hi - lo)
    int degree = 0;
    std::array<double, kMaxDegree + 1> coefficients{};
    std::array<double, kMaxDegree + 2> integral_coefficients{};
    SplitSeries fast_value;
    SplitSeries fast_integral;
    double integral_to_end = 0.0;  // from lo to the right end
  };
  const Panel& panel_at(double x) const;

  bool build_panels(const std::function<Sample(double, double)>& f,
                    std::span<const double> initial_ends, double tolerance,
                    const std::function<double(double, double)>* weight, bool with_integral,
                    int max_degree);

  std::vector<Panel> panels_;
  double weighted_error_ = 0.0;
  double sup_error_ = 0.0;
  double integrated_error_ = 0.0;
  int evaluations_ = 0;
};

}  // namespace kavo::exact
