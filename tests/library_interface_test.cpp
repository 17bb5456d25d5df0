// The library interface gives the programs' numbers and returns its errors.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "kavo/kavo.hpp"
#include "test_support.hpp"

TEST(LibraryInterface, GivesTheProgramsEvidence) {
  const double table[] = {12, 5, 7, 9};
  const kavo::Result e = kavo::compute(kavo::Hypothesis::independence, table);
  ASSERT_EQ(e.status, kavo::Status::ok);
  char printed[32];
  std::snprintf(printed, sizeof printed, "%e", e.evidence);
  EXPECT_STREQ(printed, "3.741918e-01");
  EXPECT_LT(e.error, 0.001);
  EXPECT_EQ(e.method, kavo::Method::monte_carlo);

  const struct {
    kavo::Hypothesis hypothesis;
    std::vector<double> values;
    const char* program;
  } cases[] = {{kavo::Hypothesis::symmetry, {3.5, 9, 2.5, 4}, "kavomcn"},
               {kavo::Hypothesis::homogeneity, {1.5, 4, 2.2, 3}, "kavohomo"},
               {kavo::Hypothesis::hardy_weinberg, {3, 2, 1.5}, "kavohw"},
               {kavo::Hypothesis::proportion, {1.7, 2.3, 0.6}, "kavoprop"}};
  kavo::Settings fast;
  fast.max_draws = 20000;
  fast.precision = 0.01;
  for (const auto& c : cases) {
    EXPECT_STREQ(kavo::program_name(c.hypothesis), c.program);
    EXPECT_EQ(kavo::value_count(c.hypothesis), static_cast<int>(c.values.size()));
    const kavo::Result got = kavo::compute(c.hypothesis, c.values, fast);
    std::vector<std::string> args;
    for (double v : c.values) args.push_back(std::to_string(v));
    args.insert(args.end(), {kavo_test::temp_path("lib.out"), "20000", "0.01"});
    kavo_test::run_binary(c.program, args);
    std::snprintf(printed, sizeof printed, "%e\n", got.evidence);
    EXPECT_EQ(kavo_test::read_file(kavo_test::temp_path("lib.out")), printed) << c.program;
  }
}

TEST(LibraryInterface, ReturnsErrorsWithNaNInsteadOfPrinting) {
  const double three[] = {3, 5, 0.4};
  const double refused[] = {3, 5, 1.0};
  const double huge[] = {1e308, 1e308, 2, 2};
  kavo::Settings bad_seed;
  bad_seed.seed = 0;
  kavo::Settings nan_precision;
  nan_precision.precision = std::nan("");
  kavo::Settings infinite_precision;
  infinite_precision.precision = HUGE_VAL;
  const struct {
    kavo::Result result;
    kavo::Status expected;
  } cases[] = {
      {kavo::compute(kavo::Hypothesis::independence, three), kavo::Status::wrong_value_count},
      {kavo::compute(kavo::Hypothesis::proportion, refused), kavo::Status::refused_values},
      {kavo::compute(kavo::Hypothesis::symmetry, huge), kavo::Status::parameters_too_large},
      {kavo::compute(kavo::Hypothesis::proportion, three, bad_seed), kavo::Status::bad_seed},
      {kavo::compute(kavo::Hypothesis::proportion, three, nan_precision), kavo::Status::bad_precision},
      {kavo::compute(kavo::Hypothesis::proportion, three, infinite_precision),
       kavo::Status::bad_precision},
      {kavo::compute(kavo::Hypothesis::hardy_weinberg, std::vector<double>{2, 3, 2e11}),
       kavo::Status::too_large_for_monte_carlo},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.result.status, c.expected) << kavo::describe(c.expected);
    EXPECT_TRUE(std::isnan(c.result.evidence)) << kavo::describe(c.expected);
    EXPECT_TRUE(std::isnan(c.result.error)) << kavo::describe(c.expected);
  }
  EXPECT_EQ(kavo::validate(kavo::Hypothesis::proportion, refused), kavo::Status::refused_values);
  EXPECT_EQ(kavo::validate(kavo::Hypothesis::symmetry, huge), kavo::Status::parameters_too_large);
  EXPECT_EQ(kavo::validate(kavo::Hypothesis::proportion, three), kavo::Status::ok);
  EXPECT_STREQ(kavo::describe(kavo::Status::bad_seed),
               "seed must be a whole number from 1 to 2147483646");
}

TEST(LibraryInterface, NamesRoundTrip) {
  for (int i = 0; i < kavo::kHypothesisCount; ++i) {
    const auto h = static_cast<kavo::Hypothesis>(i);
    EXPECT_EQ(kavo::hypothesis_from_name(kavo::hypothesis_name(h)), h);
    EXPECT_EQ(kavo::hypothesis_from_name(kavo::program_name(h)), h);
    EXPECT_GE(kavo::value_count(h), kavo::dirichlet_count(h));
  }
  EXPECT_FALSE(kavo::hypothesis_from_name("kavo").has_value());
  EXPECT_STREQ(kavo::value_name(kavo::Hypothesis::proportion, 2), "p0");
  EXPECT_EQ(kavo::dirichlet_count(kavo::Hypothesis::proportion), 2);
  for (int i = 0; i < kavo::kMethodCount; ++i) {
    const auto m = static_cast<kavo::Method>(i);
    EXPECT_EQ(kavo::method_from_name(kavo::method_name(m)), m);
  }
}

// The description front ends build from agrees with the rules the library
// runs: its counts, its blocks, and the shapes its kind says it takes.
TEST(LibraryInterface, DescriptionsAgreeWithTheRules) {
  for (int i = 0; i < kavo::kHypothesisCount; ++i) {
    const auto h = static_cast<kavo::Hypothesis>(i);
    const kavo::HypothesisDescription info = kavo::describe_hypothesis(h);
    EXPECT_EQ(info.hypothesis, h);
    EXPECT_EQ(info.value_count, kavo::value_count(h));
    int cells = 0;
    for (int b = 0; b < info.block_count; ++b) cells += info.block_sizes[b];
    EXPECT_EQ(cells, kavo::dirichlet_count(h)) << info.name;
    EXPECT_EQ(info.monte_carlo_limit, kavo::monte_carlo_limit(h));
    const kavo::Shape larger = info.shape_kind == kavo::ShapeKind::square     ? kavo::Shape::square(3)
                               : info.shape_kind == kavo::ShapeKind::alleles  ? kavo::Shape::alleles(3)
                               : info.shape_kind == kavo::ShapeKind::categories
                                   ? kavo::Shape::categories(3)
                                   : kavo::Shape::table(2, 3);
    EXPECT_EQ(kavo::shape_valid(h, larger), info.shape_kind != kavo::ShapeKind::fixed) << info.name;
    EXPECT_EQ(kavo::shape_valid(h, kavo::Shape::table(3, 2)),
              info.shape_kind == kavo::ShapeKind::table) << info.name;
  }
}

namespace {

// Hardy-Weinberg tables of all kinds, with failures among them.
std::vector<double> mixed_panel(int rows) {
  std::vector<double> values;
  for (int i = 0; i < rows; ++i) {
    const double aa = 1.5 + i % 7, ab = 2 + (i * 5) % 11, bb = 1.25 + (i * 3) % 5;
    values.insert(values.end(), {aa, i % 13 == 0 ? 1.0 : ab, bb});
  }
  return values;
}

bool same(const kavo::Result& a, const kavo::Result& b) {
  if (a.status != b.status || a.draws != b.draws) return false;
  if (a.status != kavo::Status::ok) return std::isnan(a.evidence) && std::isnan(b.evidence);
  return a.evidence == b.evidence && a.error == b.error;
}

}  // namespace

TEST(ComputeMany, SameAsOneAtATimeWhateverTheThreads) {
  const std::vector<double> values = mixed_panel(60);
  kavo::Settings fast;
  fast.max_draws = 20000;
  fast.precision = 0.005;
  std::vector<kavo::Result> one(20);
  for (std::size_t i = 0; i < one.size(); ++i) {
    one[i] = kavo::compute(kavo::Hypothesis::hardy_weinberg,
                           std::span<const double>(values).subspan(3 * i, 3), fast);
  }
  for (int threads : {1, 2, 3}) {
    for (bool with_progress : {false, true}) {
      std::vector<kavo::Result> many(20);
      kavo::ManyOptions options;
      options.threads = threads;
      std::size_t last_ready = 0, calls = 0;
      if (with_progress) {
        options.progress = [&](const kavo::Progress& p) {
          EXPECT_LE(p.ready, p.done);
          EXPECT_GE(p.ready, last_ready);
          EXPECT_EQ(p.total, 20u);
          last_ready = p.ready;
          ++calls;
          return true;
        };
      }
      ASSERT_EQ(kavo::compute_many(kavo::Hypothesis::hardy_weinberg,
                                   std::span<const double>(values).first(60), many, fast, options),
                kavo::Status::ok);
      for (std::size_t i = 0; i < one.size(); ++i) {
        EXPECT_TRUE(same(many[i], one[i])) << "row " << i << " threads " << threads;
      }
      if (with_progress) {
        EXPECT_GE(calls, 1u);
        EXPECT_EQ(last_ready, 20u);  // the final call sees every row
      }
    }
  }
  EXPECT_EQ(one[0].status, kavo::Status::needs_exact_method);  // the panel has failures
}

TEST(ComputeMany, RefusesMismatchedLengths) {
  const std::vector<double> values = mixed_panel(4);
  std::vector<kavo::Result> results(4);
  EXPECT_EQ(kavo::compute_many(kavo::Hypothesis::hardy_weinberg,
                               std::span<const double>(values).first(11), results),
            kavo::Status::wrong_value_count);
  EXPECT_EQ(kavo::compute_many(kavo::Hypothesis::independence, values, results),
            kavo::Status::wrong_value_count);
}

TEST(ComputeMany, ProgressCanCancelALongRunOrThrowOutOfIt) {
  // Tables at their mode never stop early: each would take its full maxMC.
  std::vector<double> values;
  for (int i = 0; i < 8; ++i) values.insert(values.end(), {11, 11, 0.5});
  std::vector<kavo::Result> results(8);
  kavo::Settings slow;
  slow.max_draws = 1000000000;
  kavo::ManyOptions options;
  options.threads = 2;
  options.progress_interval_ms = 20;
  int calls = 0;
  options.progress = [&](const kavo::Progress&) { return ++calls < 3; };
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(kavo::compute_many(kavo::Hypothesis::proportion, values, results, slow, options),
            kavo::Status::cancelled);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  for (const kavo::Result& r : results) {
    EXPECT_EQ(r.status, kavo::Status::cancelled);
    EXPECT_TRUE(std::isnan(r.evidence));
  }
  // A callback that throws stops the run too; without the workers' join the
  // exception would destroy joinable threads (std::terminate).
  options.progress = [](const kavo::Progress&) -> bool { throw std::runtime_error("host gone"); };
  const auto again = std::chrono::steady_clock::now();
  EXPECT_THROW(kavo::compute_many(kavo::Hypothesis::proportion, values, results, slow, options),
               std::runtime_error);
  EXPECT_LT(std::chrono::steady_clock::now() - again, std::chrono::seconds(5));
}

TEST(LibraryInterface, MissingAndInfiniteValuesHaveTheirOwnStatus) {
  const double nan = std::nan("");
  const double inf = HUGE_VAL;
  const struct {
    std::vector<double> values;
    kavo::Status status;
  } cases[] = {
      {{12, nan, 7, 9}, kavo::Status::missing_value},
      {{12, inf, 7, nan}, kavo::Status::missing_value},
      {{12, 5, -inf, 9}, kavo::Status::infinite_value},
      {{0, 5, 7, 9}, kavo::Status::refused_values},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(kavo::validate(kavo::Hypothesis::independence, c.values), c.status);
    EXPECT_EQ(kavo::compute(kavo::Hypothesis::independence, c.values).status, c.status);
  }
  const double p0_missing[] = {3, 5, nan};
  EXPECT_EQ(kavo::compute(kavo::Hypothesis::proportion, p0_missing).status,
            kavo::Status::missing_value);
  EXPECT_STREQ(kavo::describe(kavo::Status::missing_value), "missing value");
  EXPECT_STREQ(kavo::describe(kavo::Status::infinite_value), "infinite value");
}

TEST(LibraryInterface, AllDrawsAlikeStillReportAnUncertainty) {
  // No draw reaches the threshold (evidence 0) or none can (the hypothesis
  // through the mode, evidence 1): the half-widths are 0, the error is not.
  kavo::Settings few;
  few.max_draws = 20000;
  for (const std::vector<double>& table :
       {std::vector<double>{41, 21, 41}, std::vector<double>{2, 3, 2}}) {
    const kavo::Result r = kavo::compute(kavo::Hypothesis::hardy_weinberg, table, few);
    ASSERT_EQ(r.status, kavo::Status::ok);
    EXPECT_TRUE(r.evidence == 0.0 || r.evidence == 1.0) << r.evidence;
    EXPECT_EQ(r.draws, 20000);
    EXPECT_DOUBLE_EQ(r.error, 6.7 / (20000 + 6.7));
  }
}

TEST(LibraryInterface, EveryStatusHasANameAndAMessage) {
  std::vector<std::string> names;
  for (int i = 0; i < kavo::kStatusCount; ++i) {
    const auto status = static_cast<kavo::Status>(i);
    const std::string name = kavo::status_name(status);
    EXPECT_NE(name, "unknown") << i;
    EXPECT_STRNE(kavo::describe(status), "unknown error") << name;
    EXPECT_EQ(std::count(names.begin(), names.end(), name), 0) << name;
    names.push_back(name);
  }
}
