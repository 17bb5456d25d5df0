// The built programs, run as child processes: exit statuses and the exact
// evidence that an independent implementation of the same rules prints.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kavo/kavo.hpp"
#include "test_support.hpp"

using kavo_test::Captured;
using kavo_test::run_binary;

namespace {

struct Reference {
  std::string program;
  std::vector<std::string> args;
  std::string evidence;
};

void expect_reference(const Reference& r) {
  const Captured c = run_binary(r.program, r.args);
  std::string call = r.program;
  for (const auto& a : r.args) call += " " + a;
  EXPECT_EQ(c.status, 0) << call;
  EXPECT_EQ(c.err, "evidence = " + r.evidence + "\n\n") << call;
  EXPECT_EQ(c.out, "") << call;
}

}  // namespace

TEST(CommandLine, IndependenceMatchesTheReferenceStream) {
  for (const Reference& r : std::vector<Reference>{
           {"kavoind", {"12", "5", "7", "9"}, "3.741918e-01"},
           {"kavoind", {"20", "8", "6", "30"}, "1.000000e-04"},
           {"kavoind", {"2.5", "3", "4.5", "7"}, "9.979286e-01"},
           {"kavoind", {"40", "12", "9", "33", kavo_test::temp_path("ind.txt"), "50000", "0.01"},
            "0.000000e+00"}}) {
    expect_reference(r);
  }
  const std::string file = kavo_test::temp_path("out.txt");
  expect_reference({"kavoind", {"3", "5", "3", "5", file, "20000"}, "1.000000e+00"});
  EXPECT_EQ(kavo_test::read_file(file), "1.000000e+00\n");
}

TEST(CommandLine, SymmetryAndHomogeneityMatchTheReferenceStream) {
  for (const Reference& r : std::vector<Reference>{
           {"kavomcn", {"12", "5", "7", "9"}, "9.306918e-01"},
           {"kavomcn", {"20", "8", "6", "30"}, "9.504659e-01"},
           {"kavomcn", {"3.5", "9", "2.5", "4"}, "1.239700e-01"},
           {"kavohomo", {"12", "5", "7", "9"}, "2.129115e-01"},
           {"kavohomo", {"20", "8", "6", "30"}, "5.659310e-06"},
           {"kavohomo", {"1.5", "4", "2.2", "3"}, "7.254759e-01"}}) {
    expect_reference(r);
  }
}

TEST(CommandLine, HardyWeinbergAndProportionMatchTheReferenceStream) {
  for (const Reference& r : std::vector<Reference>{
           {"kavohw", {"12", "10", "4"}, "8.622669e-01"},
           {"kavohw", {"3", "2", "1.5"}, "7.910139e-01"},
           {"kavohw", {"25", "50", "30"}, "9.315372e-01"},
           {"kavoprop", {"3", "5", "0.4"}, "7.072672e-01"},
           {"kavoprop", {"30", "70", "0.25"}, "2.990630e-01"},
           {"kavoprop", {"1.7", "2.3", "0.6"}, "3.506699e-01"}}) {
    expect_reference(r);
  }
}

TEST(CommandLine, ExitStatusesReportFailureToScripts) {
  EXPECT_EQ(run_binary("kavoind", {"12", "5", "7"}).status, 1);
  EXPECT_EQ(run_binary("kavomcn", {"12", "5", "7", "1"}).status, 1);
  EXPECT_EQ(run_binary("kavohomo", {"12", "5", "7", "9,5"}).status, 1);
  EXPECT_EQ(run_binary("kavohw", {"3", "2", "1.5", "/dev/full", "100"}).status, 1);
  const Captured help = run_binary("kavoprop", {"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("<A1> <A2> <p0> [outputfile [maxMC [precision]]]"), std::string::npos);
  const Captured version = run_binary("kavohw", {"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, std::string("kavohw ") + KAVO_TEST_VERSION + "\n");
}

TEST(CommandLine, SameArgumentsGiveTheSameEvidence) {
  const std::vector<std::string> args = {"7.5", "3", "4", "11", kavo_test::temp_path("det"), "30000"};
  const Captured first = run_binary("kavomcn", args);
  const Captured second = run_binary("kavomcn", args);
  EXPECT_EQ(first.status, 0);
  EXPECT_EQ(first.err, second.err);
  EXPECT_EQ(first.err.rfind("evidence = ", 0), 0u);
}

TEST(CommandLine, RefusesParametersBeyondTheMonteCarloLimit) {
  // At 1e50 every draw's log kernel is rounded past the threshold of a
  // hypothesis through the mode: the estimate would print 0 for an evidence of 1.
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"1e50", "1e50", "1e50", "1e50"}, {"2", "3", "1.000001e12", "4"}}) {
    const Captured c = run_binary("kavoind", args);
    EXPECT_EQ(c.status, 1);
    EXPECT_NE(c.err.find(" ERROR : parameters too large for Monte Carlo, whose rounding would "
                         "bias the evidence: use the exact method.\nExiting...\n"),
              std::string::npos)
        << c.err;
  }
  EXPECT_EQ(run_binary("kavoprop", {"1.00001e8", "3", "0.5"}).status, 1);
  // At the limit the run goes on, and at the mode it is still exactly 1.
  expect_reference({"kavoprop", {"1e8", "1e8", "0.5", kavo_test::temp_path("l.txt"), "10000"},
                    "1.000000e+00"});
}

// kavohw --x-linked: the X-linked hypothesis through the option form and
// batch mode, each row what the library gives; the option only where it fits.
TEST(CommandLine, XLinkedHardyWeinbergInTheOptionFormAndBatchMode) {
  using kavo_test::cells_of;
  using kavo_test::lines_of;
  kavo::Settings exact;
  exact.method = kavo::Method::exact;
  const auto library = [&](std::vector<double> v) {
    return kavo::compute(kavo::Hypothesis::x_linked_hardy_weinberg, v, exact);
  };
  Captured c = run_binary("kavohw", {"--x-linked", "12", "10", "4", "8", "5"});
  EXPECT_EQ(c.status, 0) << c.err;
  std::vector<std::string> out = lines_of(c.out);
  ASSERT_EQ(out.size(), 2u) << c.out;
  EXPECT_EQ(out[0], "AA\tAB\tBB\tA\tB\tevidence\tdraws\terror_bound\tlog10_evidence\tsev\tg2\tdf");
  std::vector<std::string> row = cells_of(out[1]);
  ASSERT_EQ(row.size(), 12u);
  EXPECT_EQ(std::stod(row[5]), library({12, 10, 4, 8, 5}).evidence);
  EXPECT_EQ(row[11], "2");

  const std::string input = kavo_test::temp_path("x_linked.tsv");
  kavo_test::write_file(input, "marker\tAA\tAB\tBB\tA\tB\nrs1\t11\t9\t3\t7\t4\nrs2\t0\t5\t30\t0\t20\n");
  c = run_binary("kavohw", {"--batch", input, "--x-linked", "--prior", "1", "--no-progress"});
  EXPECT_EQ(c.status, 0) << c.err;
  out = lines_of(c.out);
  ASSERT_EQ(out.size(), 3u) << c.out;
  EXPECT_EQ(cells_of(out[0])[5], "B");
  // The values as given, the prior once in its own column, then the evidence.
  EXPECT_EQ(cells_of(out[1])[1], "11");
  EXPECT_EQ(cells_of(out[0])[6], "prior");
  EXPECT_EQ(std::stod(cells_of(out[1])[7]), library({12, 10, 4, 8, 5}).evidence);
  EXPECT_EQ(std::stod(cells_of(out[2])[7]), library({1, 6, 31, 1, 21}).evidence);

  c = run_binary("kavoind", {"--x-linked", "1", "2", "3", "4"});
  EXPECT_EQ(c.err, "kavoind ERROR : --x-linked is for kavohw, not kavoind\nExiting...\n");
  c = run_binary("kavohw", {"--x-linked", "--alleles", "3", "1", "2", "3", "4", "5", "6"});
  EXPECT_EQ(c.err, "kavohw ERROR : --x-linked takes its fixed table only (<AA> <AB> <BB> <A> <B>), "
                   "not --alleles\nExiting...\n");
  c = run_binary("kavohw", {"--x-linked", "12", "10", "4"});
  EXPECT_EQ(c.status, 1);
  EXPECT_EQ(c.err, "kavohw ERROR : expected 5 values (<AA> <AB> <BB> <A> <B>), found 3\nExiting...\n");
}
