// The option form end to end: batch input as real files hold it, the table
// streamed while it is computed, interruption and resuming, --output, the
// single table with options, and the messages.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "hypotheses/registry.hpp"
#include "kavo/kavo.hpp"
#include "quoted_tsv.hpp"
#include "test_support.hpp"

using kavo_test::Captured;
using kavo_test::cells_of;
using kavo_test::kExactColumns;
using kavo_test::kFailedResult;
using kavo_test::kMonteCarloColumns;
using kavo_test::lines_of;
using kavo_test::run_binary;
using kavo_test::run_in_process;

namespace {

// kavohw in batch mode on this input, with these options only.
Captured hw_run(const std::string& input, const std::vector<std::string>& options) {
  const std::string file = kavo_test::temp_path("options.in");
  kavo_test::write_file(file, input);
  std::vector<std::string> args = {"--batch", file, "--no-progress"};
  args.insert(args.end(), options.begin(), options.end());
  return run_in_process(kavo::kHardyWeinberg, "/usr/local/bin/kavohw", args);
}

// The same with quick Monte Carlo settings.
Captured hw_batch(const std::string& input, std::vector<std::string> extra = {}) {
  std::vector<std::string> options = {"--method", "monte_carlo", "--maxMC", "20000",
                                      "--precision", "0.01"};
  options.insert(options.end(), extra.begin(), extra.end());
  return hw_run(input, options);
}

// A number as the programs print Monte Carlo's figures.
std::string e_format(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%e", value);
  return text;
}

// A panel whose rows each take a few milliseconds (no early stop).
std::string slow_panel(int rows) {
  std::string text = "marker\taa\tab\tbb\n";
  for (int i = 0; i < rows; ++i) {
    text += "rs" + std::to_string(i) + "\t" + std::to_string(5 + i % 17) + "\t" +
            std::to_string(7 + i % 13) + "\t" + std::to_string(4 + i % 11) + "\n";
  }
  return text;
}

// A program started with its standard output on a pipe we read.
struct Child {
  pid_t pid = -1;
  int out = -1;
  std::string err_path;

  Child(const std::string& program, const std::vector<std::string>& args) {
    err_path = kavo_test::temp_path("child.err");
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("pipe");
    kavo_test::ChildStreams streams;
    streams.out_fd = fds[1];
    streams.close_fd = fds[0];
    streams.err_path = err_path;
    pid = kavo_test::spawn(kavo_test::binary_path(program), args, streams);
    close(fds[1]);
    out = fds[0];
  }

  // Whether it is still running.
  bool running() const { return waitpid(pid, nullptr, WNOHANG) == 0; }

  // Reads until `lines` whole lines arrived (or the output ended).
  std::string read_lines(int lines) {
    std::string text;
    char c;
    while (lines > 0 && read(out, &c, 1) == 1) {
      text += c;
      if (c == '\n') --lines;
    }
    return text;
  }

  std::string read_rest() {
    std::string text;
    char buf[4096];
    ssize_t got;
    while ((got = read(out, buf, sizeof buf)) > 0) text.append(buf, static_cast<std::size_t>(got));
    return text;
  }

  int wait() {
    if (out >= 0) close(out);
    out = -1;
    return kavo_test::wait_child(pid);
  }
};

}  // namespace

TEST(OptionsInput, QuotedLabelsBomAndSpacesInsideTabFields) {
  const std::string panel =
      "\xEF\xBB\xBFmarker\taa\tab\tbb\n"
      "SNP A1\t12\t10\t4\n"
      "\"rs \"\"2\"\"\"\t25\t50\t30\n"
      "\"tab\there\"\t25\t50\t30\n"
      "\"open\t12\t10\t4\n"
      "rs5\t25\t50\t30\n";
  const Captured c = hw_batch(panel, {"--threads", "2"});
  EXPECT_EQ(c.status, 0);  // NA rows are results, not a failed run
  const auto out = lines_of(c.out);
  ASSERT_EQ(out.size(), 6u);
  EXPECT_EQ(out[0], "label\tAaa\tAab\tAbb\t" + kMonteCarloColumns);
  bool well_formed = false;
  for (const auto& row : kavo_test::read_quoted_tsv(c.out, well_formed)) ASSERT_EQ(row.size(), 11u);
  EXPECT_TRUE(well_formed);
  EXPECT_EQ(cells_of(out[1])[0], "SNP A1");
  // Written back quoted, so tab-separated readers with CSV quoting get it exactly.
  EXPECT_EQ(out[2].substr(0, 13), "\"rs \"\"2\"\"\"\t25");
  EXPECT_EQ(out[3].substr(0, 12), "\"tab\there\"\t2");
  EXPECT_EQ(out[4], "NA\tNA\tNA\tNA\t" + kFailedResult);
  EXPECT_EQ(cells_of(out[5])[0], "rs5");
  EXPECT_NE(c.err.find("kavohw ERROR : line 5: unterminated quoted field\n"), std::string::npos);
  // The same values as the unlabelled, unquoted rows give.
  const Captured plain = hw_batch("12 10 4\n25 50 30\n");
  ASSERT_EQ(lines_of(plain.out).size(), 3u) << plain.err;
  EXPECT_EQ(cells_of(lines_of(plain.out)[1])[3], cells_of(out[1])[4]);
  EXPECT_EQ(cells_of(lines_of(plain.out)[2])[3], cells_of(out[5])[4]);
}

TEST(OptionsInput, ColumnsChosenByNameOrPositionKeepTheirNames) {
  const std::string panel =
      ",chr,id,aa,ab,bb\n"
      "0,1,101,12,10,4\n"
      "1,1,102,25,50,30\n"
      "2,2,103,x,50,30\n";
  const Captured named = hw_batch(panel, {"--label-column", "id", "--value-columns", "aa,ab,bb"});
  EXPECT_EQ(named.status, 0);  // NA rows are results, not a failed run
  const auto out = lines_of(named.out);
  ASSERT_EQ(out.size(), 4u);
  EXPECT_EQ(out[0], "id\taa\tab\tbb\t" + kMonteCarloColumns);
  EXPECT_EQ(out[1].substr(0, 13), "101\t12\t10\t4\t8");
  EXPECT_EQ(out[3], "103\tNA\tNA\tNA\t" + kFailedResult);  // a failed row keeps its label
  const Captured by_position =
      hw_batch(panel, {"--label-column=3", "--value-columns=4,5,6"});
  EXPECT_EQ(by_position.out, named.out);
  // Without a label column the numeric id is not taken for a value.
  const Captured values_only = hw_batch(panel, {"--value-columns", "aa,ab,bb"});
  ASSERT_GE(lines_of(values_only.out).size(), 2u) << values_only.err;
  EXPECT_EQ(lines_of(values_only.out)[1].substr(0, 9), "12\t10\t4\t8");
  // A header of numbers is a header when --header says so; --no-header reads it as a table.
  const std::string years = "marker 2019 2020 2021\nrs1 12 10 4\n";
  EXPECT_EQ(lines_of(hw_batch(years, {"--header"}).out).size(), 2u);
  EXPECT_EQ(lines_of(hw_batch(years).out).size(), 3u);
  EXPECT_EQ(lines_of(hw_batch("rs1 aa ab bb\n", {"--no-header"}).out).size(), 2u);
  // Names that are not in the header stop the run before any output.
  const Captured missing = hw_batch(panel, {"--value-columns", "aa,ab,BB"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "");
  EXPECT_NE(missing.err.find("kavohw ERROR : no column named 'BB' in the header"), std::string::npos);
  EXPECT_NE(hw_batch(panel, {"--value-columns", "aa,ab"}).err.find("needs 3 columns, found 2"),
            std::string::npos);
  EXPECT_NE(hw_batch(panel, {"--no-header", "--value-columns", "aa,ab,bb"}).err.find("without a header"),
            std::string::npos);
}

TEST(OptionsInput, LabelRulesOfLabelledAndUnlabelledFiles) {
  // An empty first label fails its own row only.
  Captured c = hw_batch("m,aa,ab,bb\n,12,10,4\nrs2,25,50,30\n");
  EXPECT_EQ(c.status, 0);  // NA rows are results, not a failed run
  auto out = lines_of(c.out);
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[1], "NA\t12\t10\t4\t" + kFailedResult);
  ASSERT_EQ(cells_of(out[2]).size(), 11u);
  EXPECT_EQ(cells_of(out[2])[0], "rs2");
  EXPECT_NE(cells_of(out[2])[4], "NA");
  EXPECT_NE(c.err.find("line 2: no label, but the input's tables are labelled"), std::string::npos);
  // An unlabelled row in a labelled file is not computed under a made-up label.
  c = hw_batch("rs1 12 10 4\n25 50 30\n");
  out = lines_of(c.out);
  ASSERT_EQ(out.size(), 3u) << c.err;
  EXPECT_EQ(out[2], "NA\t25\t50\t30\t" + kFailedResult);
  EXPECT_NE(c.err.find("line 2: no label"), std::string::npos);
  // A failed row keeps its label.
  c = hw_batch("rs1 12 10 4\nrs2 25 x 30\nrs3 1 2\n");
  out = lines_of(c.out);
  ASSERT_EQ(out.size(), 4u) << c.err;
  EXPECT_EQ(cells_of(out[2])[0], "rs2");
  EXPECT_EQ(cells_of(out[3])[0], "rs3");
  EXPECT_NE(c.err.find("line 3 (rs3): expected 3 numbers after the label, found 2\n"), std::string::npos);
}

TEST(OptionsMessages, NameTheFileTheReasonAndTheProgram) {
  // A directory is refused before any output, with the reason.
  Captured c = run_in_process(kavo::kHardyWeinberg, "/opt/x/kavohw", {"--batch", "/tmp"});
  EXPECT_EQ(c.status, 1);
  EXPECT_EQ(c.out, "");
  EXPECT_EQ(c.err, "kavohw ERROR : cannot read '/tmp': Is a directory\nExiting...\n");
  c = run_in_process(kavo::kHardyWeinberg, "kavohw", {"--batch", "f.tsv", "-x"});
  EXPECT_EQ(c.err, "kavohw ERROR : unknown option '-x' (see --help)\nExiting...\n");
  // Control bytes in a message are shown escaped.
  c = hw_batch(std::string("r\x1b]0;x\x07 1 \x01 3\nrs2 1 2\0 3\n", 25));
  EXPECT_NE(c.err.find("line 1 (r\\x1b]0;x\\x07): invalid number for Aab: '\\x01'"), std::string::npos) << c.err;
  EXPECT_NE(c.err.find("line 2 (rs2): invalid number for Aab: '2\\x00'"), std::string::npos) << c.err;
  for (char ch : c.err) EXPECT_TRUE(ch == '\n' || static_cast<unsigned char>(ch) >= 0x20) << c.err;
  // Many failures: 100 messages, a note for the rest, and one summary line.
  std::string bad;
  for (int i = 0; i < 130; ++i) bad += "rs" + std::to_string(i) + " 0.5 2 3\n";
  bad += "rsok 12 10 4\n";
  c = hw_batch(bad);
  EXPECT_EQ(c.status, 0);  // NA rows are results, not a failed run
  EXPECT_EQ(lines_of(c.out).size(), 132u);
  const auto err = lines_of(c.err);
  ASSERT_EQ(err.size(), 102u);
  EXPECT_EQ(err[99].rfind("kavohw ERROR : line 100 (rs99): Dirichlet", 0), 0u);
  EXPECT_EQ(err[100], "kavohw ERROR : 30 more failed rows not shown (their rows hold NA)");
  EXPECT_EQ(err[101], "kavohw ERROR : 130 of 131 rows failed");
}

TEST(OptionsOutput, FileCheckedBeforeComputingAndWriteFailuresExitOne) {
  // An output that cannot be opened is named before a long run starts: this
  // run (10^15 draws, no early stop) would otherwise not end in any test's time.
  Captured c = run_in_process(kavo::kIndependence, "kavoind",
                              {"12", "5", "7", "9", "--output", "/nonexistent/x", "--method",
                               "monte_carlo", "--maxMC", "1000000000000000", "--precision", "0"});
  EXPECT_EQ(c.status, 1);
  EXPECT_EQ(c.err, "kavoind ERROR : cannot write '/nonexistent/x': No such file or directory\nExiting...\n");
  c = hw_batch("12 10 4\n", {"--output", "/dev/full"});
  EXPECT_EQ(c.status, 1);
  EXPECT_NE(c.err.find("cannot write '/dev/full': No space left on device"), std::string::npos);
  c = kavo_test::run_binary_redirected("kavohw", {"--batch"}, "/dev/full",
                                       kavo_test::temp_path("full.err"));
  EXPECT_EQ(c.status, 1);
  EXPECT_NE(kavo_test::read_file(kavo_test::temp_path("full.err")).find("cannot write standard output"),
            std::string::npos);
  // The input is never overwritten by its own results.
  const std::string input = kavo_test::temp_path("options.in");
  c = hw_batch("rs1 12 10 4\n", {"--output", input});
  EXPECT_EQ(c.status, 1);
  EXPECT_NE(c.err.find("the output '" + input + "' is the input file"), std::string::npos) << c.err;
  EXPECT_EQ(kavo_test::read_file(input), "rs1 12 10 4\n");
  // The file gets exactly what standard output would.
  const std::string file = kavo_test::temp_path("table.tsv");
  c = hw_batch("rs1 12 10 4\n", {"--output", file});
  EXPECT_EQ(c.status, 0);
  EXPECT_EQ(c.out, "");
  EXPECT_EQ(kavo_test::read_file(file), hw_batch("rs1 12 10 4\n").out);
}

TEST(OptionsStreaming, FirstRowsComeBeforeTheRunEndsAndAClosedPipeStopsIt) {
  const std::string panel = kavo_test::temp_path("stream.tsv");
  kavo_test::write_file(panel, slow_panel(3000));
  // 3000 rows of 2000000 draws: longer than the test's time limit, so the first rows arriving
  // while it runs and its end once the reader goes are no matter of timing
  // (a run that kept going would fail by that limit).
  Child child("kavohw", {"--batch", panel, "--method", "monte_carlo", "--maxMC", "2000000",
                         "--precision", "0", "--threads", "2"});
  const std::string first = child.read_lines(2);
  EXPECT_EQ(first.rfind("label\tAaa\tAab\tAbb\t" + kMonteCarloColumns + "\nrs0\t", 0), 0u) << first;
  EXPECT_TRUE(child.running());
  close(child.out);
  child.out = -1;
  const int status = child.wait();
  EXPECT_EQ(status, 128 + SIGPIPE);
  EXPECT_EQ(kavo_test::read_file(child.err_path), "");  // quietly
}

TEST(OptionsInterrupt, SignalKeepsWholeRowsAndResumeFinishesTheTable) {
  const std::string panel = kavo_test::temp_path("interrupt.tsv");
  kavo_test::write_file(panel, slow_panel(30));
  const std::vector<std::string> run = {"--batch", panel, "--method", "monte_carlo", "--maxMC",
                                        "400000", "--precision", "0", "--threads", "2"};
  const Captured whole = run_binary("kavohw", run);
  ASSERT_EQ(whole.status, 0);
  ASSERT_EQ(lines_of(whole.out).size(), 31u);

  for (const int signal : {SIGINT, SIGTERM}) {
    const std::string out = kavo_test::temp_path("interrupted" + std::to_string(signal) + ".tsv");
    std::vector<std::string> args = run;
    args.insert(args.end(), {"--output", out});
    Child child("kavohw", args);
    // Wait for some rows in the file, then interrupt.
    for (int i = 0; i < 6000 && lines_of(kavo_test::read_file(out)).size() < 3; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(child.pid, signal);
    EXPECT_EQ(child.wait(), 128 + signal);
    const std::string partial = kavo_test::read_file(out);
    const auto rows = lines_of(partial);
    ASSERT_GE(rows.size(), 3u);
    ASSERT_LT(rows.size(), 31u) << "the run ended before the signal";
    EXPECT_EQ(partial.back(), '\n');
    EXPECT_EQ(whole.out.substr(0, partial.size()), partial);  // whole rows, header first
    const std::string err = kavo_test::read_file(child.err_path);
    EXPECT_NE(err.find("kavohw: interrupted; " + std::to_string(rows.size() - 1) + " complete rows in '" +
                       out + "'"), std::string::npos) << err;
    // A half-written last row (from a harder stop) is dropped on resume.
    kavo_test::write_file(out, partial + "rs9\t12\t1");
    args.push_back("--resume");
    const Captured resumed = run_binary("kavohw", args);
    EXPECT_EQ(resumed.status, 0) << resumed.err;
    EXPECT_EQ(kavo_test::read_file(out), whole.out);
  }
  // Resuming with another input is refused, and the file is left as it is.
  const std::string out = kavo_test::temp_path("other.tsv");
  kavo_test::write_file(out, lines_of(whole.out)[0] + "\nrs0\t5\t7\t4\t1\t1\t1\t1\t1\t1\t1\n" +
                                 "rs7\t1\t1\t1\t1\t1\t1\t1\t1\t1\t1\n");
  const std::string before = kavo_test::read_file(out);
  std::vector<std::string> args = run;
  args.insert(args.end(), {"--output", out, "--resume"});
  const Captured refused = run_binary("kavohw", args);
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("cannot resume '" + out + "': its row 2 is not line 3 of the input"),
            std::string::npos) << refused.err;
  EXPECT_EQ(kavo_test::read_file(out), before);
}

TEST(OptionsSingleTable, OptionsAnywhereMakeOneTableOfTheValues) {
  // Asked for Monte Carlo, the option form's row holds the positional run's
  // evidence, and the library's statistics of the same run.
  const std::string cwd_file = "--threads";
  Captured c = run_in_process(kavo::kIndependence, "kavoind",
                              {"12", "5", "7", "9", "--threads", "2", "--method", "monte_carlo"});
  EXPECT_EQ(c.status, 0);
  std::vector<std::string> out = lines_of(c.out);
  ASSERT_EQ(out.size(), 2u) << c.err;
  EXPECT_EQ(out[0], "A11\tA12\tA21\tA22\t" + kMonteCarloColumns);
  EXPECT_EQ(out[1].rfind("12\t5\t7\t9\t3.741918e-01\t1569000\t9.999869e-04\t", 0), 0u) << out[1];
  const double table[] = {12, 5, 7, 9};
  const kavo::Result mc = kavo::compute(kavo::Hypothesis::independence, table);
  std::vector<std::string> cells = cells_of(out[1]);
  ASSERT_EQ(cells.size(), 11u);
  EXPECT_EQ(cells[7], e_format(mc.log10_evidence));
  EXPECT_EQ(cells[8], e_format(mc.sev));
  EXPECT_EQ(std::strtod(cells[9].c_str(), nullptr), mc.g2);
  EXPECT_EQ(cells[10], std::to_string(mc.df));
  EXPECT_EQ(c.err, "");
  EXPECT_EQ(access(cwd_file.c_str(), F_OK), -1);  // no file named after the option
  c = run_in_process(kavo::kIndependence, "kavoind",
                     {"--method", "monte_carlo", "12", "5", "--maxMC=20000", "7", "9"});
  const Captured positional = run_in_process(
      kavo::kIndependence, "kavoind", {"12", "5", "7", "9", kavo_test::temp_path("p.out"), "20000"});
  ASSERT_EQ(lines_of(c.out).size(), 2u) << c.err;
  cells = cells_of(lines_of(c.out)[1]);
  ASSERT_EQ(cells.size(), 11u);
  EXPECT_EQ(cells[4], positional.err.substr(11, 12));
  EXPECT_EQ(cells[5], "20000");
  // --help anywhere is help, and says what is tested and the defaults.
  c = run_in_process(kavo::kProportion, "kavoprop", {"3", "5", "0.4", "--help"});
  EXPECT_EQ(c.status, 0);
  EXPECT_NE(c.out.find("Tests whether the first of two categories has probability p0."), std::string::npos);
  EXPECT_NE(c.out.find("must be greater than 1 and p0 strictly between 0 and 1"), std::string::npos);
  EXPECT_NE(c.out.find("(default 2000000)"), std::string::npos);
  EXPECT_NE(c.out.find("error_bound (exact), log10_evidence, sev, g2 and df"), std::string::npos);
  EXPECT_NE(c.out.find("--seed S             generator start, 1 to 2147483646 (default 11)"),
            std::string::npos);
  // A refused or malformed value gets a row and a message; a wrong count is a usage error.
  c = run_in_process(kavo::kIndependence, "kavoind", {"12", "x", "7", "9", "--threads", "1"});
  EXPECT_EQ(c.status, 1);
  ASSERT_EQ(lines_of(c.out).size(), 2u) << c.err;
  EXPECT_EQ(lines_of(c.out)[1], "NA\tNA\tNA\tNA\t" + kFailedResult);
  EXPECT_EQ(c.err, "kavoind ERROR : invalid number for A12: 'x'\n");
  c = run_in_process(kavo::kIndependence, "kavoind", {"12", "5", "7", "--threads", "1"});
  EXPECT_EQ(c.err, "kavoind ERROR : expected 4 values (<A11> <A12> <A21> <A22>), found 3\nExiting...\n");
  EXPECT_EQ(c.out, "");
  c = run_in_process(kavo::kIndependence, "kavoind", {"12", "5", "7", "9", "out.txt", "--threads", "2"});
  EXPECT_EQ(c.status, 1);
  EXPECT_NE(c.err.find("found 5 (with options, an output file is --output FILE"), std::string::npos);
  // A negative number is a value, not an option (the prior may lift it); it is
  // shown as given, the prior beside it.
  c = run_in_process(kavo::kHardyWeinberg, "kavohw", {"-0.5", "10", "4", "--prior", "3"});
  EXPECT_EQ(c.status, 0) << c.err;
  ASSERT_EQ(lines_of(c.out).size(), 2u);
  EXPECT_EQ(lines_of(c.out)[1].substr(0, 12), "-0.5\t10\t4\t3\t");
}

TEST(OptionsMethod, MethodsByNameAndTheirSettings) {
  Captured c = run_in_process(kavo::kIndependence, "kavoind",
                              {"12", "5", "7", "9", "--method", "no_such_method"});
  EXPECT_EQ(c.status, 1);
  EXPECT_NE(c.err.find("unknown method 'no_such_method' (known: monte_carlo"), std::string::npos);
  EXPECT_EQ(c.out, "");
  // An explicit exact, the default, changes nothing.
  EXPECT_EQ(hw_run("rs1 12 10 4\n", {"--method", "exact"}).out, hw_run("rs1 12 10 4\n", {}).out);
  // Monte Carlo's settings without --method are refused, naming the default.
  for (const char* setting : {"--seed", "--maxMC", "--precision"}) {
    c = run_in_process(kavo::kHardyWeinberg, "kavohw", {"12", "10", "4", setting, "5"});
    EXPECT_EQ(c.status, 1);
    EXPECT_EQ(c.out, "");
    EXPECT_EQ(c.err, std::string("kavohw ERROR : ") + setting +
                         " applies to the monte_carlo method only, not to exact (the default: ask "
                         "for --method monte_carlo)\nExiting...\n");
  }
  // Every other method the library knows: no Monte Carlo settings, an error bound column.
  for (int i = 0; i < kavo::kMethodCount; ++i) {
    const std::string name = kavo::method_name(static_cast<kavo::Method>(i));
    if (name == "monte_carlo") continue;
    for (const char* setting : {"--seed", "--maxMC", "--precision"}) {
      c = run_in_process(kavo::kHardyWeinberg, "kavohw", {"12", "10", "4", "--method", name, setting, "5"});
      EXPECT_EQ(c.status, 1);
      EXPECT_NE(c.err.find(std::string(setting) + " applies to the monte_carlo method only"),
                std::string::npos) << c.err;
    }
    c = run_in_process(kavo::kHardyWeinberg, "kavohw", {"12", "10", "4", "--method", name});
    ASSERT_EQ(lines_of(c.out).size(), 2u) << name << c.err;
    EXPECT_EQ(lines_of(c.out)[0], "Aaa\tAab\tAbb\t" + kExactColumns) << name;
    ASSERT_EQ(cells_of(lines_of(c.out)[1]).size(), 10u) << name;
    EXPECT_EQ(cells_of(lines_of(c.out)[1])[4], "0") << name;
  }
}

TEST(OptionsHonestError, RowsWithAllOrNoDrawsInTheTangentSetReportABound) {
  const Captured c = hw_batch("rs3 41 21 41\nmode 2 3 2\n", {"--maxMC", "20000", "--precision", "0.001"});
  EXPECT_EQ(c.status, 0);
  const auto out = lines_of(c.out);
  ASSERT_EQ(out.size(), 3u) << c.err;
  const std::string bound = e_format(6.7 / (20000 + 6.7));
  // log10 of an evidence of 0 and of 1.
  EXPECT_EQ(out[1].rfind("rs3\t41\t21\t41\t0.000000e+00\t20000\t" + bound + "\t-inf\t", 0), 0u)
      << out[1];
  EXPECT_EQ(out[2].rfind("mode\t2\t3\t2\t1.000000e+00\t20000\t" + bound + "\t0.000000e+00\t", 0), 0u)
      << out[2];
}

TEST(PositionalReport, AFailedReportWriteIsAFailure) {
  const Captured c = kavo_test::run_binary_redirected("kavoind", {"3", "5", "3", "5", kavo_test::temp_path("x"), "10000"}, "",
                                                      "/dev/full");
  EXPECT_EQ(c.status, 1);
  const Captured ok = kavo_test::run_binary_redirected("kavoind", {"3", "5", "3", "5", "/dev/null", "10000"},
                                                       "", kavo_test::temp_path("report.err"));
  EXPECT_EQ(ok.status, 0);
  EXPECT_EQ(kavo_test::read_file(kavo_test::temp_path("report.err")), "evidence = 1.000000e+00\n\n");
}

TEST(OptionsShape, LargerTablesThroughTheirProgramsOption) {
  // Each program takes its own shape option; the row is the library's result
  // for that shape, and the fixed shape given explicitly is the positional
  // program's run, digit for digit.
  const struct {
    const char* program;
    std::vector<std::string> args;
    kavo::Hypothesis hypothesis;
    kavo::Shape shape;
    const char* header;
  } cases[] = {
      {"kavoind", {"13", "6", "8", "10", "5", "7", "--shape", "2x3"},
       kavo::Hypothesis::independence, kavo::Shape::table(2, 3), "A11\tA12\tA13\tA21\tA22\tA23"},
      {"kavomcn", {"21", "4", "3", "7", "16", "2", "5", "6", "12", "--shape", "3"},
       kavo::Hypothesis::symmetry, kavo::Shape::square(3), "A11\tA12\tA13\tA21\tA22\tA23\tA31"},
      {"kavohomo", {"13", "6", "8", "10", "15", "3", "--shape=3x2"},
       kavo::Hypothesis::homogeneity, kavo::Shape::table(3, 2), "A11\tA12\tA21\tA22\tA31\tA32"},
      {"kavohw", {"10", "13", "5", "9", "7", "2", "--alleles", "3"},
       kavo::Hypothesis::hardy_weinberg, kavo::Shape::alleles(3), "A11\tA12\tA22\tA13\tA23\tA33"},
      {"kavoprop", {"21", "31", "12", "0.3", "0.5", "0.2", "--categories", "3"},
       kavo::Hypothesis::proportion, kavo::Shape::categories(3), "A1\tA2\tA3\tp1\tp2\tp3"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"--method", "monte_carlo", "--maxMC", "30000", "--threads", "1"});
    const Captured run = run_binary(c.program, args);
    ASSERT_EQ(run.status, 0) << c.program << run.err;
    const std::vector<std::string> out = lines_of(run.out);
    ASSERT_EQ(out.size(), 2u) << c.program;
    EXPECT_EQ(out[0].rfind(c.header, 0), 0u) << out[0];
    std::vector<double> values;
    for (const std::string& a : c.args) {
      if (a.rfind("--", 0) == 0) break;
      values.push_back(std::stod(a));
    }
    kavo::Settings settings;
    settings.max_draws = 30000;
    const kavo::Result r = kavo::compute(c.hypothesis, c.shape, values, settings);
    char expected[64];
    std::snprintf(expected, sizeof expected, "%e\t%lld", r.evidence,
                  static_cast<long long>(r.draws));
    const std::vector<std::string> cells = cells_of(out[1]);
    ASSERT_EQ(cells.size(), values.size() + 7) << out[1];
    EXPECT_EQ(cells[values.size()] + "\t" + cells[values.size() + 1], expected) << c.program;
  }

  const Captured fixed =
      run_binary("kavoind", {"12", "5", "7", "9", "--shape", "2x2", "--method", "monte_carlo"});
  EXPECT_EQ(cells_of(lines_of(fixed.out).at(1)).at(4), "3.741918e-01");

  const struct {
    const char* program;
    std::vector<std::string> args;
    const char* message;
  } refused[] = {
      {"kavohw", {"1", "2", "3", "--shape", "2x3"}, "kavohw takes --alleles, not --shape"},
      {"kavomcn", {"1", "2", "3", "4", "5", "6", "--shape", "2x3"}, "shape not possible"},
      {"kavoind", {"1", "2", "--shape", "0x2"}, "invalid shape: '0x2'"},
      {"kavoind", {"2", "3", "4", "5", "--shape", "2x3"}, "expected 6 values"},
      {"kavoprop", {"3", "4", "5", "0.2", "0.3", "0.6", "--categories", "3"},
       "Dirichlet parameters must be greater than 1"},
  };
  for (const auto& r : refused) {
    const Captured run = run_binary(r.program, r.args);
    EXPECT_EQ(run.status, 1) << r.message;
    EXPECT_NE(run.err.find(r.message), std::string::npos) << run.err;
  }
}

namespace {

// A row's seven result fields from `first` on are the exact method's result
// for these values: each figure reads back to the library's very double.
void expect_exact_result(const std::string& line, std::size_t first, kavo::Hypothesis hypothesis,
                         const std::vector<double>& values) {
  kavo::Settings exact;
  exact.method = kavo::Method::exact;
  const kavo::Result r = kavo::compute(hypothesis, values, exact);
  ASSERT_EQ(r.status, kavo::Status::ok);
  const std::vector<std::string> cells = cells_of(line);
  ASSERT_EQ(cells.size(), first + 7) << line;
  const auto number = [&](std::size_t i) { return std::strtod(cells[first + i].c_str(), nullptr); };
  EXPECT_EQ(number(0), r.evidence) << line;
  EXPECT_EQ(cells[first + 1], "0") << line;
  EXPECT_EQ(cells[first + 2], e_format(r.error)) << line;
  EXPECT_EQ(number(3), r.log10_evidence) << line;
  EXPECT_EQ(number(4), r.sev) << line;
  EXPECT_EQ(number(5), r.g2) << line;
  EXPECT_EQ(cells[first + 6], std::to_string(r.df)) << line;
}

}  // namespace

TEST(OptionsDefault, TheExactMethodWithItsColumnsAndTheLibrarysDoubles) {
  const Captured c = run_in_process(kavo::kIndependence, "kavoind", {"12", "5", "7", "9", "--threads", "1"});
  EXPECT_EQ(c.status, 0) << c.err;
  const auto out = lines_of(c.out);
  ASSERT_EQ(out.size(), 2u) << c.err;
  EXPECT_EQ(out[0], "A11\tA12\tA21\tA22\t" + kExactColumns);
  expect_exact_result(out[1], 4, kavo::Hypothesis::independence, {12, 5, 7, 9});
}

TEST(OptionsDefault, AParameterOfOneNeedsTheExactMethod) {
  // A zero count under the uniform prior: Monte Carlo leaves its row NA and says why.
  const std::string panel = "rs1 1 10 4\nrs2 12 10 4\n";
  const Captured mc = hw_batch(panel);
  EXPECT_EQ(mc.status, 0);  // NA rows are results, not a failed run
  auto out = lines_of(mc.out);
  ASSERT_EQ(out.size(), 3u) << mc.err;
  EXPECT_EQ(out[1], "rs1\t1\t10\t4\t" + kFailedResult);
  EXPECT_EQ(cells_of(out[2]).size(), 11u);
  EXPECT_EQ(mc.err,
            "kavohw ERROR : line 1 (rs1): a Dirichlet parameter of exactly 1 (a zero count with the "
            "uniform prior): only the exact method computes it\n"
            "kavohw ERROR : 1 of 2 rows failed\n");
  // The default method computes both rows.
  const Captured exact = hw_run(panel, {"--threads", "2"});
  EXPECT_EQ(exact.status, 0) << exact.err;
  EXPECT_EQ(exact.err, "");
  out = lines_of(exact.out);
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[0], "label\tAaa\tAab\tAbb\t" + kExactColumns);
  expect_exact_result(out[1], 4, kavo::Hypothesis::hardy_weinberg, {1, 10, 4});
  expect_exact_result(out[2], 4, kavo::Hypothesis::hardy_weinberg, {12, 10, 4});
}
