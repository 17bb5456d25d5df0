#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <vector>

#include "random/dirichlet.hpp"
#include "evidence.hpp"
#include "hypotheses/registry.hpp"

namespace {

struct PointCase {
  const kavo::HypothesisSpec* spec;
  std::vector<double> values;
  std::vector<double> point;
  double f_star;
  double f_star_tolerance;
};

std::string describe(const PointCase& c) {
  std::ostringstream s;
  s << c.spec->program_name;
  for (double v : c.values) s << ' ' << v;
  return s.str();
}

}  // namespace

TEST(HypothesisPoint, KnownPointsAndThresholds) {
  const std::vector<PointCase> cases = {
      {&kavo::kIndependence, {2, 2, 2, 2}, {0.25, 0.25, 0.25, 0.25}, 4 * std::log(0.25), 1e-12},
      {&kavo::kIndependence, {12, 5, 7, 9},
       {255.0 / 841, 180.0 / 841, 238.0 / 841, 168.0 / 841}, -39.75210, 1e-5},
      {&kavo::kSymmetry, {2, 2, 2, 2}, {0.25, 0.25, 0.25, 0.25}, 4 * std::log(0.25), 1e-12},
      {&kavo::kSymmetry, {12, 5, 7, 9}, {11.0 / 29, 5.0 / 29, 5.0 / 29, 8.0 / 29}, -38.544820, 1e-6},
      {&kavo::kSymmetry, {20, 8, 6, 30}, {19.0 / 60, 0.1, 0.1, 29.0 / 60}, -70.563640, 1e-6},
      {&kavo::kHomogeneity, {2, 2, 2, 2}, {0.5, 0.5, 0.5, 0.5}, 4 * std::log(0.5), 1e-12},
      {&kavo::kHomogeneity, {12, 5, 7, 9}, {17.0 / 29, 12.0 / 29, 17.0 / 29, 12.0 / 29}, -19.668072, 1e-6},
      {&kavo::kHomogeneity, {20, 8, 6, 30}, {0.4, 0.6, 0.4, 0.6}, -40.380700, 1e-6},
      {&kavo::kHardyWeinberg, {2, 2, 2}, {0.25, 0.5, 0.25},
       std::log(0.25) + std::log(0.5) + std::log(0.25), 1e-12},
      {&kavo::kHardyWeinberg, {3, 2, 1.5}, {25.0 / 49, 20.0 / 49, 4.0 / 49}, -3.494740, 1e-6},
      {&kavo::kHardyWeinberg, {12, 10, 4},
       {std::pow(31.0 / 46, 2), 2 * (31.0 / 46) * (15.0 / 46), std::pow(15.0 / 46, 2)}, -22.80482, 1e-5},
      {&kavo::kProportion, {3, 5, 0.4}, {0.4, 0.6}, 2 * std::log(0.4) + 4 * std::log(0.6), 1e-12},
      {&kavo::kProportion, {11, 11, 0.5}, {0.5, 0.5}, 20 * std::log(0.5), 1e-12},
  };
  for (const PointCase& c : cases) {
    double point[kavo::kMaxCells];
    c.spec->hypothesis_point(c.values.data(), point);
    for (int i = 0; i < c.spec->dimension; ++i) {
      EXPECT_NEAR(point[i], c.point[i], 1e-14) << describe(c) << " cell " << i;
    }
    EXPECT_NEAR(kavo::hypothesis_f_star(*c.spec, c.values.data()), c.f_star, c.f_star_tolerance)
        << describe(c);
  }
}

TEST(HypothesisPoint, CellsAreFormedInTheStatedOrder) {
  // The last cell is what is left after subtracting the others, not a closed
  // form; bit-level differences would change which draws reach f_star.
  double p[4];
  const double hw[3] = {12, 10, 4};
  kavo::kHardyWeinberg.hypothesis_point(hw, p);
  EXPECT_EQ(p[2], 1.0 - p[0] - p[1]);
  const double ind[4] = {12, 5, 7, 9};
  kavo::kIndependence.hypothesis_point(ind, p);
  EXPECT_EQ(p[3], 1.0 - p[0] - p[1] - p[2]);
  const double mcn[4] = {3.5, 9, 2.5, 4};
  kavo::kSymmetry.hypothesis_point(mcn, p);
  EXPECT_EQ(p[1], p[2]);
  EXPECT_EQ(p[1], (1.0 - p[0] - p[3]) * 0.5);
}

TEST(Validation, EachValueMustExceedOneAndP0LieInsideTheUnitInterval) {
  const double ok4[4] = {1.0001, 2, 2, 2};
  EXPECT_TRUE(kavo::kIndependence.validate_parameters(ok4));
  for (const kavo::HypothesisSpec* spec : {&kavo::kIndependence, &kavo::kSymmetry, &kavo::kHomogeneity}) {
    for (int cell = 0; cell < 4; ++cell) {
      double a[4] = {2, 2, 2, 2};
      a[cell] = 1.0;
      EXPECT_FALSE(spec->validate_parameters(a)) << spec->program_name << " cell " << cell;
    }
  }
  for (int cell = 0; cell < 3; ++cell) {
    double a[3] = {2, 2, 2};
    a[cell] = 1.0;
    EXPECT_FALSE(kavo::kHardyWeinberg.validate_parameters(a)) << "kavohw cell " << cell;
  }
  const auto prop_ok = [](double a1, double a2, double p0) {
    const double v[3] = {a1, a2, p0};
    return kavo::kProportion.validate_parameters(v);
  };
  EXPECT_TRUE(prop_ok(1.0001, 1.0001, 0.000001));
  EXPECT_TRUE(prop_ok(2, 2, 0.999999));
  EXPECT_FALSE(prop_ok(1, 2, 0.5));
  EXPECT_FALSE(prop_ok(2, 1, 0.5));
  EXPECT_FALSE(prop_ok(2, 2, 0));
  EXPECT_FALSE(prop_ok(2, 2, 1));
  EXPECT_FALSE(prop_ok(2, 2, -0.5));
  EXPECT_FALSE(prop_ok(2, 2, 1.5));
}

// X-linked Hardy-Weinberg: the point's theta maximises the log kernel over
// the hypothesis, found here by golden-section search (the kernel is concave
// in theta), and the cells are the hypothesis's at that theta.
TEST(HypothesisPoint, XLinkedPointMaximisesTheKernelOverTheHypothesis) {
  const kavo::HypothesisSpec& spec = kavo::hypothesis_spec(kavo::Hypothesis::x_linked_hardy_weinberg);
  const auto cells = [](double t) {
    return std::vector<double>{t * t, 2 * t * (1 - t), (1 - t) * (1 - t), t, 1 - t};
  };
  const std::vector<std::vector<double>> tables = {
      {12, 10, 4, 8, 5}, {2, 3, 40, 1.5, 30}, {200, 1.2, 1.5, 2, 90}, {1.5, 1.5, 1.5, 50, 2}};
  for (const std::vector<double>& a : tables) {
    const auto kernel = [&](double t) { return kavo::log_kernel(a.data(), cells(t).data(), 5); };
    double lo = 1e-12, hi = 1 - 1e-12;
    const double r = (std::sqrt(5.0) - 1) / 2;
    for (int i = 0; i < 200; ++i) {
      const double x1 = hi - r * (hi - lo), x2 = lo + r * (hi - lo);
      (kernel(x1) < kernel(x2) ? lo : hi) = kernel(x1) < kernel(x2) ? x1 : x2;
    }
    const double best = (lo + hi) / 2;
    double point[kavo::kMaxCells];
    spec.hypothesis_point(a.data(), point);
    std::ostringstream what;
    for (double v : a) what << ' ' << v;
    EXPECT_NEAR(point[3], best, 1e-7) << what.str();
    for (int i = 0; i < 5; ++i) EXPECT_NEAR(point[i], cells(point[3])[i], 1e-15) << what.str();
    EXPECT_GE(kernel(point[3]), kernel(best) - 1e-12) << what.str();
  }
}
