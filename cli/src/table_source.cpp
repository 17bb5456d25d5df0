#include "table_source.hpp"

#include "writer.hpp"

namespace kavo::cli {

namespace {

// The row's values, the prior added to the Dirichlet parameters, and its
// leading label field; every row echoes its values this way.
void fill_row(const TableRow& table, const Program& program, double prior, RowInput& row) {
  row.hypothesis = program.hypothesis;
  row.shape = program.shape;
  row.value_count = program.value_count;
  row.values_read = table.values_read;
  if (!table.values_read) return;
  for (int i = 0; i < program.value_count; ++i) {
    row.values[i] = table.values[i] + (i < program.dirichlet_count ? prior : 0.0);
  }
}

OutputColumns columns_of(const Program& program, const RunOptions& opt) {
  OutputColumns c;
  c.method = opt.settings.method;
  for (int i = 0; i < program.value_count; ++i) c.value_names.emplace_back(program.value_names[i]);
  return c;
}

}  // namespace

LineTables::LineTables(std::FILE* in, const Program& program, const RunOptions& opt, bool (*stop)())
    : lines_(in, stop), program_(program), opt_(opt) {
  layout_.value_count = program.value_count;
  layout_.by_columns = !opt.value_columns.empty();
  if (!layout_.by_columns) return;
  if (opt.label_column && opt.label_column->position > 0) {
    layout_.label_index = opt.label_column->position - 1;
  }
  for (int i = 0; i < program.value_count; ++i) {
    const ColumnRef& c = opt.value_columns[static_cast<std::size_t>(i)];
    if (c.position > 0) layout_.value_index[i] = c.position - 1;
  }
}

bool LineTables::read(RawRecord& record) {
  while (lines_.next(record.text, record.too_long)) {
    record.line = lines_.line_number();
    if (!record.too_long && is_skipped_line(record.text)) continue;
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

// Whether the output has a label column: a label column option, or else the
// first table's label, or a header with one name more than the values.
void LineTables::settle_labels(const TableRow* first) {
  if (layout_.by_columns) {
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
  if (!layout_.by_columns) return true;
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
      !find(opt_.label_column->name, layout_.label_index)) {
    return false;
  }
  for (int i = 0; i < program_.value_count; ++i) {
    const ColumnRef& c = opt_.value_columns[static_cast<std::size_t>(i)];
    if (c.position == 0 && !find(c.name, layout_.value_index[i])) return false;
  }
  return true;
}

void LineTables::parse(const RawRecord& record, RowInput& row) const {
  row.leading.clear();
  row.failure.clear();
  if (record.too_long) {
    TableRow none;
    fill_row(none, program_, opt_.prior, row);
    row.failure = "line longer than " + std::to_string(LineReader::kMaxLineBytes) + " bytes";
    if (labelled_) row.leading = "NA\t";
    return;
  }
  thread_local std::vector<Field> fields;
  thread_local std::string problem;
  TableRow table;
  if (split_fields(record.text, separator_, fields, problem)) {
    table = read_table(fields, layout_, program_);
  } else {
    table.error = problem;
  }
  fill_row(table, program_, opt_.prior, row);
  row.failure = std::move(table.error);
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
}

std::string LineTables::header() const {
  OutputColumns c = columns_of(program_, opt_);
  c.labelled = labelled_;
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
