// The library interface gives the programs' numbers and returns its errors.

#include <gtest/gtest.h>

#include <vector>

#include "kavo/kavo.hpp"
#include "test_support.hpp"

TEST(LibraryInterface, GivesTheProgramsEvidence) {
  const double table[] = {12, 5, 7, 9};
  const kavo::Evidence e = kavo::compute(kavo::Hypothesis::independence, table);
  ASSERT_EQ(e.error, kavo::EvidenceError::none);
  char printed[32];
  std::snprintf(printed, sizeof printed, "%e", e.evidence);
  EXPECT_STREQ(printed, "3.741918e-01");
  EXPECT_LT(e.half_width, 0.001);

  const struct {
    kavo::Hypothesis hypothesis;
    std::vector<double> values;
    const char* program;
  } cases[] = {{kavo::Hypothesis::symmetry, {3.5, 9, 2.5, 4}, "kavomcn"},
               {kavo::Hypothesis::homogeneity, {1.5, 4, 2.2, 3}, "kavohomo"},
               {kavo::Hypothesis::hardy_weinberg, {3, 2, 1.5}, "kavohw"},
               {kavo::Hypothesis::proportion, {1.7, 2.3, 0.6}, "kavoprop"}};
  kavo::EvidenceSettings fast;
  fast.max_draws = 20000;
  fast.precision = 0.01;
  for (const auto& c : cases) {
    EXPECT_STREQ(kavo::program_name(c.hypothesis), c.program);
    EXPECT_EQ(kavo::value_count(c.hypothesis), static_cast<int>(c.values.size()));
    const kavo::Evidence got = kavo::compute(c.hypothesis, c.values, fast);
    std::vector<std::string> args;
    for (double v : c.values) args.push_back(std::to_string(v));
    args.insert(args.end(), {kavo_test::temp_path("lib.out"), "20000", "0.01"});
    kavo_test::run_binary(c.program, args);
    std::snprintf(printed, sizeof printed, "%e\n", got.evidence);
    EXPECT_EQ(kavo_test::read_file(kavo_test::temp_path("lib.out")), printed) << c.program;
  }
}

TEST(LibraryInterface, ReturnsErrorsInsteadOfPrinting) {
  const double three[] = {3, 5, 0.4};
  EXPECT_EQ(kavo::compute(kavo::Hypothesis::independence, three).error,
            kavo::EvidenceError::wrong_value_count);
  const double refused[] = {3, 5, 1.0};
  EXPECT_EQ(kavo::compute(kavo::Hypothesis::proportion, refused).error,
            kavo::EvidenceError::refused_values);
  const double huge[] = {1e308, 1e308, 2, 2};
  EXPECT_EQ(kavo::compute(kavo::Hypothesis::symmetry, huge).error,
            kavo::EvidenceError::parameters_too_large);
  kavo::EvidenceSettings bad_seed;
  bad_seed.seed = 0;
  EXPECT_EQ(kavo::compute(kavo::Hypothesis::proportion, three, bad_seed).error,
            kavo::EvidenceError::bad_seed);
  EXPECT_STREQ(kavo::describe(kavo::EvidenceError::bad_seed),
               "seed must be a whole number from 1 to 2147483646");
}
