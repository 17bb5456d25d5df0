// Tables larger than the fixed shapes: their layouts and names, their
// hypothesis points (a maximum of the log kernel on the hypothesis), the
// invariances of the evidence, and the Monte Carlo estimate against a plain,
// independent sampler.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "evidence.hpp"
#include "hypotheses/registry.hpp"
#include "hypotheses/table.hpp"
#include "kavo/kavo.hpp"
#include "random/dirichlet.hpp"

using kavo::Hypothesis;
using kavo::Shape;

namespace {

std::vector<double> random_parameters(std::mt19937_64& gen, int n, double low = 1.2, double high = 30) {
  std::uniform_real_distribution<double> u(low, high);
  std::vector<double> a(static_cast<std::size_t>(n));
  for (double& x : a) x = u(gen);
  return a;
}

double f_at(const std::vector<double>& a, const std::vector<double>& p) {
  return kavo::log_kernel(a.data(), p.data(), static_cast<int>(p.size()));
}

std::vector<double> point_of(Hypothesis h, Shape s, const std::vector<double>& v) {
  kavo::Table table;
  EXPECT_EQ(kavo::make_table(h, s, table), kavo::Status::ok);
  std::vector<double> p(static_cast<std::size_t>(table.layout.dimension));
  kavo::table_point(table, v.data(), p.data());
  return p;
}

// Multiplies each weight by exp(step * noise) and renormalises.
std::vector<double> nudge(std::vector<double> w, std::mt19937_64& gen, double step) {
  std::normal_distribution<double> z;
  double sum = 0;
  for (double& x : w) sum += (x *= std::exp(step * z(gen)));
  for (double& x : w) x /= sum;
  return w;
}

}  // namespace

TEST(Shapes, LayoutsNamesAndRefusals) {
  EXPECT_EQ(kavo::value_count(Hypothesis::independence, Shape::table(2, 3)), 6);
  EXPECT_EQ(kavo::value_name(Hypothesis::independence, Shape::table(2, 3), 5), "A23");
  EXPECT_EQ(kavo::value_name(Hypothesis::independence, Shape::table(10, 10), 99), "A10_10");
  EXPECT_EQ(kavo::value_count(Hypothesis::hardy_weinberg, Shape::alleles(4)), 10);
  const char* genotypes[] = {"A11", "A12", "A22", "A13", "A23", "A33"};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(kavo::value_name(Hypothesis::hardy_weinberg, Shape::alleles(3), i), genotypes[i]);
  }
  EXPECT_EQ(kavo::value_count(Hypothesis::proportion, Shape::categories(3)), 6);
  EXPECT_EQ(kavo::dirichlet_count(Hypothesis::proportion, Shape::categories(3)), 3);
  EXPECT_EQ(kavo::value_name(Hypothesis::proportion, Shape::categories(3), 4), "p2");
  EXPECT_EQ(kavo::default_shape(Hypothesis::hardy_weinberg), Shape::alleles(2));
  EXPECT_EQ(kavo::value_name(Hypothesis::hardy_weinberg, Shape::alleles(2), 1), "Aab");

  for (const auto& [h, s] : std::vector<std::pair<Hypothesis, Shape>>{
           {Hypothesis::independence, Shape::table(0, 3)},
           {Hypothesis::independence, Shape::table(1, 5)},
           {Hypothesis::independence, Shape::table(11, 10)},
           {Hypothesis::symmetry, Shape::table(2, 3)},
           {Hypothesis::homogeneity, Shape::alleles(3)},
           {Hypothesis::hardy_weinberg, Shape::alleles(14)},  // 105 genotype classes
           {Hypothesis::proportion, Shape::categories(1)}}) {
    EXPECT_FALSE(kavo::shape_valid(h, s)) << s.rows << "x" << s.columns;
    EXPECT_EQ(kavo::compute(h, s, std::vector<double>(4, 3.0)).status, kavo::Status::bad_shape);
  }
  EXPECT_TRUE(kavo::shape_valid(Hypothesis::independence, Shape::table(10, 10)));
  EXPECT_TRUE(kavo::shape_valid(Hypothesis::hardy_weinberg, Shape::alleles(13)));

  const Shape three = Shape::categories(3);
  EXPECT_EQ(kavo::validate(Hypothesis::proportion, three, std::vector<double>{3, 4, 5, 0.2, 0.3, 0.5}),
            kavo::Status::ok);
  EXPECT_EQ(kavo::validate(Hypothesis::proportion, three, std::vector<double>{3, 4, 5, 0.2, 0.3, 0.6}),
            kavo::Status::refused_values);  // p0 sums to 1.1
  EXPECT_EQ(kavo::validate(Hypothesis::proportion, three, std::vector<double>{3, 4, 5, 0.2, 0.3}),
            kavo::Status::wrong_value_count);
  EXPECT_EQ(kavo::validate(Hypothesis::independence, Shape::table(2, 3),
                           std::vector<double>{3, 4, 5, 1, 2, 2}),
            kavo::Status::needs_exact_method);  // a parameter of 1: Monte Carlo's default
  EXPECT_EQ(kavo::validate(Hypothesis::independence, Shape::table(2, 3),
                           std::vector<double>{3, 4, 5, 1, 2, 2}, kavo::Method::exact),
            kavo::Status::ok);
  EXPECT_EQ(kavo::validate(Hypothesis::independence, Shape::table(2, 3),
                           std::vector<double>{3, 4, 5, 0.5, 2, 2}, kavo::Method::exact),
            kavo::Status::parameter_below_one);
  std::vector<kavo::Result> results(2);
  EXPECT_EQ(kavo::compute_many(Hypothesis::independence, Shape::table(2, 3),
                               std::vector<double>(12, 3.0), results),
            kavo::Status::ok);
  EXPECT_EQ(kavo::compute_many(Hypothesis::independence, Shape::table(2, 3),
                               std::vector<double>(11, 3.0), results),
            kavo::Status::wrong_value_count);
}

TEST(Shapes, GeneralRulesAgreeWithTheFixedShapes) {
  // The fixed shapes keep their own arithmetic; the general rules give the
  // same point there, to rounding.
  std::mt19937_64 gen(5);
  const struct {
    Hypothesis h;
    Shape s;
  } cases[] = {{Hypothesis::independence, {2, 2}}, {Hypothesis::symmetry, {2, 2}},
               {Hypothesis::homogeneity, {2, 2}}, {Hypothesis::hardy_weinberg, {2, 1}}};
  for (const auto& c : cases) {
    for (int rep = 0; rep < 20; ++rep) {
      const std::vector<double> a = random_parameters(gen, kavo::value_count(c.h));
      const kavo::HypothesisSpec& spec = kavo::hypothesis_spec(c.h);
      std::vector<double> fixed(static_cast<std::size_t>(spec.dimension)), general(fixed);
      spec.hypothesis_point(a.data(), fixed.data());
      spec.shaped.hypothesis_point(c.s, a.data(), general.data());
      for (std::size_t i = 0; i < fixed.size(); ++i) EXPECT_NEAR(fixed[i], general[i], 1e-14);
    }
  }
}

TEST(Shapes, PointsMaximiseTheKernelOnTheHypothesis) {
  // Nudging the point along the hypothesis never raises the log kernel.
  std::mt19937_64 gen(11);
  for (int rep = 0; rep < 30; ++rep) {
    {  // independence 3x4: p = r c'
      const Shape s = Shape::table(3, 4);
      const std::vector<double> a = random_parameters(gen, 12);
      const std::vector<double> p = point_of(Hypothesis::independence, s, a);
      std::vector<double> r(3, 0.0), c(4, 0.0);
      for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 4; ++j) r[i] += p[i * 4 + j], c[j] += p[i * 4 + j];
      const double best = f_at(a, p);
      for (int k = 0; k < 20; ++k) {
        const std::vector<double> r2 = nudge(r, gen, 0.01), c2 = nudge(c, gen, 0.01);
        std::vector<double> q(12);
        for (int i = 0; i < 3; ++i)
          for (int j = 0; j < 4; ++j) q[i * 4 + j] = r2[i] * c2[j];
        EXPECT_LE(f_at(a, q), best + 1e-12 * std::abs(best));
      }
    }
    {  // symmetry 3x3: any symmetric table
      const Shape s = Shape::square(3);
      const std::vector<double> a = random_parameters(gen, 9);
      const std::vector<double> p = point_of(Hypothesis::symmetry, s, a);
      const double best = f_at(a, p);
      for (int k = 0; k < 20; ++k) {
        std::vector<double> q = nudge(p, gen, 0.01);
        for (int i = 0; i < 3; ++i)
          for (int j = i + 1; j < 3; ++j) q[j * 3 + i] = q[i * 3 + j];
        double sum = 0;
        for (double x : q) sum += x;
        for (double& x : q) x /= sum;
        EXPECT_LE(f_at(a, q), best + 1e-12 * std::abs(best));
      }
    }
    {  // homogeneity 3x3: every row the same shares
      const Shape s = Shape::table(3, 3);
      const std::vector<double> a = random_parameters(gen, 9);
      const std::vector<double> p = point_of(Hypothesis::homogeneity, s, a);
      const double best = f_at(a, p);
      for (int k = 0; k < 20; ++k) {
        const std::vector<double> t = nudge({p[0], p[1], p[2]}, gen, 0.01);
        std::vector<double> q;
        for (int i = 0; i < 3; ++i) q.insert(q.end(), t.begin(), t.end());
        EXPECT_LE(f_at(a, q), best + 1e-12 * std::abs(best));
      }
    }
    {  // Hardy-Weinberg, 4 alleles: genotypes from allele frequencies
      const Shape s = Shape::alleles(4);
      const std::vector<double> a = random_parameters(gen, 10);
      const std::vector<double> p = point_of(Hypothesis::hardy_weinberg, s, a);
      const std::vector<double> theta = {std::sqrt(p[0]), std::sqrt(p[2]), std::sqrt(p[5]),
                                         std::sqrt(p[9])};
      const double best = f_at(a, p);
      for (int k = 0; k < 20; ++k) {
        const std::vector<double> t = nudge(theta, gen, 0.01);
        std::vector<double> q;
        for (int j = 0; j < 4; ++j)
          for (int i = 0; i <= j; ++i) q.push_back(i == j ? t[i] * t[i] : 2 * t[i] * t[j]);
        EXPECT_LE(f_at(a, q), best + 1e-12 * std::abs(best));
      }
    }
  }
}

namespace {

// The tangent mass by a plain sampler of its own: std::gamma_distribution
// deviates, normalised per block, the log kernel compared with f_star.
double plain_tangent_mass(const std::vector<double>& a, int blocks, double f_star, int draws) {
  std::mt19937_64 gen(99);
  const int d = static_cast<int>(a.size()), size = d / blocks;
  std::vector<std::gamma_distribution<double>> laws;
  for (double x : a) laws.emplace_back(x, 1.0);
  std::vector<double> p(a.size());
  int hits = 0;
  for (int n = 0; n < draws; ++n) {
    for (int b = 0; b < blocks; ++b) {
      double sum = 0;
      for (int i = b * size; i < (b + 1) * size; ++i) sum += (p[i] = laws[i](gen));
      for (int i = b * size; i < (b + 1) * size; ++i) p[i] /= sum;
    }
    double f = 0;
    for (int i = 0; i < d; ++i) f += (a[i] - 1.0) * std::log(p[i]);
    hits += f >= f_star;
  }
  return double(hits) / draws;
}

struct ShapedCase {
  Hypothesis h;
  Shape s;
  std::vector<double> values;
  int blocks;
};

}  // namespace

TEST(Shapes, MonteCarloAgreesWithAPlainSampler) {
  const std::vector<ShapedCase> cases = {
      {Hypothesis::independence, Shape::table(2, 3), {12, 5, 7, 9, 4, 6}, 1},
      {Hypothesis::symmetry, Shape::square(3), {10, 4, 3, 6, 8, 2.5, 2, 5, 7}, 1},
      {Hypothesis::homogeneity, Shape::table(3, 2), {12, 5, 7, 9, 4, 6}, 3},
      {Hypothesis::hardy_weinberg, Shape::alleles(3), {8, 9, 5, 4, 6, 3}, 1},
      {Hypothesis::proportion, Shape::categories(3), {8, 12, 5, 0.3, 0.5, 0.2}, 1},
      {Hypothesis::independence, Shape::table(4, 4),
       {5, 3, 2, 6, 4, 7, 3, 2, 2, 3, 9, 4, 6, 2, 3, 8}, 1},
  };
  kavo::Settings settings;
  settings.precision = 0.002;
  const int draws = 400000;
  for (const ShapedCase& c : cases) {
    const kavo::Result r = kavo::compute(c.h, c.s, c.values, settings);
    ASSERT_EQ(r.status, kavo::Status::ok) << kavo::hypothesis_name(c.h);
    const int d = kavo::dirichlet_count(c.h, c.s);
    const std::vector<double> a(c.values.begin(), c.values.begin() + d);
    kavo::Table table;
    ASSERT_EQ(kavo::make_table(c.h, c.s, table), kavo::Status::ok);
    kavo::Threshold threshold;
    ASSERT_EQ(kavo::validate_values(table, c.values.data(), kavo::Method::monte_carlo, threshold), kavo::Status::ok);
    const double mass = plain_tangent_mass(a, c.blocks, threshold.f_star, draws);
    const double plain_half_width = std::sqrt(6.7 * mass * (1 - mass) / draws);
    EXPECT_LE(std::abs((1.0 - r.evidence) - mass), 1.5 * (r.error + plain_half_width))
        << kavo::hypothesis_name(c.h) << ": " << 1 - r.evidence << " vs " << mass;
  }
}

TEST(Shapes, RelabellingLeavesTheEvidenceUnchanged) {
  // Permuting rows and columns, transposing an independence table and
  // relabelling alleles move the cells but not the problem: the threshold is
  // the same to rounding, and the estimates agree within their half-widths.
  const std::vector<double> t = {12, 5, 7, 9, 4, 6};  // 2x3
  const std::vector<double> transposed = {12, 9, 5, 4, 7, 6};  // 3x2
  const std::vector<double> columns_permuted = {7, 12, 5, 6, 9, 4};  // columns 3, 1, 2
  const std::vector<double> hw = {8, 9, 5, 4, 6, 3};  // alleles 1, 2, 3
  // Alleles renamed 1->2, 2->3, 3->1: class (i, j) moves to (s(i), s(j)).
  const std::vector<double> hw_relabelled = {3, 4, 8, 6, 9, 5};
  struct Pair {
    Hypothesis h;
    Shape s1;
    std::vector<double> v1;
    Shape s2;
    std::vector<double> v2;
  };
  const std::vector<Pair> pairs = {
      {Hypothesis::independence, Shape::table(2, 3), t, Shape::table(3, 2), transposed},
      {Hypothesis::independence, Shape::table(2, 3), t, Shape::table(2, 3), columns_permuted},
      {Hypothesis::homogeneity, Shape::table(2, 3), t, Shape::table(2, 3), columns_permuted},
      {Hypothesis::hardy_weinberg, Shape::alleles(3), hw, Shape::alleles(3), hw_relabelled},
  };
  kavo::Settings settings;
  settings.precision = 0.003;
  for (const Pair& p : pairs) {
    kavo::Table t1, t2;
    ASSERT_EQ(kavo::make_table(p.h, p.s1, t1), kavo::Status::ok);
    ASSERT_EQ(kavo::make_table(p.h, p.s2, t2), kavo::Status::ok);
    kavo::Threshold f1, f2;
    ASSERT_EQ(kavo::validate_values(t1, p.v1.data(), kavo::Method::monte_carlo, f1), kavo::Status::ok);
    ASSERT_EQ(kavo::validate_values(t2, p.v2.data(), kavo::Method::monte_carlo, f2), kavo::Status::ok);
    EXPECT_NEAR(f1.f_star, f2.f_star, 1e-12 * std::abs(f1.f_star)) << kavo::hypothesis_name(p.h);
    const kavo::Result r1 = kavo::compute(p.h, p.s1, p.v1, settings);
    const kavo::Result r2 = kavo::compute(p.h, p.s2, p.v2, settings);
    EXPECT_LE(std::abs(r1.evidence - r2.evidence), 1.2 * (r1.error + r2.error))
        << kavo::hypothesis_name(p.h) << ": " << r1.evidence << " vs " << r2.evidence;
  }
}
