// The exact method through the library: closed forms, independent
// references, invariances, zero counts, tails below the double range, the
// table's statistics and the domain.

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../../core/src/exact/binet.hpp"
#include "../../core/src/exact/gap_survival.hpp"
#include "kavo/kavo.hpp"
#include "reference_evidence.hpp"

namespace {

using kavo::Hypothesis;
using kavo::Shape;
using kavo::Status;
using Values = std::vector<double>;

kavo::Result exact(Hypothesis h, Shape shape, const Values& values) {
  kavo::Settings settings;
  settings.method = kavo::Method::exact;
  return kavo::compute(h, shape, values, settings);
}

kavo::Result exact(Hypothesis h, const Values& values) {
  return exact(h, kavo::default_shape(h), values);
}

std::string shown(const Values& values) {
  std::string s;
  for (double v : values) s += std::to_string(v) + " ";
  return s;
}

// The targets: an absolute error of 1e-12 and, below 1e-4, a relative one of
// 1e-8. A reference far more accurate than that (precise) must also lie
// within the reported error.
void expect_close(const kavo::Result& r, long double reference, const std::string& what,
                  bool precise = true) {
  ASSERT_EQ(r.status, Status::ok) << what << kavo::describe(r.status);
  const double difference = std::fabs(static_cast<double>(r.evidence - reference));
  EXPECT_LE(difference, 1e-12) << what;
  if (precise) {
    EXPECT_LE(difference, r.error + 1e-300) << what;
  }
  if (reference > 1e-300L) {
    EXPECT_LE(difference, 1e-8 * static_cast<double>(reference)) << what;
  } else {
    const long double log10_reference = std::log10(reference);
    EXPECT_NEAR(r.log10_evidence, log10_reference, 1e-8 * std::fabs(log10_reference)) << what;
  }
}

// --- Two cells: Beta tails ---------------------------------------------------

TEST(TwoCells, IncompleteBetaTailsKeepTheirRelativeAccuracy) {
  // p0 on either side of the mode, evidences from 0.4 down to below 1e-100
  // and below the double range.
  const std::vector<std::array<double, 3>> cases = {
      {12, 5, 0.3},     {3, 5, 0.4},       {1.0001, 7, 0.05}, {2, 1.5, 0.9},
      {1e4, 2e4, 0.36}, {1e6, 1e6, 0.4995}, {500, 900, 0.7},  {30, 2000, 0.2},
      {3e4, 5e4, 0.39},  {1e5, 3e5, 0.2},
      // A point by the end of the interval with the other cell near 1, where
      // the incomplete beta function's error exceeded its stated bound.
      {11981.417989612051, 1.0210518741065711, 0.999999999}};
  for (const auto& c : cases) {
    const long double reference = kavo::exact::testing::proportion_closed_form_long(c[0], c[1], c[2]);
    expect_close(exact(Hypothesis::proportion, {c[0], c[1], c[2]}), reference,
                 shown({c[0], c[1], c[2]}));
  }
}

TEST(TwoCells, AnEmptyCellGivesThePowerOfTheOther) {
  // With A1 = 1 the kernel is (A2 - 1) ln(1 - p): the evidence is
  // P(p > p0) = (1 - p0)^A2, down to far below the double range.
  for (const double a2 : {2.0, 50.0, 1001.0, 1e6 + 1}) {
    for (const double p0 : {0.1, 0.5}) {
      const kavo::Result r = exact(Hypothesis::proportion, {1.0, a2, p0});
      ASSERT_EQ(r.status, Status::ok);
      const double log10_reference = a2 * std::log10(1.0 - p0);
      EXPECT_NEAR(r.log10_evidence, log10_reference, 1e-8 * std::fabs(log10_reference)) << a2 << " " << p0;
      if (log10_reference > -300) {
        EXPECT_NEAR(r.evidence / std::pow(10.0, log10_reference), 1.0, 1e-8) << a2 << " " << p0;
      }
    }
  }
}

// --- Independent references --------------------------------------------------

struct Reference {
  const char* hypothesis;
  Shape shape;
  Values values;
  long double log10_evidence;
};

const Reference kHighPrecision[] = {
#include "reference_values.inc"
};

TEST(Reference, HighPrecisionValuesFromTheDefinitions) {
  for (const Reference& ref : kHighPrecision) {
    const Hypothesis h = *kavo::hypothesis_from_name(ref.hypothesis);
    expect_close(exact(h, ref.shape, ref.values), std::pow(10.0L, ref.log10_evidence),
                 std::string(ref.hypothesis) + " " + shown(ref.values));
  }
}

TEST(Reference, FixedShapesAgreeWithBruteForceIntegration) {
  // The brute force is good to about 1e-13 itself.
  using namespace kavo::exact::testing;
  const std::vector<Values> tables = {{12, 5, 7, 9},   {3.5, 2.2, 8, 1.7}, {40, 25, 31, 60},
                                      {1.01, 9, 14, 2}, {120, 80, 95, 150}, {2, 2, 2, 9}};
  for (const Values& a : tables) {
    const std::string what = shown(a);
    expect_close(exact(Hypothesis::independence, a), reference_evidence(a, {4}, independence_point(a)),
                 what, false);
    expect_close(exact(Hypothesis::symmetry, a), reference_evidence(a, {4}, symmetry_point(a)), what,
                 false);
    expect_close(exact(Hypothesis::homogeneity, a), reference_evidence(a, {2, 2}, homogeneity_point(a)),
                 what, false);
    const Values three(a.begin(), a.begin() + 3);
    expect_close(exact(Hypothesis::hardy_weinberg, three),
                 reference_evidence(three, {3}, hardy_weinberg_point(three)), what, false);
  }
  // X-linked: two blocks, females' three genotypes and males' two alleles.
  const std::vector<Values> x_linked = {{12, 5, 7, 9, 4}, {3.5, 2.2, 8, 1.7, 6}, {1.01, 9, 14, 2, 5}};
  for (const Values& a : x_linked) {
    expect_close(exact(Hypothesis::x_linked_hardy_weinberg, a),
                 reference_evidence(a, {3, 2}, x_linked_point(a)), shown(a), false);
  }
}

TEST(Contours, TheNestedRuleChecksItselfAndTheTruncationBoundHolds) {
  // Each nested contour's even nodes must make a rule of their own (its
  // change from the whole is that rule's error, small but not zero), its
  // value must match a far finer contour, and the truncation bound must
  // cover what nodes beyond the last would still add.
  using kavo::exact::Contour;
  using Tables = std::vector<std::pair<Values, std::vector<int>>>;
  const Tables few = {
      {{812, 170, 18}, {3}}, {{5, 9, 2}, {3}}, {{40, 1, 31, 60}, {4}}, {{13, 6, 8, 10}, {2, 2}}};
  const Tables moderate = {{{30, 12, 8, 20, 9, 14, 3, 7, 25}, {9}}, {{500, 90, 1, 210, 44, 7}, {6}}};
  const Tables near_one = {{{1.001, 2, 3, 3}, {4}}, {{812, 170, 1.01}, {3}}};
  const std::pair<const kavo::exact::NestedContour*, const Tables*> cases[] = {
      {&kavo::exact::kNestedContours[0], &few},
      {&kavo::exact::kNestedContours[1], &moderate},
      {&kavo::exact::kNestedNearOneContour, &near_one}};
  for (const auto& [nested_contour, tables] : cases) {
    const Contour contour = nested_contour->contour;
    for (const auto& [a, blocks] : *tables) {
      const kavo::exact::GapTransform transform(a, blocks);
      ASSERT_EQ(kavo::exact::nested_contour_for(transform.order(), false, transform.smallest_c()),
                nested_contour) << shown(a);
      for (const double y : {0.05, 0.7, 3.0, 40.0}) {
        const std::string what = shown(a) + "y=" + std::to_string(y);
        const auto nested = kavo::exact::gap_survival(transform, y, contour);
        // Small steps on a low parabola: the standard contours of many nodes
        // cross far right, where exp(s y) magnifies the rounding.
        const auto fine = kavo::exact::gap_survival(transform, y, Contour{2.0, 0.05, 100});
        const Contour longer{contour.mu_y, contour.step, contour.nodes + 12};
        const auto extended = kavo::exact::gap_survival(transform, y, longer);
        ASSERT_TRUE(nested.ok && fine.ok && extended.ok) << what;
        const double change = std::fabs(std::expm1(nested.half_log_value - nested.log_value));
        EXPECT_GT(change, 0.0) << what;
        EXPECT_LT(change, 1e-5) << what;
        EXPECT_NEAR(nested.log_value, fine.log_value, 1e-12) << what;
        EXPECT_LE(std::fabs(std::expm1(extended.log_value - nested.log_value)),
                  nested.truncation + 1e-14) << what;
        // Halved, it reuses the nested contour's nodes as its even ones: the
        // same value as from scratch.
        kavo::exact::NodeTerms terms;
        kavo::exact::gap_survival(transform, y, contour, &terms);
        const Contour half = kavo::exact::halved(contour);
        EXPECT_NEAR(kavo::exact::gap_survival(transform, y, half, &terms).log_value,
                    kavo::exact::gap_survival(transform, y, half).log_value, 1e-14) << what;
      }
    }
  }
}

TEST(Contours, TheTailContourHoldsTheRelativeToleranceDeepInTheTail) {
  // Far beyond Y's bulk the tolerance is 1e-8 of the evidence: the coarser
  // nested contour, with Stirling's series to 1e-12 a term, must settle (its
  // coarser rule within 1e-4), match a far finer contour at full precision
  // to that, and be the one chosen there and only there.
  using kavo::exact::Contour;
  const kavo::exact::NestedContour& tail = kavo::exact::kNestedTailContour;
  for (const auto& [a, blocks] : std::vector<std::pair<Values, std::vector<int>>>{
           {{30, 12, 8, 20, 9, 14, 3, 7, 25}, {9}}, {{500, 90, 1, 210, 44, 7}, {6}},
           {{277, 1, 262, 330, 463, 322, 459, 1, 389}, {9}}}) {
    kavo::exact::GapTransform transform(a, blocks);
    EXPECT_EQ(kavo::exact::nested_contour_for(transform.order(), true), &tail) << shown(a);
    EXPECT_NE(kavo::exact::nested_contour_for(transform.order(), false), &tail) << shown(a);
    for (const double beyond : {25.0, 100.0, 440.0}) {
      const double y = (transform.order() + beyond) / transform.beta();
      const std::string what = shown(a) + "y=" + std::to_string(y);
      transform.set_precision(kavo::exact::SeriesPrecision::coarse);
      const auto coarse = kavo::exact::gap_survival(transform, y, tail.contour);
      transform.set_precision(kavo::exact::SeriesPrecision::full);
      const auto fine = kavo::exact::gap_survival(transform, y, Contour{tail.contour.mu_y, 0.04, 90});
      ASSERT_TRUE(coarse.ok && fine.ok) << what;
      EXPECT_LT(std::fabs(std::expm1(coarse.half_log_value - coarse.log_value)), 1e-4) << what;
      EXPECT_NEAR(coarse.log_value, fine.log_value, 1e-9) << what;
    }
  }
}

TEST(LogGamma, TheSeriesNearOneMatchesStirlingsSeriesAfterShifts) {
  // Two independent routes to ln Gamma(1 + t), on and inside each radius
  // where the series changes its count of terms; the shifted route sums
  // terms of size 30 and carries a few 1e-15 of rounding.
  std::mt19937_64 rng(9);
  std::uniform_real_distribution<double> angle(-std::numbers::pi, std::numbers::pi);
  for (const double radius : {1e-9, 0.01, 0.05, 0.07, 0.1, 0.15, kavo::exact::kNearOne}) {
    for (int i = 0; i < 50; ++i) {
      const std::complex<double> t = std::polar(radius, angle(rng)), z = 1.0 + t;
      const std::complex<double> shifted =
          kavo::exact::log_gamma_plus(z) - z + 0.5 * std::log(2.0 * std::numbers::pi);
      const std::complex<double> series = kavo::exact::log_gamma_near_one(t);
      EXPECT_NEAR(series.real(), shifted.real(), 1e-14) << t;
      EXPECT_NEAR(series.imag(), shifted.imag(), 1e-14) << t;
    }
  }
}

TEST(LogGamma, StirlingsSeriesHoldsFromWhereTheContourUsesIt) {
  // On the boundary of where Stirling's series alone serves, at each
  // precision and angle of the contour, against Binet's function carried
  // down from z + 100 by its recurrence in long double:
  // B(z) = B(z + 1) + (z + 1/2) ln(1 + 1 / z) - 1.
  using kavo::exact::SeriesPrecision;
  using Long = std::complex<long double>;
  for (const auto precision : {SeriesPrecision::full, SeriesPrecision::coarse}) {
    const double tolerance = precision == SeriesPrecision::full ? 3e-16 : kavo::exact::kCoarseSeriesError;
    for (double degrees = -150.0; degrees <= 150.0; degrees += 2.5) {
      // The smallest modulus at this angle that the series is trusted with.
      double modulus = 1.0;
      std::complex<double> z;
      do {
        modulus *= 1.001;
        z = std::polar(modulus, degrees * std::numbers::pi / 180.0);
      } while (!kavo::exact::stirling_accurate(z.real(), std::norm(z), precision));
      const Long zl(z.real(), z.imag());
      Long b = 0.0L;
      for (int k = 99; k >= 0; --k) {
        const Long x = zl + static_cast<long double>(k);
        b += (x + 0.5L) * std::log(1.0L + 1.0L / x) - 1.0L;
      }
      const Long far = zl + 100.0L;
      b += 1.0L / (12.0L * far) - 1.0L / (360.0L * far * far * far) + 1.0L / (1260.0L * std::pow(far, 5));
      const std::complex<double> sum = kavo::exact::stirling_series(z, std::norm(z));
      EXPECT_NEAR(sum.real(), static_cast<double>(b.real()), tolerance) << z;
      EXPECT_NEAR(sum.imag(), static_cast<double>(b.imag()), tolerance) << z;
    }
  }
}

// --- Zero counts and the mode ------------------------------------------------

TEST(ZeroCounts, TablesThroughTheModeGiveExactlyOne) {
  // Monomorphic markers with the uniform prior, a flat table, identical rows.
  for (const Values& a : {Values{265, 1, 1}, Values{1, 1, 1001}, Values{1, 1, 1}}) {
    const kavo::Result r = exact(Hypothesis::hardy_weinberg, a);
    ASSERT_EQ(r.status, Status::ok) << shown(a);
    EXPECT_EQ(r.evidence, 1.0) << shown(a);
    EXPECT_EQ(r.error, 0.0) << shown(a);
    EXPECT_EQ(r.g2, 0.0) << shown(a);
  }
  EXPECT_EQ(exact(Hypothesis::homogeneity, Shape::table(2, 3), {1, 5, 9, 1, 5, 9}).evidence, 1.0);
}

TEST(ZeroCounts, AnEmptyCellChangesNothingWhereTheKernelIgnoresIt) {
  // An allele nobody carries: its three genotype classes are all 1, and the
  // marker is the two-allele one.
  const kavo::Result two = exact(Hypothesis::hardy_weinberg, {13, 25, 7});
  const kavo::Result three =
      exact(Hypothesis::hardy_weinberg, Shape::alleles(3), {13, 25, 7, 1, 1, 1});
  ASSERT_EQ(three.status, Status::ok);
  // Not equal: the posterior of three alleles is wider. Still close to it,
  // and an evidence in (0, 1].
  EXPECT_GT(three.evidence, 0.0);
  EXPECT_LE(three.evidence, 1.0);
  EXPECT_NEAR(three.g2, two.g2, 1e-12 * two.g2);
}

// --- Invariances -------------------------------------------------------------

TEST(Invariance, RelabellingAndTransposingChangeNothing) {
  // Three alleles relabelled 1 <-> 3: classes 11 12 22 13 23 33 become
  // 33 23 22 13 12 11.
  const Values hw = {10, 13, 5, 9, 7, 1};
  const Values relabelled = {hw[5], hw[4], hw[2], hw[3], hw[1], hw[0]};
  EXPECT_NEAR(exact(Hypothesis::hardy_weinberg, Shape::alleles(3), hw).evidence,
              exact(Hypothesis::hardy_weinberg, Shape::alleles(3), relabelled).evidence, 1e-13);
  // A 2x3 table and its transpose.
  const Values t23 = {13, 6, 1, 10, 5, 7};
  const Values t32 = {13, 10, 6, 5, 1, 7};
  EXPECT_NEAR(exact(Hypothesis::independence, Shape::table(2, 3), t23).evidence,
              exact(Hypothesis::independence, Shape::table(3, 2), t32).evidence, 1e-13);
  // Populations in another order, and categories in another order.
  EXPECT_NEAR(exact(Hypothesis::homogeneity, Shape::table(3, 2), {13, 6, 8, 10, 15, 1}).evidence,
              exact(Hypothesis::homogeneity, Shape::table(3, 2), {15, 1, 13, 6, 8, 10}).evidence, 1e-13);
  EXPECT_NEAR(exact(Hypothesis::homogeneity, Shape::table(3, 2), {13, 6, 8, 10, 15, 1}).evidence,
              exact(Hypothesis::homogeneity, Shape::table(3, 2), {6, 13, 10, 8, 1, 15}).evidence, 1e-13);
  // A square table and its transpose.
  EXPECT_NEAR(exact(Hypothesis::symmetry, Shape::square(3), {21, 4, 3, 7, 16, 2, 5, 1, 12}).evidence,
              exact(Hypothesis::symmetry, Shape::square(3), {21, 7, 5, 4, 16, 1, 3, 2, 12}).evidence, 1e-13);
}

// --- The table's statistics ----------------------------------------------------

TEST(Statistics, GTestStatisticDegreesOfFreedomAndStandardizedEvidence) {
  // G^2 of a 2x3 table of counts c (parameters c + 1) from its definition.
  const Values counts = {12, 5, 0, 9, 4, 6};
  Values a;
  for (double c : counts) a.push_back(c + 1.0);
  double total = 0, rows[2] = {}, columns[3] = {};
  for (int i = 0; i < 6; ++i) {
    total += counts[i];
    rows[i / 3] += counts[i];
    columns[i % 3] += counts[i];
  }
  double g2 = 0;
  for (int i = 0; i < 6; ++i) {
    if (counts[i] > 0) g2 += 2 * counts[i] * std::log(counts[i] * total / (rows[i / 3] * columns[i % 3]));
  }
  const kavo::Result r = exact(Hypothesis::independence, Shape::table(2, 3), a);
  ASSERT_EQ(r.status, Status::ok);
  EXPECT_NEAR(r.g2, g2, 1e-12 * g2);
  EXPECT_EQ(r.df, 2);
  // t = 5 > df: the standardized evidence is smaller.
  EXPECT_LT(r.sev, r.evidence);
  EXPECT_GT(r.sev, 0.0);
  EXPECT_NEAR(r.log10_evidence, std::log10(r.evidence), 1e-14);
  // A point hypothesis: sev is the evidence itself; Monte Carlo gives the
  // same statistics beside its own evidence.
  const kavo::Result p = exact(Hypothesis::proportion, {12, 5, 0.3});
  EXPECT_EQ(p.sev, p.evidence);
  EXPECT_EQ(p.df, 1);
  kavo::Settings mc;
  mc.method = kavo::Method::monte_carlo;
  const kavo::Result m = kavo::compute(Hypothesis::independence, Values{12, 5, 7, 9}, mc);
  const kavo::Result e = exact(Hypothesis::independence, {12, 5, 7, 9});
  EXPECT_EQ(m.g2, e.g2);
  EXPECT_EQ(m.df, 1);
  EXPECT_NEAR(m.log10_evidence, std::log10(m.evidence), 1e-14);
  // Two alleles: t = 2, df = 1, where chi2(2)'s quantile has a closed form:
  // sev = P(chi2(1) > -2 ln ev) = erfc(sqrt(-ln ev)).
  for (const Values& hw : {Values{40, 12, 9}, Values{5, 168, 1.0001}, Values{300, 20, 41}}) {
    const kavo::Result h = exact(Hypothesis::hardy_weinberg, hw);
    ASSERT_EQ(h.status, Status::ok) << shown(hw);
    EXPECT_NEAR(h.sev, std::erfc(std::sqrt(-std::log(h.evidence))), 1e-13 * h.sev) << shown(hw);
  }
}

// --- Domain ----------------------------------------------------------------------

TEST(Domain, EachRefusalHasItsOwnReason) {
  EXPECT_EQ(exact(Hypothesis::independence, {12, 0.5, 7, 9}).status, Status::parameter_below_one);
  EXPECT_EQ(exact(Hypothesis::independence, {12, 2e15, 7, 9}).status, Status::outside_exact_domain);
  EXPECT_EQ(exact(Hypothesis::independence, {12, NAN, 7, 9}).status, Status::missing_value);
  EXPECT_EQ(exact(Hypothesis::proportion, {12, 5, 1.0}).status, Status::refused_values);
  EXPECT_EQ(exact(Hypothesis::independence, {12, 1e15, 7, 9}).status, Status::ok);
  kavo::Settings mc;
  mc.method = kavo::Method::monte_carlo;
  EXPECT_EQ(kavo::compute(Hypothesis::hardy_weinberg, Values{6, 1, 13}, mc).status,
            Status::needs_exact_method);
  EXPECT_EQ(kavo::compute(Hypothesis::hardy_weinberg, Values{6, 0.5, 13}, mc).status,
            Status::refused_values);
  kavo::Settings loose;
  loose.method = kavo::Method::exact;
  loose.tolerance = 0.5;
  EXPECT_EQ(kavo::compute(Hypothesis::hardy_weinberg, Values{6, 2, 13}, loose).status,
            Status::bad_tolerance);
}

// --- Monte Carlo against exact, on larger shapes ------------------------------

TEST(MonteCarlo, LargerShapesFallWithinTheirHalfWidths) {
  struct Kind {
    Hypothesis h;
    Shape shape;
  };
  const Kind kinds[] = {{Hypothesis::independence, Shape::table(2, 3)},
                        {Hypothesis::independence, Shape::table(3, 3)},
                        {Hypothesis::symmetry, Shape::square(3)},
                        {Hypothesis::homogeneity, Shape::table(3, 2)},
                        {Hypothesis::hardy_weinberg, Shape::alleles(3)},
                        {Hypothesis::proportion, Shape::categories(3)}};
  std::mt19937_64 gen(20261209);
  std::uniform_real_distribution<double> log_shape(std::log(1.05), std::log(40.0));
  kavo::Settings mc;
  mc.method = kavo::Method::monte_carlo;
  mc.precision = 0.01;
  mc.max_draws = 40000;
  int tables = 0, outside = 0;
  double worst = 0.0;
  for (int n = 0; n < 90; ++n) {
    const Kind& k = kinds[n % std::size(kinds)];
    Values values;
    for (int i = 0; i < kavo::dirichlet_count(k.h, k.shape); ++i) values.push_back(std::exp(log_shape(gen)));
    if (k.h == Hypothesis::proportion) values.insert(values.end(), {0.2, 0.5, 0.3});
    const kavo::Result e = exact(k.h, k.shape, values);
    const kavo::Result m = kavo::compute(k.h, k.shape, values, mc);
    ASSERT_EQ(e.status, Status::ok) << shown(values);
    ASSERT_EQ(m.status, Status::ok) << shown(values);
    ++tables;
    const double miss = std::fabs(m.evidence - e.evidence) / (m.error + 1e-12);
    worst = std::max(worst, miss);
    outside += miss > 1.0;
  }
  // z^2 = 6.7 half-widths: Binomial(90, 1%) exceeds 5 with probability below
  // 1e-3; a wrong transform or point misses far more often, and by far more.
  EXPECT_LE(outside, 5) << "of " << tables;
  EXPECT_LT(worst, 2.5);
}

}  // namespace
