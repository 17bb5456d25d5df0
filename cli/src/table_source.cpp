#include "table_source.hpp"

#include <algorithm>
#include <string_view>

#include "number_parse.hpp"
#include "writer.hpp"

namespace kavo::cli {

namespace {

// The row's values as given, and the prior to add; every row echoes its
// values this way.
// `values` is null when they were not read.
void fill_row(const double* values, const Program& program, double prior, RowInput& row) {
  row.hypothesis = program.hypothesis;
  row.shape = program.shape;
  row.value_count = program.value_count;
  row.dirichlet_count = program.dirichlet_count;
  row.prior = prior;
  row.values_read = values != nullptr;
  if (values == nullptr) return;
  row.values.assign(values, values + program.value_count);
}

void fill_row(const TableRow& table, const Program& program, double prior, RowInput& row) {
  fill_row(table.values_read ? table.values : nullptr, program, prior, row);
}

OutputColumns columns_of(const Program& program, const RunOptions& opt) {
  OutputColumns c;
  c.method = opt.settings.method;
  c.prior_column = opt.prior != 0.0;
  for (int i = 0; i < program.value_count; ++i) c.value_names.emplace_back(program.value_names[i]);
  return c;
}

}  // namespace

LineTables::LineTables(std::FILE* in, const Program& program, const RunOptions& opt, bool (*stop)())
    : lines_(in, stop), program_(program), opt_(opt) {
  layout_.value_count = program.value_count;
  layout_.by_columns = !opt.value_columns.empty();
  label_only_ = opt.label_column && opt.value_columns.empty();
  if (label_only_ && opt.label_column->position > 0) label_index_ = opt.label_column->position - 1;
  if (!layout_.by_columns) return;
  if (opt.label_column && opt.label_column->position > 0) {
    layout_.label_index = opt.label_column->position - 1;
  }
  for (int i = 0; i < program.value_count; ++i) {
    const ColumnRef& c = opt.value_columns[static_cast<std::size_t>(i)];
    if (c.position > 0) layout_.value_index[i] = c.position - 1;
  }
}

namespace {

// A line starting with '#' (after blanks) that names the columns a run
// reads is a header, as plink's reports write theirs ("#CHROM ..."); other
// such lines are comments.
std::string_view after_hash(std::string_view line) {
  const std::size_t hash = line.find('#');
  return hash == std::string_view::npos ? line : line.substr(hash + 1);
}

}  // namespace

bool LineTables::read(RawRecord& record) {
  while (lines_.next(record.text, record.too_long)) {
    record.line = lines_.line_number();
    if (!record.too_long && is_skipped_line(record.text)) {
      if (settled_ || has_header_ || record.text.find('#') == std::string::npos) continue;
      std::vector<Field> fields;
      std::string problem;
      const std::string_view rest = after_hash(record.text);
      const Separator separator = detect_separator(rest);
      if (!split_fields(rest, separator, fields, problem) || fields.empty()) continue;
      if (!take_report_header(fields) && !names_wanted_columns(fields)) continue;
      separator_ = separator;
      header_ = std::move(fields);
      has_header_ = true;
      continue;
    }
    if (settled_) return true;
    if (settle(record)) return true;
    if (!fatal_.empty()) return false;
  }
  if (!settled_ && fatal_.empty()) {
    settled_ = true;
    if (resolve_names()) settle_labels(nullptr);
  }
  return false;
}

// The first table, or a header before it: settles how the file reads.
// Returns true when the record is a table, false when it was the header
// (or a fatal problem).
bool LineTables::settle(const RawRecord& record) {
  if (record.too_long) {
    settled_ = true;
    if (!resolve_names()) return false;
    settle_labels(nullptr);
    return true;
  }
  if (!has_header_) separator_ = detect_separator(record.text);
  std::vector<Field> fields;
  std::string problem;
  const bool split = split_fields(record.text, separator_, fields, problem);
  if (!has_header_) {
    const bool header =
        opt_.header == 1 || (opt_.header == -1 && split && looks_like_header(fields, layout_));
    if (header) {
      if (!split) {
        fatal_ = "the header line " + std::to_string(record.line) + ": " + problem;
        return false;
      }
      take_report_header(fields);
      header_ = std::move(fields);
      has_header_ = true;
      return false;
    }
  }
  settled_ = true;
  if (!resolve_names()) return false;
  if (split) {
    const TableRow first = read_table(fields, layout_, program_);
    settle_labels(&first);
  } else {
    settle_labels(nullptr);
  }
  return true;
}

// Whether a header names every column given by name in the options.
bool LineTables::names_wanted_columns(const std::vector<Field>& header) const {
  const auto has = [&](const std::string& name) {
    for (const Field& f : header) {
      if (f.text == name) return true;
    }
    return false;
  };
  bool any = false;
  if (opt_.label_column && opt_.label_column->position == 0) {
    if (!has(opt_.label_column->name)) return false;
    any = true;
  }
  for (const ColumnRef& c : opt_.value_columns) {
    if (c.position != 0) continue;
    if (!has(c.name)) return false;
    any = true;
  }
  return any;
}

// Takes a genotype report's layout from its header, for a two-allele
// Hardy-Weinberg run without column options: plink2's .hardy (HOM_A1_CT,
// HET_A1_CT, TWO_AX_CT) or plink 1.9's .hwe (GENO, "AA/AB/BB").
bool LineTables::take_report_header(const std::vector<Field>& header) {
  if (program_.hypothesis != Hypothesis::hardy_weinberg || program_.value_count != 3 ||
      !opt_.value_columns.empty() || opt_.label_column) {
    return false;
  }
  const auto index = [&](std::string_view name) {
    for (std::size_t i = 0; i < header.size(); ++i) {
      if (header[i].text == name) return static_cast<int>(i);
    }
    return -1;
  };
  const int hom = index("HOM_A1_CT"), het = index("HET_A1_CT"), other = index("TWO_AX_CT");
  const int genotypes = index("GENO");
  std::vector<std::string_view> kept;
  if (hom >= 0 && het >= 0 && other >= 0) {
    layout_.by_columns = true;
    layout_.value_index[0] = hom;
    layout_.value_index[1] = het;
    layout_.value_index[2] = other;
    kept = {"CHROM", "POS", "ID"};
  } else if (genotypes >= 0) {
    genotypes_index_ = genotypes;
    kept = {"CHR", "SNP", "TEST"};
  } else {
    return false;
  }
  report_ = true;
  for (std::string_view name : kept) {
    if (const int i = index(name); i >= 0) {
      leading_index_.push_back(i);
      leading_names_.emplace_back(name);
    }
  }
  name_index_ = index(genotypes >= 0 ? "SNP" : "ID");
  return true;
}

// A report's row: its leading fields, and its counts.
TableRow LineTables::read_report(const std::vector<Field>& fields, std::string& leading) const {
  TableRow table;
  for (const int i : leading_index_) {
    if (static_cast<std::size_t>(i) < fields.size()) {
      append_field(leading, fields[static_cast<std::size_t>(i)].text);
    } else {
      leading += "NA";
      if (table.error.empty()) {
        table.error = "no column " + std::to_string(i + 1) + " (the line has " +
                      std::to_string(fields.size()) + " fields)";
      }
    }
    leading += '\t';
  }
  if (genotypes_index_ < 0) {
    TableRow values = read_table(fields, layout_, program_);
    if (table.error.empty()) return values;
    values.error = table.error;
    return values;
  }
  if (static_cast<std::size_t>(genotypes_index_) >= fields.size()) {
    if (table.error.empty()) table.error = "no column " + std::to_string(genotypes_index_ + 1);
    return table;
  }
  // "AA/AB/BB" as three fields.
  std::vector<Field> counts;
  const std::string& text = fields[static_cast<std::size_t>(genotypes_index_)].text;
  std::size_t start = 0;
  while (true) {
    const std::size_t slash = text.find('/', start);
    counts.push_back(Field{text.substr(start, slash - start), false});
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  if (counts.size() != 3) {
    if (table.error.empty()) table.error = "genotype counts not written A/B/C: '" + printable(text) + "'";
    return table;
  }
  TableLayout three;
  three.by_columns = true;
  three.value_count = 3;
  for (int i = 0; i < 3; ++i) three.value_index[i] = i;
  TableRow values = read_table(counts, three, program_);
  if (!table.error.empty()) values.error = table.error;
  return values;
}

// With --label-column alone: the label from its column, the values from the
// other fields, in order.
TableRow LineTables::read_beside_label(const std::vector<Field>& fields) const {
  thread_local std::vector<Field> values;
  values.clear();
  TableRow row;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (static_cast<int>(i) == label_index_) continue;
    values.push_back(fields[i]);
  }
  if (label_index_ < 0 || static_cast<std::size_t>(label_index_) >= fields.size()) {
    row.error = "no column " + std::to_string(label_index_ + 1) + " (the line has " +
                std::to_string(fields.size()) + " field" + (fields.size() == 1 ? "" : "s") + ")";
    return row;
  }
  if (values.size() != static_cast<std::size_t>(program_.value_count)) {
    row.error = "expected " + std::to_string(program_.value_count) +
                " values beside the label column, found " + std::to_string(values.size());
  } else {
    TableLayout in_order;
    in_order.by_columns = true;
    in_order.value_count = program_.value_count;
    for (int i = 0; i < program_.value_count; ++i) in_order.value_index[i] = i;
    row = read_table(values, in_order, program_);
  }
  row.has_label = true;
  row.label = fields[static_cast<std::size_t>(label_index_)].text;
  return row;
}

// Whether the output has a label column: a label column option, or else the
// first table's label, or a header with one name more than the values.
void LineTables::settle_labels(const TableRow* first) {
  if (label_only_) {
    labelled_ = true;
    return;
  }
  if (report_ || layout_.by_columns) {
    labelled_ = layout_.label_index >= 0;
    return;
  }
  std::size_t named = 0;
  for (const Field& f : header_) named += (f.quoted || !f.text.empty()) ? 1 : 0;
  labelled_ = (first != nullptr && first->has_label) ||
              (has_header_ && named == static_cast<std::size_t>(program_.value_count) + 1);
}

// Columns given by name are looked up in the header; a name the header has
// twice cannot say which is meant.
bool LineTables::resolve_names() {
  if (label_only_ && opt_.label_column->position == 0) {
    layout_.by_columns = true;  // for the lookup below
    layout_.value_count = 0;
  }
  if (!layout_.by_columns || (opt_.value_columns.empty() && !label_only_)) return true;
  const auto find = [&](const std::string& name, int& index) {
    index = -1;
    for (std::size_t i = 0; i < header_.size(); ++i) {
      if (header_[i].text != name) continue;
      if (index >= 0) {
        fatal_ = "ambiguous column name '" + printable(name) + "': columns " +
                 std::to_string(index + 1) + " and " + std::to_string(i + 1) + " have it";
        return false;
      }
      index = static_cast<int>(i);
    }
    if (index < 0) fatal_ = "no column named '" + printable(name) + "' in the header";
    return index >= 0;
  };
  if (opt_.label_column && opt_.label_column->position == 0 &&
      !find(opt_.label_column->name, label_only_ ? label_index_ : layout_.label_index)) {
    return false;
  }
  if (label_only_) {
    layout_.by_columns = false;
    layout_.value_count = program_.value_count;
    return true;
  }
  for (int i = 0; i < program_.value_count; ++i) {
    const ColumnRef& c = opt_.value_columns[static_cast<std::size_t>(i)];
    if (c.position == 0 && !find(c.name, layout_.value_index[i])) return false;
  }
  return true;
}

// The common line, a label and the values between single tabs (or commas)
// with nothing to trim, unquote or refuse, read without splitting it into
// fields first; what it reads is what the general path reads. False, with
// row untouched, for any other line.
bool LineTables::parse_plain(std::string_view line, RowInput& row) const {
  if (separator_ == Separator::whitespace || report_ || label_only_ || layout_.by_columns ||
      !labelled_) {
    return false;
  }
  const char separator = separator_ == Separator::tab ? '\t' : ',';
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  for (const char c : {'"', ' ', '\r', separator == '\t' ? ',' : '\t'}) {
    if (line.find(c) != std::string_view::npos) return false;
  }
  const auto n = static_cast<std::size_t>(program_.value_count);
  std::size_t end = line.find(separator);
  const std::string_view label = line.substr(0, end);
  if (label.empty() || end == std::string_view::npos) return false;
  double values[kMaxValues];
  std::size_t count = 0;
  while (end != std::string_view::npos) {
    line.remove_prefix(end + 1);
    end = line.find(separator);
    const std::string_view field = line.substr(0, end);
    if (count == n || field.empty() || !parse_decimal(field, values[count])) return false;
    ++count;
  }
  if (count != n) return false;
  fill_row(values, program_, opt_.prior, row);
  append_field(row.leading, label);
  row.leading += '\t';
  row.name = label;
  return true;
}

void LineTables::parse(const RawRecord& record, RowInput& row) const {
  row.leading.clear();
  row.name.clear();
  row.failure.clear();
  if (!record.too_long && parse_plain(record.text, row)) return;
  if (record.too_long) {
    TableRow none;
    fill_row(none, program_, opt_.prior, row);
    row.failure = "line longer than " + std::to_string(LineReader::kMaxLineBytes) + " bytes";
    if (labelled_) row.leading = "NA\t";
    for (std::size_t i = 0; i < leading_index_.size(); ++i) row.leading += "NA\t";
    return;
  }
  thread_local std::vector<Field> fields;
  thread_local std::string problem;
  // Built in place: a table row is large (room for every value of any shape).
  const bool split = split_fields(record.text, separator_, fields, problem);
  TableRow table = !split       ? TableRow{}
                   : report_    ? read_report(fields, row.leading)
                   : label_only_ ? read_beside_label(fields)
                                 : read_table(fields, layout_, program_);
  if (!split) {
    table.error = problem;
    if (report_) {
      for (std::size_t i = 0; i < leading_index_.size(); ++i) row.leading += "NA\t";
    }
  }
  fill_row(table, program_, opt_.prior, row);
  row.failure = std::move(table.error);
  if (report_ && name_index_ >= 0 && static_cast<std::size_t>(name_index_) < fields.size()) {
    row.name = fields[static_cast<std::size_t>(name_index_)].text;
  }
  if (row.failure.empty()) {
    if (table.has_label && !labelled_) {
      row.failure = "a label ('" + printable(table.label) + "'), but the first table has none";
    } else if (labelled_ && (!table.has_label || table.label.empty())) {
      row.failure = "no label, but the input's tables are labelled";
    }
  }
  if (labelled_) {
    if (table.has_label) {
      append_field(row.leading, table.label);
    } else {
      row.leading += "NA";
    }
    row.leading += '\t';
  }
  // Messages name a report's row by its id, others by their label.
  if (table.has_label && row.name.empty()) row.name = std::move(table.label);
}

std::string LineTables::header() const {
  if (!fatal_.empty()) return {};
  OutputColumns c = columns_of(program_, opt_);
  c.labelled = labelled_;
  c.leading = leading_names_;
  if (label_only_ && has_header_ && label_index_ >= 0 &&
      static_cast<std::size_t>(label_index_) < header_.size()) {
    c.label_name = header_[static_cast<std::size_t>(label_index_)].text;
  }
  if (layout_.by_columns && has_header_) {
    const auto name = [&](int index) -> const std::string* {
      if (index < 0 || static_cast<std::size_t>(index) >= header_.size()) return nullptr;
      return &header_[static_cast<std::size_t>(index)].text;
    };
    if (const std::string* n = name(layout_.label_index)) c.label_name = *n;
    for (int i = 0; i < program_.value_count; ++i) {
      if (const std::string* n = name(layout_.value_index[i])) c.value_names[static_cast<std::size_t>(i)] = *n;
    }
  }
  return header_line(c);
}

ArgumentTable::ArgumentTable(const Program& program, const RunOptions& opt)
    : program_(program), opt_(opt) {
  layout_.value_count = program.value_count;
  layout_.by_columns = true;
  for (int i = 0; i < program.value_count; ++i) layout_.value_index[i] = i;
}

bool ArgumentTable::read(RawRecord& record) {
  if (given_) return false;
  given_ = true;
  record = RawRecord{};
  return true;
}

void ArgumentTable::parse(const RawRecord&, RowInput& row) const {
  std::vector<Field> fields;
  for (const std::string& value : opt_.operands) fields.push_back(Field{value, false});
  TableRow table = read_table(fields, layout_, program_);
  row.leading.clear();
  fill_row(table, program_, opt_.prior, row);
  row.failure = std::move(table.error);
}

std::string ArgumentTable::header() const { return header_line(columns_of(program_, opt_)); }

}  // namespace kavo::cli
