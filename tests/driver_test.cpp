// The shared command-line flow, run in-process with captured streams.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.hpp"
#include "hypotheses/registry.hpp"

using kavo_test::Captured;
using kavo_test::run_in_process;

namespace {

const std::string kUsageInd =
    "\n\n./kavoind\n\nParameters:\n<A11> <A12> <A21> <A22> [outputfile [maxMC [precision]]]\n"
    "[ ] = Optional parameters\n";

std::string refused(const std::string& program) {
  return program +
         " ERROR : Dirichlet parameters must be greater than 1 and p0 must be in interval "
         "(0,1).\nExiting...\n";
}

std::string malformed(const std::string& program, const std::string& name,
                      const std::string& text) {
  return program + " ERROR : invalid number for " + name + ": '" + text + "'\nExiting...\n";
}

Captured ind(const std::vector<std::string>& args) {
  return run_in_process(kavo::kIndependence, "./kavoind", args);
}

}  // namespace

TEST(Driver, TooFewOrTooManyArgumentsPrintUsageAndFail) {
  for (const auto& args : {std::vector<std::string>{}, {"12", "5", "7"},
                           {"12", "5", "7", "9", "f", "1", "0.1", "extra"}}) {
    const Captured c = ind(args);
    EXPECT_EQ(c.status, 1);
    EXPECT_EQ(c.err, kUsageInd);
    EXPECT_EQ(c.out, "");
  }
  const Captured hw = run_in_process(kavo::kHardyWeinberg, "kavohw", {"2", "2"});
  EXPECT_EQ(hw.err, "\n\nkavohw\n\nParameters:\n<Aaa> <Aab> <Abb> [outputfile [maxMC [precision]]]\n"
                    "[ ] = Optional parameters\n");
  const Captured prop = run_in_process(kavo::kProportion, "kavoprop", {"2", "2"});
  EXPECT_NE(prop.err.find("\n<A1> <A2> <p0> [outputfile"), std::string::npos);
}

TEST(Driver, HelpAndVersionGoToStandardOutput) {
  for (const char* flag : {"-h", "--help"}) {
    const Captured c = ind({flag});
    EXPECT_EQ(c.status, 0);
    EXPECT_EQ(c.out.substr(0, kUsageInd.size()), kUsageInd);
    EXPECT_NE(c.out.find("\nBatch mode:\n./kavoind --batch [FILE]"), std::string::npos);
    EXPECT_EQ(c.err, "");
  }
  const Captured v = run_in_process(kavo::kSymmetry, "/usr/bin/kavomcn", {"--version"});
  EXPECT_EQ(v.status, 0);
  EXPECT_EQ(v.out, std::string("kavomcn ") + KAVO_TEST_VERSION + "\n");
}

TEST(Driver, MalformedNumbersAreNamedInOrder) {
  Captured c = ind({"12", "5,5", "x", "9"});
  EXPECT_EQ(c.status, 1);
  EXPECT_EQ(c.err, malformed("./kavoind", "A12", "5,5"));
  c = run_in_process(kavo::kHardyWeinberg, "kavohw", {"3", " 1e999 ", "2"});
  EXPECT_EQ(c.err, malformed("kavohw", "Aab", " 1e999 "));
  c = run_in_process(kavo::kProportion, "kavoprop", {"3", "5", "nan"});
  EXPECT_EQ(c.err, malformed("kavoprop", "p0", "nan"));
  c = ind({"12", "5", "7", "9", "out", "1e6"});
  EXPECT_EQ(c.err, malformed("./kavoind", "maxMC", "1e6"));
  c = ind({"12", "5", "7", "9", "out", "20000", "0x1p-3"});
  EXPECT_EQ(c.err, malformed("./kavoind", "precision", "0x1p-3"));
  EXPECT_EQ(c.status, 1);
}

TEST(Driver, RefusalComesBeforeTheRunSettingsAreRead) {
  const Captured c = ind({"1", "5", "7", "9", "out", "junk"});
  EXPECT_EQ(c.status, 1);
  EXPECT_EQ(c.err, refused("./kavoind"));
  for (const auto& args : {std::vector<std::string>{"2", "1", "0.5"}, {"2", "2", "0"},
                           {"2", "2", "1"}}) {
    const Captured p = run_in_process(kavo::kProportion, "kavoprop", args);
    EXPECT_EQ(p.err, refused("kavoprop"));
    EXPECT_EQ(p.status, 1);
  }
}

TEST(Driver, HypothesisAtThePosteriorModePrintsExactlyOne) {
  const struct {
    const kavo::HypothesisSpec* spec;
    std::vector<std::string> values;
  } cases[] = {{&kavo::kIndependence, {"2", "3", "3", "5"}},
               {&kavo::kIndependence, {"2", "2", "2", "2"}},
               {&kavo::kSymmetry, {"12", "5", "5", "9"}},
               {&kavo::kHomogeneity, {"3", "5", "3", "5"}},
               {&kavo::kHardyWeinberg, {"2", "3", "2"}},
               {&kavo::kProportion, {"11", "11", "0.5"}}};
  for (const auto& c : cases) {
    const std::string file = kavo_test::temp_path(std::string(c.spec->program_name) + ".mode");
    std::vector<std::string> args = c.values;
    args.insert(args.end(), {file, "12000"});
    const Captured r = run_in_process(*c.spec, c.spec->program_name, args);
    EXPECT_EQ(r.status, 0) << c.spec->program_name;
    EXPECT_EQ(r.err, "evidence = 1.000000e+00\n\n") << c.spec->program_name;
    EXPECT_EQ(kavo_test::read_file(file), "1.000000e+00\n") << c.spec->program_name;
  }
}

TEST(Driver, OutputFileHoldsTheReportedNumberAndIsTruncated) {
  const std::string file = kavo_test::temp_path("evidence.txt");
  {
    FILE* f = std::fopen(file.c_str(), "w");
    std::fputs("a much longer line that must disappear\n", f);
    std::fclose(f);
  }
  const Captured c = ind({"40", "12", "9", "33", file, "50000", "0.01"});
  EXPECT_EQ(c.status, 0);
  EXPECT_EQ(c.err, "evidence = 0.000000e+00\n\n");
  EXPECT_EQ(kavo_test::read_file(file), "0.000000e+00\n");
  // A name that looks like a number is still the output file.
  const Captured numeric = run_in_process(kavo::kHardyWeinberg, "kavohw",
                                          {"3", "2", "1.5", kavo_test::temp_path("20000")});
  EXPECT_EQ(numeric.status, 0);
  EXPECT_EQ(kavo_test::read_file(kavo_test::temp_path("20000")), "7.910139e-01\n");
}

TEST(Driver, OutputFileFailuresAreReportedAfterTheEvidence) {
  Captured c = ind({"3", "5", "3", "5", "/nonexistent-dir/out.txt", "100"});
  EXPECT_EQ(c.status, 1);
  EXPECT_EQ(c.err, "evidence = 1.000000e+00\n\nError: unable to open output file\n");
  c = ind({"3", "5", "3", "5", "/dev/full", "100"});
  EXPECT_EQ(c.status, 1);
  EXPECT_EQ(c.err, "evidence = 1.000000e+00\n\nError: unable to write output file\n");
}

TEST(Driver, ValuesTooLargeForAHypothesisPointAreRefused) {
  const Captured c = ind({"1e308", "1e308", "2", "2", "x", "100"});
  EXPECT_EQ(c.status, 1);
  EXPECT_EQ(c.err,
            "./kavoind ERROR : parameters too large: the hypothesis point cannot be computed.\n"
            "Exiting...\n");
}
