#pragma once
// A function on an interval as piecewise Chebyshev series of degree 8, 16
// or 32, built adaptively on nested grids: degree 8 from every fourth point
// of the 33-point grid, the points in between only when it falls short, and
// a panel halved when 32 does (or when the fall of the coefficients shows
// that it will).
// Optionally with the running integral of each panel.

#include <array>
#include <functional>
#include <span>
#include <vector>

namespace kavo::exact {

class ChebyshevPanels {
 public:
  static constexpr int kMaxDegree = 32;
  static constexpr int kMinDegree = 8;
  static constexpr int kMaxPanels = 96;

  // Approximates f on [initial_ends.front(), initial_ends.back()], starting
  // from the panels between consecutive ends, to a sup-norm error of about
  // tolerance, with degree up to max_degree (16 or 32; a lower degree means
  // more panels but cheaper evaluation). Returns false when the panel
  // budget ran out (the approximation is then whole but short of the
  // tolerance on some panels).
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
  double total_integral() const { return evaluators_.empty() ? 0.0 : evaluators_.front().integral_to_end; }

  double sup_error() const { return sup_error_; }
  // The integral of the estimated pointwise error.
  double integrated_error() const { return integrated_error_; }
  int panel_count() const { return static_cast<int>(starts_.size()); }
  // The left end of panel i.
  double panel_start(int i) const { return starts_[static_cast<std::size_t>(i)]; }
  int evaluations() const { return evaluations_; }

 private:
  // sum_k c_k T_k(x) evaluated as four Chebyshev series in z = T_4(x) (see
  // split_terms): four independent Clenshaw recurrences of a quarter of the
  // length, which run side by side instead of one after the other. Their
  // terms are stored interleaved in one flat array shared by all panels, so
  // that an evaluation reads a few adjacent cache lines.
  static int split_length(int degree) { return degree / 4 + 1; }
  static void split_terms(const double* c, int degree, double* out);
  static double split_sum(const double* terms, int length, double x);

  struct Panel {
    double lo = 0.0;
    double hi = 0.0;
    int degree = 0;
    std::array<double, kMaxDegree + 1> coefficients{};
    std::array<double, kMaxDegree + 2> integral_coefficients{};
    double integral_to_end = 0.0;  // from lo to the right end
  };
  // What an evaluation needs of a panel.
  struct Evaluator {
    double lo = 0.0;
    double scale = 0.0;  // 2 / (hi - lo)
    double integral_to_end = 0.0;
    int value_length = 0;
    int integral_length = 0;
    std::size_t value_terms = 0;     // offsets into terms_
    std::size_t integral_terms = 0;
  };
  const Evaluator& evaluator_at(double x) const;

  bool build_panels(const std::function<Sample(double, double)>& f,
                    std::span<const double> initial_ends, double tolerance,
                    const std::function<double(double, double)>* weight, bool with_integral,
                    int max_degree);

  std::vector<double> starts_;  // panel left ends, for the search
  std::vector<Evaluator> evaluators_;
  std::vector<double> terms_;
  double weighted_error_ = 0.0;
  double sup_error_ = 0.0;
  double integrated_error_ = 0.0;
  int evaluations_ = 0;
};

}  // namespace kavo::exact
