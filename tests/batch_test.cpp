// Batch mode: every row's evidence is the positional program's, whatever the
// input's shape and the number of threads; nothing is lost on bad rows.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "reader.hpp"
#include "evidence.hpp"
#include "test_support.hpp"
#include "hypotheses/registry.hpp"

using kavo_test::Captured;
using kavo_test::cells_of;
using kavo_test::kFailedResult;
using kavo_test::kMonteCarloColumns;
using kavo_test::lines_of;
using kavo_test::run_in_process;

namespace {

// Monte Carlo asked for explicitly: the rows are compared with the positional runs.
const std::vector<std::string> kFast = {"--method", "monte_carlo", "--maxMC", "20000",
                                        "--precision", "0.01"};

// What the positional program prints for these values and fast settings.
std::string single_run(const kavo::HypothesisSpec& spec, const std::vector<std::string>& values) {
  std::vector<std::string> args = values;
  args.insert(args.end(), {kavo_test::temp_path("single.out"), "20000", "0.01"});
  const Captured c = run_in_process(spec, spec.program_name, args);
  EXPECT_EQ(c.status, 0);
  return c.err.substr(std::string("evidence = ").size(), 12);
}

Captured batch(const kavo::HypothesisSpec& spec, const std::string& input,
               std::vector<std::string> extra = {}) {
  const std::string file = kavo_test::temp_path("batch.in");
  kavo_test::write_file(file, input);
  std::vector<std::string> args = {"--batch", file, "--no-progress"};
  args.insert(args.end(), kFast.begin(), kFast.end());
  args.insert(args.end(), extra.begin(), extra.end());
  return run_in_process(spec, spec.program_name, args);
}

}  // namespace

TEST(Batch, LabelledPanelWithHeaderCommentsCrlfAndABadRow) {
  const std::string input =
      "marker,aa,ab,bb\r\n"
      "# panel 7\r\n"
      "\r\n"
      "rs1\t11\t9\t3\r\n"
      "rs2, 24, 49, 29\r\n"
      "rs3 2 x 4\r\n"
      "  rs4   1   2   1\r\n"
      "rs5 1 2\r\n"
      "rs6,2,1,5\r\n";
  const Captured c = batch(kavo::kHardyWeinberg, input, {"--prior", "1", "--threads", "2"});
  EXPECT_EQ(c.status, 0);  // NA rows are results, not a failed run
  const auto out = lines_of(c.out);
  ASSERT_EQ(out.size(), 7u);
  for (const std::string& line : out) ASSERT_EQ(cells_of(line).size(), 12u) << line;
  EXPECT_EQ(out[0], "label\tAaa\tAab\tAbb\tprior\t" + kMonteCarloColumns);
  EXPECT_EQ(cells_of(out[1])[0], "rs1");
  EXPECT_EQ(cells_of(out[1])[5], single_run(kavo::kHardyWeinberg, {"12", "10", "4"}));
  EXPECT_EQ(cells_of(out[2])[5], single_run(kavo::kHardyWeinberg, {"25", "50", "30"}));
  EXPECT_EQ(out[3], "rs3\tNA\tNA\tNA\t1\t" + kFailedResult);
  EXPECT_EQ(cells_of(out[4])[5], single_run(kavo::kHardyWeinberg, {"2", "3", "2"}));
  EXPECT_EQ(out[5], "rs5\tNA\tNA\tNA\t1\t" + kFailedResult);
  EXPECT_EQ(cells_of(out[6])[5], single_run(kavo::kHardyWeinberg, {"3", "2", "6"}));
  EXPECT_EQ(c.err,
            "kavohw ERROR : line 6 (rs3): invalid number for Aab: 'x'\n"
            "kavohw ERROR : line 8 (rs5): expected 3 numbers after the label, found 2\n"
            "kavohw ERROR : 2 of 6 rows failed\n");
  // The counts are shown as given; the prior once, in its own column.
  EXPECT_EQ(cells_of(out[1])[1], "11");
  EXPECT_EQ(cells_of(out[1])[4], "1");
  // --strict makes a failed row fail the run; the table is the same.
  const Captured strict = batch(kavo::kHardyWeinberg, input, {"--prior", "1", "--threads", "2", "--strict"});
  EXPECT_EQ(strict.status, 1);
  EXPECT_EQ(strict.out, c.out);
  EXPECT_EQ(strict.err, c.err);
}

TEST(Batch, EveryProgramMatchesItsPositionalRunWithAnyThreadCount) {
  const struct {
    const kavo::HypothesisSpec* spec;
    std::vector<std::vector<std::string>> rows;
  } programs[] = {
      {&kavo::kIndependence, {{"12", "5", "7", "9"}, {"2.5", "3", "4.5", "7"}, {"3", "5", "3", "5"}}},
      {&kavo::kSymmetry, {{"12", "5", "7", "9"}, {"3.5", "9", "2.5", "4"}}},
      {&kavo::kHomogeneity, {{"12", "5", "7", "9"}, {"1.5", "4", "2.2", "3"}}},
      {&kavo::kHardyWeinberg, {{"12", "10", "4"}, {"3", "2", "1.5"}}},
      {&kavo::kProportion, {{"3", "5", "0.4"}, {"1.7", "2.3", "0.6"}, {"11", "11", "0.5"}}},
  };
  for (const auto& p : programs) {
    std::string input;
    for (const auto& row : p.rows) {
      for (const auto& v : row) input += v + " ";
      input += "\n";
    }
    const Captured serial = batch(*p.spec, input, {"--threads", "1"});
    const Captured parallel = batch(*p.spec, input, {"--threads", "3"});
    EXPECT_EQ(serial.status, 0) << p.spec->program_name;
    EXPECT_EQ(serial.out, parallel.out) << p.spec->program_name;
    const auto out = lines_of(serial.out);
    ASSERT_EQ(out.size(), p.rows.size() + 1);
    for (std::size_t i = 0; i < p.rows.size(); ++i) {
      const auto cells = cells_of(out[i + 1]);
      ASSERT_EQ(cells.size(), static_cast<std::size_t>(p.spec->value_count) + 7) << out[i + 1];
      EXPECT_EQ(cells[p.spec->value_count], single_run(*p.spec, p.rows[i]))
          << p.spec->program_name << " row " << i;
    }
  }
}

TEST(Batch, PriorGoesToTheDirichletParametersOnly) {
  const Captured c = batch(kavo::kProportion, "2 4 0.4\n", {"--prior", "1"});
  EXPECT_EQ(c.status, 0);
  ASSERT_EQ(lines_of(c.out).size(), 2u) << c.err;
  const auto cells = cells_of(lines_of(c.out)[1]);
  ASSERT_EQ(cells.size(), 11u);
  EXPECT_EQ(cells[0], "2");
  EXPECT_EQ(cells[1], "4");
  EXPECT_EQ(cells[2], "0.4");
  EXPECT_EQ(cells[3], "1");
  EXPECT_EQ(cells[4], single_run(kavo::kProportion, {"3", "5", "0.4"}));
  // Without the prior a count below 1 is refused, each row on its own.
  const Captured refused = batch(kavo::kIndependence, "0.5 2 3 4\n5 6 7 8\n");
  EXPECT_EQ(refused.status, 0);  // NA rows are results, not a failed run
  ASSERT_EQ(lines_of(refused.out).size(), 3u) << refused.err;
  EXPECT_EQ(lines_of(refused.out)[1], "0.5\t2\t3\t4\t" + kFailedResult);
  EXPECT_NE(lines_of(refused.out)[2].find("e-0"), std::string::npos);
  EXPECT_NE(refused.err.find("line 1: Dirichlet parameters must be greater than 1"),
            std::string::npos);
}

TEST(Batch, EmptyInputGivesTheHeaderAlone) {
  for (const std::string input : {"", "# nothing\n\n", "aa ab bb\n"}) {
    const Captured c = batch(kavo::kHardyWeinberg, input);
    EXPECT_EQ(c.status, 0);
    EXPECT_EQ(c.out, "Aaa\tAab\tAbb\t" + kMonteCarloColumns + "\n");
  }
  // A header with a name for the label gives the label column, as it would with rows.
  const Captured labelled = batch(kavo::kHardyWeinberg, "marker aa ab bb\n");
  EXPECT_EQ(labelled.out, "label\tAaa\tAab\tAbb\t" + kMonteCarloColumns + "\n");
}

TEST(Batch, SeedOptionChangesTheStreamAndElevenIsTheDefault) {
  const std::string input = "12 5 7 9\n";
  const Captured plain = batch(kavo::kIndependence, input);
  EXPECT_EQ(plain.out, batch(kavo::kIndependence, input, {"--seed", "11"}).out);
  EXPECT_NE(plain.out, batch(kavo::kIndependence, input, {"--seed=12345"}).out);
}

TEST(Batch, LabelInAnUnlabelledInputIsAFailedRowNotADroppedLabel) {
  const Captured c = batch(kavo::kHardyWeinberg, "3 2 1.5\nrs9 3 2 1.5\n");
  EXPECT_EQ(c.status, 0);  // NA rows are results, not a failed run
  ASSERT_EQ(lines_of(c.out).size(), 3u) << c.err;
  EXPECT_EQ(lines_of(c.out)[2], "3\t2\t1.5\t" + kFailedResult);
  EXPECT_NE(c.err.find("line 2 (rs9): a label ('rs9'), but the first table has none"), std::string::npos);
}

TEST(Batch, BadOptionsAndMissingFilesAreClearErrors) {
  const struct {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{"--batch", "--seed", "0"}, "invalid number for seed: '0' (a whole number from 1 to 2147483646)"},
      {{"--batch", "--threads", "0"}, "invalid number for threads: '0'"},
      {{"--batch", "--maxMC", "1e6"}, "invalid number for maxMC: '1e6'"},
      {{"--batch", "--precision"}, "option --precision needs a value"},
      {{"--batch", "--fast"}, "unknown option '--fast'"},
      {{"--threads", "2"}, "options need --batch"},
      {{"--batch", "a.txt", "b.txt"}, "more than one input file"},
      {{"--batch", "/nonexistent/panel.txt"}, "cannot read '/nonexistent/panel.txt': No such file"},
  };
  for (const auto& c : cases) {
    const Captured r = run_in_process(kavo::kHardyWeinberg, "kavohw", c.args);
    EXPECT_EQ(r.status, 1) << c.message;
    EXPECT_EQ(r.out, "") << c.message;
    EXPECT_NE(r.err.find("kavohw ERROR : " + c.message), std::string::npos) << r.err;
  }
}

TEST(Batch, ReadsStandardInput) {
  const std::string file = kavo_test::temp_path("stdin.txt");
  kavo_test::write_file(file, "rs1 12 10 4\n");
  for (const auto& args : {std::vector<std::string>{"--batch", "--method", "monte_carlo", "--maxMC",
                                                   "20000", "--precision", "0.01"},
                           {"--batch", "-", "--method=monte_carlo", "--maxMC=20000", "--precision=0.01"}}) {
    const Captured c = kavo_test::run_binary("kavohw", args, file);
    EXPECT_EQ(c.status, 0);
    EXPECT_EQ(c.err, "");
    const auto out = lines_of(c.out);
    ASSERT_EQ(out.size(), 2u);
    ASSERT_EQ(cells_of(out[1]).size(), 11u);
    EXPECT_EQ(cells_of(out[1])[4], single_run(kavo::kHardyWeinberg, {"12", "10", "4"}));
  }
}

// A line read the automatic way, through the reader batch mode runs.
TEST(BatchLine, SplitsLabelsAndCountsFields) {
  using namespace kavo::cli;
  const Program hw = program_of(kavo::Hypothesis::hardy_weinberg);
  TableLayout automatic;
  automatic.value_count = hw.value_count;
  const auto fields = [](std::string_view line) {
    std::vector<Field> f;
    std::string problem;
    EXPECT_TRUE(split_fields(line, Separator::whitespace, f, problem)) << problem;
    return f;
  };
  EXPECT_TRUE(is_skipped_line("  # x"));
  EXPECT_TRUE(is_skipped_line(" \t,\r"));
  TableRow row = read_table(fields("m1,,2,\t3 4\r"), automatic, hw);
  EXPECT_TRUE(row.values_read);
  EXPECT_EQ(row.label, "m1");
  EXPECT_EQ(row.values[2], 4.0);
  row = read_table(fields("1 2 3 4 5 6 7 8"), automatic, hw);
  EXPECT_EQ(row.error, "expected 3 numbers, found 8");
  EXPECT_TRUE(looks_like_header(fields("aa ab bb"), automatic));
  // A number far along the line still makes it a table, not a header (found by fuzzing).
  EXPECT_FALSE(looks_like_header(fields("a b c d e f g 9"), automatic));
  // Only fields that are numbers count as numbers.
  row = read_table(fields("a b c d e f g 9"), automatic, hw);
  EXPECT_EQ(row.error, "expected 3 numbers after the label, found 1 and 6 other fields");
}

TEST(Batch, AMalformedFirstLineIsARowNotAHeader) {
  const Captured c = batch(kavo::kHardyWeinberg, "a b c d e f g 9\n3 2 1.5\n");
  EXPECT_EQ(c.status, 0);  // NA rows are results, not a failed run
  const auto out = lines_of(c.out);
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[1], "a\tNA\tNA\tNA\t" + kFailedResult);
}

namespace {

// kavohw in batch mode with the exact default, the table written to `file`.
Captured batch_to(const std::string& input, const std::string& file, std::vector<std::string> extra) {
  const std::string in = kavo_test::temp_path("resume.in");
  kavo_test::write_file(in, input);
  std::vector<std::string> args = {"--batch", in, "--no-progress", "--output", file};
  args.insert(args.end(), extra.begin(), extra.end());
  return run_in_process(kavo::kHardyWeinberg, "kavohw", args);
}

}  // namespace

TEST(BatchResume, KeptRowsCountTheirFailuresAndTheirPriorOnce) {
  const std::string panel = "rs1 11 9 3\nrs2 24 x 29\nrs3 0 5 5\nrs4 40 20 40\nrs5 5 0 12\n";
  const std::string file = kavo_test::temp_path("resume.tsv");
  const Captured whole = batch_to(panel, file, {"--prior", "1"});
  ASSERT_EQ(whole.status, 0) << whole.err;
  const std::string complete = kavo_test::read_file(file);
  const auto rows = lines_of(complete);
  ASSERT_EQ(rows.size(), 6u);
  // Interrupted after the failed row, in the middle of the next.
  for (const std::size_t kept : {2u, 3u, 5u}) {
    std::string partial;
    for (std::size_t i = 0; i <= kept; ++i) partial += rows[i] + "\n";
    if (kept < 5) partial += rows[kept + 1].substr(0, 6);
    kavo_test::write_file(file, partial);
    const Captured resumed = batch_to(panel, file, {"--prior", "1", "--resume"});
    EXPECT_EQ(kavo_test::read_file(file), complete) << kept;
    // The failed row kept is told and counted as the first run did.
    EXPECT_EQ(resumed.status, whole.status) << kept;
    EXPECT_EQ(resumed.err, whole.err) << kept;
  }
  // Another prior would make other values: refused, the file left alone.
  const Captured other = batch_to(panel, file, {"--prior", "2", "--resume"});
  EXPECT_EQ(other.status, 1);
  EXPECT_NE(other.err.find("its row 1 is not line 1 of the input"), std::string::npos) << other.err;
  EXPECT_EQ(kavo_test::read_file(file), complete);
}

TEST(BatchResume, ARefusedResumeTellsNoKeptRow) {
  const std::string file = kavo_test::temp_path("longer.tsv");
  const Captured whole = batch_to("rs1 11 9 3\nrs2 24 x 29\nrs3 40 20 40\n", file, {});
  ASSERT_NE(whole.err.find("(rs2)"), std::string::npos) << whole.err;
  const std::string complete = kavo_test::read_file(file);
  // The earlier output has a row more than this input: refused, and its
  // failed row rs2, which this run keeps none of, is not told.
  const Captured refused = batch_to("rs1 11 9 3\nrs2 24 x 29\n", file, {"--resume"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("more rows than the input has"), std::string::npos) << refused.err;
  EXPECT_EQ(refused.err.find("(rs2)"), std::string::npos) << refused.err;
  EXPECT_EQ(kavo_test::read_file(file), complete);
}

TEST(BatchResume, RowsWithoutSoundResultsAreComputedAgain) {
  const std::string panel = "rs1 11 9 3\nrs2 24 49 29\nrs3 40 20 40\n";
  const std::string file = kavo_test::temp_path("damaged.tsv");
  ASSERT_EQ(batch_to(panel, file, {"--prior", "1"}).status, 0);
  const std::string complete = kavo_test::read_file(file);
  const auto rows = lines_of(complete);
  ASSERT_EQ(rows.size(), 4u);
  const auto damaged = [&](std::size_t row, const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < rows.size(); ++i) out += (i == row ? text : rows[i]) + "\n";
    return out;
  };
  const std::string rs2 = "rs2\t24\t49\t29\t1\t";
  const std::vector<std::string> results = cells_of(rows[2]);
  ASSERT_EQ(results.size(), 12u);
  const std::string draws_empty = rs2 + results[5] + "\t\t" + results[7] + "\t" + results[8] + "\t" +
                                  results[9] + "\t" + results[10] + "\t" + results[11];
  for (const std::string& bad : {rs2 + "0.5", rs2 + "GARBAGE\t0\t1e-13\t-1\t0.5\t1\t1", draws_empty,
                                 rs2 + std::string(kFailedResult), rows[2] + "\t7"}) {
    kavo_test::write_file(file, damaged(2, bad));
    const Captured resumed = batch_to(panel, file, {"--prior", "1", "--resume"});
    EXPECT_EQ(resumed.status, 0) << bad << resumed.err;
    EXPECT_EQ(kavo_test::read_file(file), complete) << bad;
  }
}

TEST(Batch, ControlBytesInLabelsAreWrittenEscaped) {
  const std::string input("r\0s1 12 10 4\nr\x1bs2 25 50 30\n", 27);
  const Captured c = batch(kavo::kHardyWeinberg, input);
  EXPECT_EQ(c.status, 0) << c.err;
  const auto out = lines_of(c.out);
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(cells_of(out[1])[0], "r\\x00s1");
  EXPECT_EQ(cells_of(out[2])[0], "r\\x1bs2");
  for (char ch : c.out) EXPECT_TRUE(ch == '\n' || ch == '\t' || static_cast<unsigned char>(ch) >= 0x20);
}

TEST(Batch, AColumnNamedTwiceIsAmbiguous) {
  const std::string input = "id,aa,aa,bb\nrs1,12,10,4\n";
  const Captured c = batch(kavo::kHardyWeinberg, input, {"--value-columns", "aa,aa,bb"});
  EXPECT_EQ(c.status, 1);
  EXPECT_EQ(c.out, "");
  EXPECT_NE(c.err.find("kavohw ERROR : ambiguous column name 'aa'"), std::string::npos) << c.err;
  // A name used once is found even when another is repeated.
  const Captured fine = batch(kavo::kHardyWeinberg, "x,x,aa,ab,bb\n1,2,12,10,4\n",
                              {"--value-columns", "aa,ab,bb"});
  EXPECT_EQ(fine.status, 0) << fine.err;
}

TEST(Batch, EveryRowEchoesItsValuesAsGivenAndThePriorOnce) {
  // A row failing for its label shows its values as a computed row does.
  const Captured c = batch(kavo::kHardyWeinberg, "rs1 11 9 3\n24 49 29\n", {"--prior", "1"});
  EXPECT_EQ(c.status, 0);  // NA rows are results, not a failed run
  const auto out = lines_of(c.out);
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[0], "label\tAaa\tAab\tAbb\tprior\t" + kMonteCarloColumns);
  EXPECT_EQ(out[1].substr(0, 13), "rs1\t11\t9\t3\t1\t");
  EXPECT_EQ(out[2], "NA\t24\t49\t29\t1\t" + std::string(kFailedResult));
}

TEST(Batch, PlinkReportsAreReadByTheirColumnNames) {
  // plink2's .hardy: a '#CHROM' header, tab-separated; CHROM and ID kept.
  const std::string hardy =
      "#CHROM\tID\tA1\tAX\tHOM_A1_CT\tHET_A1_CT\tTWO_AX_CT\tO(HET_A1)\tE(HET_A1)\tP\n"
      "1\trs1\tA\tG\t11\t9\t3\t0.39\t0.41\t0.8\n"
      "1\t17\tC\tT\t24\t49\t29\t0.48\t0.49\t0.9\n";
  const Captured two = batch(kavo::kHardyWeinberg, hardy, {"--prior", "1"});
  EXPECT_EQ(two.status, 0) << two.err;
  auto out = lines_of(two.out);
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[0], "CHROM\tID\tHOM_A1_CT\tHET_A1_CT\tTWO_AX_CT\tprior\t" + kMonteCarloColumns);
  EXPECT_EQ(cells_of(out[2])[1], "17");  // a numeric id stays an id
  EXPECT_EQ(cells_of(out[1])[6], single_run(kavo::kHardyWeinberg, {"12", "10", "4"}));
  // plink 1.9's .hwe: space-aligned, the counts written AA/AB/BB.
  const std::string hwe =
      " CHR  SNP     TEST   A1   A2        GENO   O(HET)   E(HET)      P\n"
      "   1  rs1  ALL(NP)    A    G      11/9/3   0.3913   0.4121    0.8\n"
      "   1  rs2  ALL(NP)    C    T     24/x/29   0.4804   0.4948    0.9\n";
  const Captured one = batch(kavo::kHardyWeinberg, hwe, {"--prior", "1"});
  out = lines_of(one.out);
  ASSERT_EQ(out.size(), 3u) << one.err;
  EXPECT_EQ(out[0], "CHR\tSNP\tTEST\tAaa\tAab\tAbb\tprior\t" + kMonteCarloColumns);
  EXPECT_EQ(cells_of(out[1])[7], single_run(kavo::kHardyWeinberg, {"12", "10", "4"}));
  EXPECT_EQ(out[2], "1\trs2\tALL(NP)\tNA\tNA\tNA\t1\t" + std::string(kFailedResult));
  // Any '#' header naming the columns asked for is a header; other '#' lines are comments.
  const Captured named = batch(kavo::kHardyWeinberg, "# panel 7\n#id aa ab bb\nrs1 11 9 3\n",
                               {"--prior", "1", "--label-column", "id", "--value-columns", "aa,ab,bb"});
  ASSERT_EQ(lines_of(named.out).size(), 2u) << named.err;
  EXPECT_EQ(lines_of(named.out)[0], "id\taa\tab\tbb\tprior\t" + kMonteCarloColumns);
}

TEST(Batch, NumericIdsAndALabelColumnAlone) {
  // A row with one field more than the values starts with its label, a number or not.
  Captured c = batch(kavo::kHardyWeinberg, "101 11 9 3\n102 24 49 29\n", {"--prior", "1"});
  EXPECT_EQ(c.status, 0) << c.err;
  auto out = lines_of(c.out);
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[0], "label\tAaa\tAab\tAbb\tprior\t" + kMonteCarloColumns);
  EXPECT_EQ(cells_of(out[2])[0], "102");
  EXPECT_EQ(cells_of(out[2])[5], single_run(kavo::kHardyWeinberg, {"25", "50", "30"}));
  // --label-column alone: the values are the other fields, in order.
  c = batch(kavo::kHardyWeinberg, "aa,ab,id,bb\n11,9,101,3\n24,49,102\n", {"--prior", "1", "--label-column", "id"});
  out = lines_of(c.out);
  ASSERT_EQ(out.size(), 3u) << c.err;
  EXPECT_EQ(out[0], "id\tAaa\tAab\tAbb\tprior\t" + kMonteCarloColumns);
  EXPECT_EQ(cells_of(out[1])[5], single_run(kavo::kHardyWeinberg, {"12", "10", "4"}));
  EXPECT_EQ(out[2], "102\tNA\tNA\tNA\t1\t" + std::string(kFailedResult));
  EXPECT_NE(c.err.find("expected 3 values beside the label column, found 2"), std::string::npos) << c.err;
}

TEST(Batch, MessagesNameTheRowAndListEveryFailureBesideTheOutput) {
  std::string bad;
  for (int i = 0; i < 130; ++i) bad += "rs" + std::to_string(i) + " 0.5 2 3\n";
  bad += "rsok 12 10 4\n";
  const std::string file = kavo_test::temp_path("many.tsv");
  const Captured c = batch(kavo::kHardyWeinberg, bad, {"--output", file});
  EXPECT_EQ(c.status, 0);
  const auto err = lines_of(c.err);
  ASSERT_EQ(err.size(), 102u);
  // Only kavoprop has a p0 to speak of.
  EXPECT_EQ(err[0], "kavohw ERROR : line 1 (rs0): Dirichlet parameters must be greater than 1");
  EXPECT_EQ(err[100], "kavohw ERROR : 30 more failed rows not shown (their rows hold NA); all 130 are "
                      "listed in '" + file + ".failures'");
  const auto listed = lines_of(kavo_test::read_file(file + ".failures"));
  ASSERT_EQ(listed.size(), 131u);
  EXPECT_EQ(listed[0], "line\tlabel\treason");
  EXPECT_EQ(listed[130], "130\trs129\tDirichlet parameters must be greater than 1");
  const Captured prop = batch(kavo::kProportion, "3 5 1.5\n");
  EXPECT_NE(prop.err.find("line 1: Dirichlet parameters must be greater than 1 and p0 must be in "
                          "interval (0,1)"), std::string::npos) << prop.err;
}
