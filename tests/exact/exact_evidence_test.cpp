// The exact evidence: closed forms, symmetries, the hazards of the method,
// independent brute-force references and the domain.

#include "exact_evidence.hpp"

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "reference_evidence.hpp"

namespace kavo::exact {
namespace {

using testing::hardy_weinberg_point;
using testing::homogeneity_point;
using testing::independence_point;
using testing::proportion_point;
using testing::symmetry_point;

using Table = std::vector<double>;

enum class Hypothesis { proportion, hardy_weinberg, homogeneity, independence, symmetry };

std::vector<int> layout(Hypothesis h) {
  switch (h) {
    case Hypothesis::proportion: return {2};
    case Hypothesis::hardy_weinberg: return {3};
    case Hypothesis::homogeneity: return {2, 2};
    default: return {4};
  }
}

std::vector<double> point_of(Hypothesis h, const Table& a) {
  switch (h) {
    case Hypothesis::hardy_weinberg: return hardy_weinberg_point(a);
    case Hypothesis::homogeneity: return homogeneity_point(a);
    case Hypothesis::independence: return independence_point(a);
    case Hypothesis::symmetry: return symmetry_point(a);
    default: return {};
  }
}

ExactEvidence evaluate(Hypothesis h, const Table& a) {
  return exact_evidence(a, layout(h), point_of(h, a));
}

std::string describe(const Table& a) {
  std::string s;
  for (double v : a) s += std::to_string(v) + " ";
  return s;
}

// --- Proportion: the closed form with Boost's incomplete beta --------------

TEST(ProportionClosedForm, AgreesToTwelveDigits) {
  const std::vector<std::array<double, 3>> cases = {
      {3, 5, 0.4},        {30, 70, 0.25},      {1.0001, 7, 0.05},   {1.01, 1.01, 0.3},
      {2, 1.5, 0.9},      {1e4, 2e4, 0.335},   {1e6, 1e6, 0.4995},  {1e7, 3e6, 0.77},
      {1.0001, 1e6, 1e-5}, {5e5, 1.001, 0.999}, {11, 11, 0.01},      {250.5, 3.25, 0.9}};
  for (const auto& c : cases) {
    const Table a = {c[0], c[1]};
    const ExactEvidence r = exact_evidence(a, std::vector<int>{2}, proportion_point(c[2]));
    const double closed = testing::proportion_closed_form(c[0], c[1], c[2]);
    ASSERT_EQ(r.status, ExactStatus::ok) << describe(a) << c[2];
    EXPECT_NEAR(r.evidence, closed, 1e-12) << describe(a) << c[2];
    EXPECT_GE(r.error_bound + 1e-13, std::fabs(r.evidence - closed)) << describe(a) << c[2];
  }
}

// --- The hypothesis through the mode ---------------------------------------

TEST(ModePoint, EvidenceIsExactlyOne) {
  EXPECT_EQ(exact_evidence(Table{11, 11}, std::vector<int>{2}, proportion_point(0.5)).evidence, 1.0);
  EXPECT_EQ(evaluate(Hypothesis::hardy_weinberg, {2, 3, 2}).evidence, 1.0);
  EXPECT_EQ(evaluate(Hypothesis::homogeneity, {3, 5, 3, 5}).evidence, 1.0);
  // Tables whose mode satisfies the hypothesis.
  EXPECT_EQ(evaluate(Hypothesis::independence, {5, 3, 3, 2}).evidence, 1.0);
  EXPECT_EQ(evaluate(Hypothesis::symmetry, {4, 3, 3, 6}).evidence, 1.0);
  EXPECT_EQ(evaluate(Hypothesis::homogeneity, {1e6 + 1, 3e6 + 1, 1e6 + 1, 3e6 + 1}).evidence, 1.0);
}

// --- Symmetries of the hypotheses ------------------------------------------

const std::vector<Table> kSymmetryTables = {
    {12, 5, 7, 9},      {20, 8, 6, 30},         {3.5, 9, 2.5, 4},     {1.0001, 40, 7, 3},
    {1.01, 1.5, 2, 1.2}, {1e6, 2e5, 3e5, 8e5},   {1e7, 1.5, 2.5, 9e6}, {1.001, 1e6, 5e4, 1.3},
    {2, 2, 2, 2.5},     {150, 3, 1.0001, 70}};

TEST(Symmetry, HardyWeinbergMirrorsAlleles) {
  for (const Table& t : kSymmetryTables) {
    const Table a = {t[0], t[1], t[2]};
    const Table mirrored = {t[2], t[1], t[0]};
    const ExactEvidence x = evaluate(Hypothesis::hardy_weinberg, a);
    const ExactEvidence y = evaluate(Hypothesis::hardy_weinberg, mirrored);
    ASSERT_EQ(x.status, ExactStatus::ok) << describe(a);
    ASSERT_EQ(y.status, ExactStatus::ok) << describe(mirrored);
    EXPECT_NEAR(x.evidence, y.evidence, 1e-12) << describe(a);
  }
}

TEST(Symmetry, IndependenceTransposes) {
  for (const Table& a : kSymmetryTables) {
    const Table transposed = {a[0], a[2], a[1], a[3]};
    const Table swapped_rows = {a[2], a[3], a[0], a[1]};
    const ExactEvidence x = evaluate(Hypothesis::independence, a);
    ASSERT_EQ(x.status, ExactStatus::ok) << describe(a);
    EXPECT_NEAR(x.evidence, evaluate(Hypothesis::independence, transposed).evidence, 1e-12) << describe(a);
    EXPECT_NEAR(x.evidence, evaluate(Hypothesis::independence, swapped_rows).evidence, 1e-12) << describe(a);
  }
}

TEST(Symmetry, HomogeneitySwapsRows) {
  for (const Table& a : kSymmetryTables) {
    const Table swapped = {a[2], a[3], a[0], a[1]};
    const ExactEvidence x = evaluate(Hypothesis::homogeneity, a);
    ASSERT_EQ(x.status, ExactStatus::ok) << describe(a);
    EXPECT_NEAR(x.evidence, evaluate(Hypothesis::homogeneity, swapped).evidence, 1e-12) << describe(a);
  }
}

TEST(Symmetry, SymmetrySwapsDiagonal) {
  for (const Table& a : kSymmetryTables) {
    const Table swapped = {a[3], a[1], a[2], a[0]};
    const Table off_swapped = {a[0], a[2], a[1], a[3]};
    const ExactEvidence x = evaluate(Hypothesis::symmetry, a);
    ASSERT_EQ(x.status, ExactStatus::ok) << describe(a);
    EXPECT_NEAR(x.evidence, evaluate(Hypothesis::symmetry, swapped).evidence, 1e-12) << describe(a);
    EXPECT_NEAR(x.evidence, evaluate(Hypothesis::symmetry, off_swapped).evidence, 1e-12) << describe(a);
  }
}

// --- Against the brute-force reference -------------------------------------

struct ReferenceCase {
  Hypothesis hypothesis;
  Table a;
};

void expect_matches_reference(const ReferenceCase& c) {
  const ExactEvidence r = evaluate(c.hypothesis, c.a);
  const double ref = testing::reference_evidence(c.a, layout(c.hypothesis), point_of(c.hypothesis, c.a));
  ASSERT_EQ(r.status, ExactStatus::ok) << describe(c.a);
  EXPECT_NEAR(r.evidence, ref, 1e-11) << describe(c.a);
  // The reference carries ~1e-13 of its own.
  EXPECT_GE(r.error_bound + 2e-13, std::fabs(r.evidence - ref)) << describe(c.a);
  EXPECT_LE(r.error_bound, 1e-10) << describe(c.a);
}

TEST(Reference, ThreeCellsAndTwoBlocks) {
  const std::vector<ReferenceCase> cases = {
      {Hypothesis::hardy_weinberg, {12, 10, 4}},
      {Hypothesis::hardy_weinberg, {25, 50, 30}},
      {Hypothesis::hardy_weinberg, {1.0001, 30, 4}},
      {Hypothesis::hardy_weinberg, {1.01, 1.01, 1.5}},
      {Hypothesis::hardy_weinberg, {1e4, 2.1e4, 1.05e4}},
      {Hypothesis::hardy_weinberg, {1e6, 2.004e6, 1e6}},
      {Hypothesis::hardy_weinberg, {9e6, 2e3, 1.0001}},
      {Hypothesis::hardy_weinberg, {3, 1e7, 2}},
      {Hypothesis::homogeneity, {12, 5, 7, 9}},
      {Hypothesis::homogeneity, {20, 8, 6, 30}},
      {Hypothesis::homogeneity, {1.0001, 5, 3, 1.01}},
      {Hypothesis::homogeneity, {1e6, 1e6, 1.002e6, 0.998e6}},
      {Hypothesis::homogeneity, {1e7, 2.5, 9.99e6, 3.5}},
      {Hypothesis::homogeneity, {1.0001, 1e4, 1.5, 2e4}},
  };
  for (const ReferenceCase& c : cases) expect_matches_reference(c);
}

TEST(Reference, FourCellsOneBlock) {
  const std::vector<ReferenceCase> cases = {
      {Hypothesis::independence, {12, 5, 7, 9}},
      {Hypothesis::independence, {20, 8, 6, 30}},
      {Hypothesis::independence, {1.0001, 3, 2, 5}},
      {Hypothesis::independence, {1.01, 1.01, 1.01, 1.5}},
      {Hypothesis::independence, {1e6, 1.001e6, 0.999e6, 1e6}},
      {Hypothesis::independence, {1e4, 30, 2e4, 55}},
      {Hypothesis::independence, {1.0001, 1e6, 3, 1e7}},
      {Hypothesis::symmetry, {12, 5, 7, 9}},
      {Hypothesis::symmetry, {3.5, 9, 2.5, 4}},
      {Hypothesis::symmetry, {1.0001, 6, 2, 1.01}},
      {Hypothesis::symmetry, {1e5, 2e3, 2.1e3, 4e5}},
      {Hypothesis::symmetry, {1e7, 5e6, 5.003e6, 1e7}},
  };
  for (const ReferenceCase& c : cases) expect_matches_reference(c);
}

// --- Monte Carlo estimates printed by the programs (about 1e-3 accurate) ---

TEST(MonteCarlo, AgreesWithinSamplingError) {
  const struct {
    Hypothesis h;
    Table a;
    double mc;
  } cases[] = {
      {Hypothesis::independence, {12, 5, 7, 9}, 3.741918e-01},
      {Hypothesis::independence, {20, 8, 6, 30}, 1.0e-04},
      {Hypothesis::symmetry, {12, 5, 7, 9}, 9.306918e-01},
      {Hypothesis::symmetry, {3.5, 9, 2.5, 4}, 1.239700e-01},
      {Hypothesis::homogeneity, {12, 5, 7, 9}, 2.129115e-01},
      {Hypothesis::homogeneity, {20, 8, 6, 30}, 5.659310e-06},
      {Hypothesis::hardy_weinberg, {12, 10, 4}, 8.622669e-01},
      {Hypothesis::hardy_weinberg, {25, 50, 30}, 9.315372e-01},
  };
  for (const auto& c : cases) EXPECT_NEAR(evaluate(c.h, c.a).evidence, c.mc, 3e-3) << describe(c.a);
  EXPECT_NEAR(exact_evidence(Table{3, 5}, std::vector<int>{2}, proportion_point(0.4)).evidence,
              7.072672e-01, 3e-3);
  EXPECT_NEAR(exact_evidence(Table{30, 70}, std::vector<int>{2}, proportion_point(0.25)).evidence,
              2.990630e-01, 3e-3);
}

// --- Hazards ---------------------------------------------------------------

// Evidence near zero is a sum of non-negative parts, never 1 - mass.
TEST(Hazards, TinyEvidenceStaysNonNegativeAndAccurate) {
  const std::vector<ReferenceCase> cases = {
      {Hypothesis::homogeneity, {60, 8, 6, 70}},
      {Hypothesis::hardy_weinberg, {60, 5, 70}},
      {Hypothesis::independence, {45, 3, 4, 50}},
      {Hypothesis::homogeneity, {4e6, 1e6, 1e6, 4e6}},
  };
  for (const ReferenceCase& c : cases) {
    const ExactEvidence r = evaluate(c.hypothesis, c.a);
    const double ref = testing::reference_evidence(c.a, layout(c.hypothesis), point_of(c.hypothesis, c.a));
    ASSERT_EQ(r.status, ExactStatus::ok) << describe(c.a);
    EXPECT_LT(ref, 1e-8) << describe(c.a);
    EXPECT_GE(r.evidence, 0.0) << describe(c.a);
    EXPECT_NEAR(r.evidence, ref, 1e-12 + 1e-6 * ref) << describe(c.a);
  }
  // Proportion tails down to 1e-12 and beyond keep their relative accuracy.
  for (double p0 : {0.45, 0.44, 0.43, 0.40}) {
    const Table a = {1e3, 1e3};
    const ExactEvidence r = exact_evidence(a, std::vector<int>{2}, proportion_point(p0));
    const double closed = testing::proportion_closed_form(a[0], a[1], p0);
    EXPECT_GE(r.evidence, 0.0);
    EXPECT_NEAR(r.evidence, closed, 1e-9 * closed + 1e-300) << p0;
  }
}

// Far from the mode the evidence underflows to 0 with a bound, not below 0.
TEST(Hazards, HopelessHypothesisGivesZeroWithBound) {
  const ExactEvidence r = evaluate(Hypothesis::hardy_weinberg, {1.0001, 1e6, 3});
  EXPECT_EQ(r.status, ExactStatus::ok);
  EXPECT_GE(r.evidence, 0.0);
  EXPECT_LE(r.evidence + r.error_bound, 1e-12);
}

// A point a hair away from the mode at large parameters: Delta is tiny and
// must come out right, not as a difference of two kernels near 1e8.
TEST(Hazards, SmallGapAtLargeParameters) {
  const Table a = {5e6, 5e6 + 3e3};
  for (double p0 : {0.4999, 0.49995, 0.499999}) {
    const ExactEvidence r = exact_evidence(a, std::vector<int>{2}, proportion_point(p0));
    EXPECT_NEAR(r.evidence, testing::proportion_closed_form(a[0], a[1], p0), 1e-11) << p0;
  }
}

// --- Domain ----------------------------------------------------------------

TEST(Domain, RejectsArgumentsOutside) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<int> two = {2};
  const std::vector<double> half = {0.5, 0.5};
  EXPECT_EQ(exact_evidence(Table{1.0, 3.0}, two, half).status, ExactStatus::outside_domain);
  EXPECT_EQ(exact_evidence(Table{0.5, 3.0}, two, half).status, ExactStatus::outside_domain);
  EXPECT_EQ(exact_evidence(Table{2.0, 1.0000001e7}, two, half).status, ExactStatus::outside_domain);
  EXPECT_EQ(exact_evidence(Table{2.0, nan}, two, half).status, ExactStatus::outside_domain);
  EXPECT_EQ(exact_evidence(Table{inf, 2.0}, two, half).status, ExactStatus::outside_domain);
  EXPECT_EQ(exact_evidence(Table{2.0, 3.0}, two, std::vector<double>{0.0, 1.0}).status, ExactStatus::outside_domain);
  EXPECT_EQ(exact_evidence(Table{2.0, 3.0}, two, std::vector<double>{0.5, 0.6}).status, ExactStatus::outside_domain);
  EXPECT_EQ(exact_evidence(Table{2.0, 3.0}, two, std::vector<double>{nan, 0.5}).status, ExactStatus::outside_domain);
  EXPECT_EQ(exact_evidence(Table{2.0, 3.0}, two, std::vector<double>{0.5}).status, ExactStatus::outside_domain);
  const Table five = {2, 2, 2, 2, 2};
  EXPECT_EQ(exact_evidence(five, std::vector<int>{5}, std::vector<double>(5, 0.2)).status, ExactStatus::outside_domain);
  EXPECT_EQ(exact_evidence(Table{2, 2, 2}, std::vector<int>{2, 1}, std::vector<double>{0.5, 0.5, 1.0}).status,
            ExactStatus::outside_domain);
  EXPECT_EQ(exact_evidence(Table{2, 2, 2}, std::vector<int>{2}, std::vector<double>{0.5, 0.5, 0.5}).status,
            ExactStatus::outside_domain);
  EXPECT_EQ(exact_evidence(Table{2.0, 3.0}, two, half, 0.0).status, ExactStatus::outside_domain);
  EXPECT_EQ(exact_evidence(Table{2.0, 3.0}, two, half, nan).status, ExactStatus::outside_domain);
  // The edges of the domain are inside.
  EXPECT_EQ(exact_evidence(Table{1e7, std::nextafter(1.0, 2.0)}, two, std::vector<double>{0.9, 0.1}).status,
            ExactStatus::ok);
}

// Random tables over the whole domain: evidence in [0, 1] with a bound
// within tolerance, and a looser tolerance still honoured.
TEST(Domain, RandomTablesStayInRange) {
  std::mt19937_64 rng(20240611);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const Hypothesis all[] = {Hypothesis::hardy_weinberg, Hypothesis::homogeneity,
                            Hypothesis::independence, Hypothesis::symmetry};
  for (int i = 0; i < 120; ++i) {
    const Hypothesis h = all[i % 4];
    Table a(h == Hypothesis::hardy_weinberg ? 3 : 4);
    for (double& v : a) v = 1.0 + std::exp(std::log(1e-4) + unit(rng) * std::log(1e11));
    for (double& v : a) v = std::min(v, kMaxParameter);
    const ExactEvidence r = evaluate(h, a);
    ASSERT_EQ(r.status, ExactStatus::ok) << describe(a);
    EXPECT_GE(r.evidence, 0.0);
    EXPECT_LE(r.evidence, 1.0);
    EXPECT_LE(r.error_bound, 1e-10);
    const ExactEvidence loose = exact_evidence(a, layout(h), point_of(h, a), 1e-6);
    EXPECT_EQ(loose.status, ExactStatus::ok);
    EXPECT_NEAR(loose.evidence, r.evidence, 1e-6) << describe(a);
  }
}

}  // namespace
}  // namespace kavo::exact
