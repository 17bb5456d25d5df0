// The pieces of the option form on their own: splitting and reading input
// lines, writing labels back, the honest error figure, the time left and the
// progress line.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "progress.hpp"
#include "quoted_tsv.hpp"
#include "reader.hpp"
#include "table_source.hpp"
#include "writer.hpp"

using namespace kavo::cli;

namespace {

std::vector<std::string> split(const std::string& line, Separator sep, bool expect_ok = true) {
  std::vector<Field> fields;
  std::string problem;
  EXPECT_EQ(split_fields(line, sep, fields, problem), expect_ok) << line << ": " << problem;
  std::vector<std::string> texts;
  for (const Field& f : fields) texts.push_back(f.text);
  return texts;
}

using Texts = std::vector<std::string>;

const Program kHw = program_of(kavo::Hypothesis::hardy_weinberg);

}  // namespace

TEST(Reader, QuotedFieldsKeepSeparatorsAndQuotesInside) {
  EXPECT_EQ(split("\"SNP A1\" 12 10 4", Separator::whitespace), (Texts{"SNP A1", "12", "10", "4"}));
  EXPECT_EQ(split("\"a \"\"b\"\"\",1,2,3", Separator::comma), (Texts{"a \"b\"", "1", "2", "3"}));
  EXPECT_EQ(split("\"x,\ty\"\t1\t2\t3\r", Separator::tab), (Texts{"x,\ty", "1", "2", "3"}));
  // Text after the closing quote stays with the field, as CSV readers keep it.
  EXPECT_EQ(split("\"ab\"c 1", Separator::whitespace), (Texts{"abc", "1"}));
  // A quote inside an unquoted field is an ordinary character.
  EXPECT_EQ(split("a\"b 1", Separator::whitespace), (Texts{"a\"b", "1"}));
  // An unterminated quote fails the line only; it does not swallow the next.
  std::vector<Field> fields;
  std::string problem;
  EXPECT_FALSE(split_fields("\"SNP A1 12 10 4", Separator::whitespace, fields, problem));
  EXPECT_EQ(problem, "unterminated quoted field");
  // A quoted field is a number if its text is one.
  std::vector<Field> quoted_numbers = {{"rs1", false}, {"12", true}, {"10", true}, {"4", true}};
  TableLayout automatic;
  automatic.value_count = 3;
  const TableRow row = read_table(quoted_numbers, automatic, kHw);
  EXPECT_TRUE(row.values_read);
  EXPECT_EQ(row.values[0], 12.0);
}

TEST(Reader, TabAndCommaFilesKeepSpacesInsideFields) {
  EXPECT_EQ(detect_separator("marker\taa\tab\tbb"), Separator::tab);
  EXPECT_EQ(detect_separator("m,aa,ab,bb"), Separator::comma);
  EXPECT_EQ(detect_separator("\"a\tb\" aa ab bb"), Separator::whitespace);
  EXPECT_EQ(split("SNP A1\t12\t10\t4", Separator::tab), (Texts{"SNP A1", "12", "10", "4"}));
  EXPECT_EQ(split(" SNP A1 , 12 ,10,4", Separator::comma), (Texts{"SNP A1", "12", "10", "4"}));
  // Empty fields keep their place, so columns can be chosen by position.
  EXPECT_EQ(split(",12,,4,", Separator::comma), (Texts{"", "12", "", "4", ""}));
  // A line without the file's separator is read the whitespace way.
  EXPECT_EQ(split("rs2 25 50 30", Separator::tab), (Texts{"rs2", "25", "50", "30"}));
  EXPECT_EQ(split("m1,,2,\t3 4", Separator::whitespace), (Texts{"m1", "2", "3", "4"}));
}

TEST(Reader, CountsOnlyNumbersAndReadsChosenColumns) {
  TableLayout automatic;
  automatic.value_count = 3;
  std::vector<Field> fields = {{"101", false}, {"12", false}, {"10", false}, {"4", false}};
  // One field more than the values: the first, a number too, is a label (an id).
  const TableRow numeric_id = read_table(fields, automatic, kHw);
  EXPECT_EQ(numeric_id.error, "");
  EXPECT_TRUE(numeric_id.has_label);
  EXPECT_EQ(numeric_id.label, "101");
  fields.push_back({"5", false});
  EXPECT_EQ(read_table(fields, automatic, kHw).error, "expected 3 numbers, found 5");
  fields.pop_back();
  TableLayout columns;
  columns.by_columns = true;
  columns.value_count = 3;
  columns.label_index = 0;
  columns.value_index[0] = 1;
  columns.value_index[1] = 2;
  columns.value_index[2] = 3;
  TableRow row = read_table(fields, columns, kHw);
  EXPECT_TRUE(row.values_read);
  EXPECT_EQ(row.label, "101");
  EXPECT_EQ(row.values[2], 4.0);
  fields.pop_back();
  EXPECT_EQ(read_table(fields, columns, kHw).error, "no column 4 (the line has 3 fields)");
  fields = {{"id", false}, {"x\x1b[2J", false}, {"10", false}, {"4", false}};
  EXPECT_EQ(read_table(fields, columns, kHw).error, "invalid number for Aaa: 'x\\x1b[2J'");
  EXPECT_TRUE(looks_like_header({{"101", false}, {"aa", false}, {"ab", false}, {"bb", false}}, columns));
  EXPECT_EQ(printable(std::string("a\0b\tc\x7f\xc3\xa9", 8)), "a\\x00b\\x09c\\x7f\xc3\xa9");
}

TEST(Reader, MissingAndInfiniteValuesHaveTheirOwnReasons) {
  TableLayout automatic;
  automatic.value_count = 3;
  const auto error_of = [&](const std::string& line, Separator sep) {
    std::vector<Field> fields;
    std::string problem;
    EXPECT_TRUE(split_fields(line, sep, fields, problem)) << line;
    return read_table(fields, automatic, kHw).error;
  };
  for (const char* line : {"rs1 11 NA 3", "rs1 11 nan 3", "rs1 N/A -inf 3", "NA 9 3"}) {
    EXPECT_EQ(error_of(line, Separator::whitespace), "missing value") << line;
  }
  EXPECT_EQ(error_of("rs1,11,,3", Separator::comma), "missing value");
  EXPECT_EQ(error_of("rs1\t\t9\t3\t", Separator::tab), "missing value");
  EXPECT_EQ(error_of("rs1 11 -Inf 3", Separator::whitespace), "infinite value");
  EXPECT_EQ(error_of("rs1 Infinity 9 3", Separator::whitespace), "infinite value");
  EXPECT_EQ(error_of("rs1 NA x 3", Separator::whitespace), "invalid number for Aab: 'x'");
  // A label that reads NA is still a label when the values follow it.
  std::vector<Field> fields;
  std::string problem;
  split_fields("NA 11 9 3", Separator::whitespace, fields, problem);
  const TableRow labelled = read_table(fields, automatic, kHw);
  EXPECT_TRUE(labelled.values_read);
  EXPECT_EQ(labelled.label, "NA");
  // Chosen columns: an empty field where a value belongs is missing.
  TableLayout columns;
  columns.by_columns = true;
  columns.value_count = 3;
  columns.value_index[0] = 1;
  columns.value_index[1] = 2;
  columns.value_index[2] = 3;
  split_fields("7,11,,3", Separator::comma, fields, problem);
  EXPECT_EQ(read_table(fields, columns, kHw).error, "missing value");
}

// Common lines take a shortcut past field splitting; each line must read as
// the general pieces (splitting, then reading the fields) read it.
TEST(Reader, CommonLinesReadAsTheGeneralPathReadsThem) {
  const struct {
    const char* header;
    Separator separator;
    std::vector<std::string> labels;
    std::vector<std::string> rests;  // after the label
  } files[] = {
      {"id\taa\tab\tbb", Separator::tab, {"rs1", "7", "rs\x01x", "a,b", "", "\"q\""},
       {"\t12\t3\t4", "\t1e2\t-3\t0.5", "\t+12\t3.\t.5\r", "\t12\t\t4", "\t12\t3",
        "\t12\t3\t4\t", "\t12\t3\t4\t5", "\t12\tx\t4", "\t12\tNA\t4", "\t12 \t3\t4"}},
      {"id,aa,ab,bb", Separator::comma, {"rs1", "a\tb", "\tx", "x "},
       {",12,3,4", ",1\t,3,4", ",12,,4", ",12,3,4,"}},
  };
  for (const auto& f : files) {
    std::vector<std::string> lines;
    std::string text = std::string(f.header) + "\n";
    for (const std::string& label : f.labels) {
      for (const std::string& rest : f.rests) {
        lines.push_back(label + rest);
        text += lines.back() + "\n";
      }
    }
    std::FILE* in = std::tmpfile();
    ASSERT_NE(in, nullptr);
    std::fputs(text.c_str(), in);
    std::rewind(in);
    RunOptions options;
    options.prior = 1;
    LineTables tables(in, kHw, options, nullptr);
    TableLayout automatic;
    automatic.value_count = 3;
    RawRecord record;
    for (const std::string& line : lines) {
      ASSERT_TRUE(tables.read(record));
      RowInput row;
      tables.parse(record, row);
      std::vector<Field> fields;
      std::string problem;
      ASSERT_TRUE(split_fields(line, f.separator, fields, problem)) << problem;
      const TableRow table = read_table(fields, automatic, kHw);
      const bool readable = table.error.empty() && table.has_label && !table.label.empty();
      const std::string shown = printable(line);
      EXPECT_EQ(row.failure.empty(), readable) << shown << ": " << row.failure;
      EXPECT_EQ(row.values_read, table.values_read) << shown;
      if (!readable) continue;
      EXPECT_EQ(row.leading, tsv_field(table.label) + "\t") << shown;
      EXPECT_EQ(row.name, table.label) << shown;
      EXPECT_EQ(row.values, std::vector<double>(table.values, table.values + 3)) << shown;
      EXPECT_EQ(row.prior, 1.0) << shown;
    }
    EXPECT_FALSE(tables.read(record));
    EXPECT_TRUE(tables.fatal().empty()) << tables.fatal();
    std::fclose(in);
  }
}

TEST(Reader, LineReaderSkipsAByteOrderMarkAndBoundsLines) {
  std::FILE* f = std::tmpfile();
  const std::string text = "\xEF\xBB\xBFmarker\taa\n" + std::string(LineReader::kMaxLineBytes + 10, 'x') +
                           "\nlast \xEF\xBB\xBF";
  std::fwrite(text.data(), 1, text.size(), f);
  std::rewind(f);
  LineReader reader(f);
  std::string line;
  bool too_long = false;
  ASSERT_TRUE(reader.next(line, too_long));
  EXPECT_EQ(line, "marker\taa");
  ASSERT_TRUE(reader.next(line, too_long));
  EXPECT_TRUE(too_long);
  EXPECT_EQ(line.size(), LineReader::kMaxLineBytes);
  ASSERT_TRUE(reader.next(line, too_long));
  EXPECT_FALSE(too_long);
  EXPECT_EQ(line, "last \xEF\xBB\xBF");  // only a mark at the start is skipped
  EXPECT_FALSE(reader.next(line, too_long));
  EXPECT_FALSE(reader.failed());
  EXPECT_EQ(reader.line_number(), 3);
  std::fclose(f);
}

TEST(Writer, LabelsComeBackExactlyThroughTsvQuoting) {
  const std::vector<std::string> labels = {"rs1", "SNP A1", "\"SNP", "a \"b\" c", "tab\there",
                                           "two\nlines", "cr\r", "", "x\"", "NA2"};
  OutputColumns columns;
  columns.labelled = true;
  columns.label_name = "marker \"id\"";
  columns.value_names = {"aa", "ab", "bb"};
  std::string table = header_line(columns);
  for (const std::string& label : labels) {
    TableRow row;
    row.has_label = true;
    row.label = label;
    table += row_prefix(columns, row, 3) + row_result(nullptr);
  }
  bool well_formed = false;
  const auto rows = kavo_test::read_quoted_tsv(table, well_formed);
  EXPECT_TRUE(well_formed);
  ASSERT_EQ(rows.size(), labels.size() + 1);
  EXPECT_EQ(rows[0][0], "marker \"id\"");
  for (std::size_t i = 0; i < labels.size(); ++i) {
    ASSERT_EQ(rows[i + 1].size(), 11u) << labels[i];
    EXPECT_EQ(rows[i + 1][0], labels[i]);
    EXPECT_EQ(rows[i + 1][10], "NA");
  }
  EXPECT_EQ(tsv_field("plain label"), "plain label");
  columns.method = static_cast<kavo::Method>(1);  // any method but Monte Carlo
  EXPECT_EQ(header_line(columns), "\"marker \"\"id\"\"\"\taa\tab\tbb\tevidence\tdraws\terror_bound\t"
                                  "log10_evidence\tsev\tg2\tdf\n");
}

TEST(Writer, RowsCarryTheResultsErrorFigure) {
  // The library gives the error figure (for runs whose draws all fell alike
  // too, see LibraryInterface.AllDrawsAlikeStillReportAnUncertainty); the row
  // prints it as it is. Monte Carlo's figures in "%e", with g2 and df beside.
  kavo::Result r;
  r.method = kavo::Method::monte_carlo;
  r.status = kavo::Status::ok;
  r.draws = 2000000;
  r.evidence = 1.0;
  r.error = 3e-4;
  r.log10_evidence = 0.0;
  r.sev = 1.0;
  r.g2 = 0.1 + 0.2;
  r.df = 1;
  EXPECT_EQ(row_result(&r),
            "1.000000e+00\t2000000\t3.000000e-04\t0.000000e+00\t1.000000e+00\t0.30000000000000004\t1\n");
  // The exact method's figures carry every digit; its error bound stays "%e".
  r.method = kavo::Method::exact;
  r.draws = 0;
  r.evidence = 0.1 + 0.2;
  r.error = 1e-13;
  r.log10_evidence = -1.0 / 3.0;
  r.sev = 1e-300;
  r.df = 4;
  EXPECT_EQ(row_result(&r), "0.30000000000000004\t0\t1.000000e-13\t-0.3333333333333333\t1e-300\t"
                            "0.30000000000000004\t4\n");
  r.status = kavo::Status::refused_values;
  EXPECT_EQ(row_result(&r), "NA\tNA\tNA\tNA\tNA\tNA\tNA\n");
}

TEST(Progress, TimeLeftComesFromRowsAndTheLineNeverMixesWithMessages) {
  // Rows known (input read to its end): 100 of 400 rows in 10 s leaves 30 s.
  EXPECT_DOUBLE_EQ(seconds_left(10.0, 100, 400, true, 0, 0), 30.0);
  // Not yet known: estimated from the share of the file read.
  EXPECT_DOUBLE_EQ(seconds_left(10.0, 100, 200, false, 500, 1000), 30.0);
  // A small file read in full, nothing done yet: no estimate rather than 0 s.
  EXPECT_LT(seconds_left(10.0, 0, 500, true, 1000, 1000), 0.0);
  EXPECT_LT(seconds_left(10.0, 5, 10, false, 0, 0), 0.0);  // standard input
  EXPECT_DOUBLE_EQ(seconds_left(10.0, 10, 10, true, 0, 0), 0.0);
  // Resuming: 300 rows kept and 100 computed in 10 s; with 400 rows in all none is left,
  // and with 500 (estimated from the file read) 100 are, at 10 rows/s.
  EXPECT_DOUBLE_EQ(seconds_left(10.0, 100, 100, true, 0, 0, 300), 0.0);
  EXPECT_DOUBLE_EQ(seconds_left(10.0, 100, 100, false, 800, 1000, 300), 10.0);

  std::FILE* err = std::tmpfile();
  Console console(err, "kavohw", true, 2);
  console.progress(5, 10, true, 0, 0, 0, true);
  console.row_failed(7, "bad");
  console.row_failed(8, "bad");
  console.row_failed(9, "hidden");
  console.finish();
  std::rewind(err);
  std::string text(4096, '\0');
  text.resize(std::fread(text.data(), 1, text.size(), err));
  std::fclose(err);
  EXPECT_EQ(text.rfind("kavohw: 5 rows, ", 0), 0u);
  const std::size_t message = text.find("kavohw ERROR : line 7: bad\n");
  ASSERT_NE(message, std::string::npos);
  // The progress line is blanked out (spaces, then a carriage return) first.
  EXPECT_EQ(text.substr(message - 2, 2), " \r");
  EXPECT_EQ(text.find("hidden"), std::string::npos);
  EXPECT_NE(text.find("kavohw ERROR : 1 more failed rows not shown"), std::string::npos);
}
