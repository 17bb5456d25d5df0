#pragma once
// The option form's row sources: the lines of a file (or standard input),
// one table each, and the one table given on the command line.

#include <string>
#include <string_view>
#include <vector>

#include "options.hpp"
#include "reader.hpp"
#include "row_source.hpp"

namespace kavo::cli {

// Lines of text. What the file's first lines decide (separator, header,
// columns, whether rows are labelled) is settled while reading, on the
// reading thread, before the first table is handed on; parsing a line then
// reads only that settled state.
class LineTables final : public RowSource {
 public:
  LineTables(std::FILE* in, const Program& program, const RunOptions& options, bool (*stop)());

  bool read(RawRecord& record) override;
  bool may_wait() const override { return lines_.may_wait(); }
  void parse(const RawRecord& record, RowInput& row) const override;
  std::string header() const override;
  const std::string& fatal() const override { return fatal_; }
  int read_error() const override { return lines_.error_number(); }
  std::uint64_t bytes() const override { return lines_.bytes(); }

 private:
  bool settle(const RawRecord& record);
  void settle_labels(const TableRow* first);
  bool resolve_names();
  bool take_report_header(const std::vector<Field>& header);
  bool names_wanted_columns(const std::vector<Field>& header) const;
  TableRow read_report(const std::vector<Field>& fields, std::string& leading) const;
  TableRow read_beside_label(const std::vector<Field>& fields) const;
  bool parse_plain(std::string_view line, RowInput& row) const;

  LineReader lines_;
  const Program& program_;
  const RunOptions& opt_;
  TableLayout layout_;
  Separator separator_ = Separator::whitespace;
  bool settled_ = false;
  bool has_header_ = false;
  std::vector<Field> header_;
  bool labelled_ = false;
  // A genotype report's header (plink2's .hardy, plink 1.9's .hwe): its
  // leading columns (chromosome, position, id, test) are kept, and plink
  // 1.9's counts come from one column written a/b/c.
  bool report_ = false;
  // --label-column alone: the label's column, the values the other fields.
  bool label_only_ = false;
  int label_index_ = -1;
  std::vector<int> leading_index_;
  std::vector<std::string> leading_names_;
  int genotypes_index_ = -1;
  int name_index_ = -1;  // the id that names a row in messages
  std::string fatal_;
};

// The values given on the command line, as one table.
class ArgumentTable final : public RowSource {
 public:
  ArgumentTable(const Program& program, const RunOptions& options);

  bool read(RawRecord& record) override;
  bool may_wait() const override { return false; }
  void parse(const RawRecord& record, RowInput& row) const override;
  std::string header() const override;
  const std::string& fatal() const override { return fatal_; }
  int read_error() const override { return 0; }
  std::uint64_t bytes() const override { return 0; }

 private:
  const Program& program_;
  const RunOptions& opt_;
  TableLayout layout_;
  bool given_ = false;
  std::string fatal_;
};

}  // namespace kavo::cli
