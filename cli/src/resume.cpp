#include "resume.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <span>

#include "writer.hpp"

namespace kavo::cli {

bool EarlierOutput::open(std::FILE* file) {
  file_ = file;
  std::string line;
  if (!read_complete(line)) return false;
  header_ = line + "\n";
  kept_end_ = std::ftell(file_);
  return true;
}

bool EarlierOutput::next(std::string& row) {
  if (exhausted_) return false;
  exhausted_ = !read_complete(row);
  return !exhausted_;
}

void EarlierOutput::keep() { kept_end_ = std::ftell(file_); }

bool EarlierOutput::cut() {
  exhausted_ = true;
  std::fflush(file_);
  return ftruncate(fileno(file_), kept_end_) == 0 && std::fseek(file_, kept_end_, SEEK_SET) == 0;
}

bool EarlierOutput::read_complete(std::string& line) {
  line.clear();
  int c;
  while ((c = std::getc(file_)) != EOF) {
    if (c == '\n') return true;
    line.push_back(static_cast<char>(c));
  }
  return false;  // the last line of an interrupted write, or nothing
}

Resumed resume(EarlierOutput& earlier, RowSource& source, Method method) {
  Resumed r;
  RawRecord record;
  bool more = source.read(record);
  if (!source.fatal().empty()) return r;
  if (earlier.header() != source.header()) {
    r.problem = "its header is not the one this run writes (other options or input?)";
    return r;
  }
  RowInput row;
  std::string expected;
  std::string earlier_row;
  while (more) {
    if (!earlier.next(earlier_row)) break;
    source.parse(record, row);
    if (row.fatal) break;
    expected.clear();
    append_echo(expected, row);
    if (earlier_row.compare(0, expected.size(), expected) != 0) {
      r.problem = "its row " + std::to_string(r.kept + 1) + " is not " +
                  source.record_name(record, row) + " of the input";
      return r;
    }
    // Whether this run would leave the row without an evidence, from the
    // record itself: unreadable, or values the method refuses.
    std::string reason = row.failure;
    if (reason.empty()) {
      double parameters[kMaxValues];
      parameters_of(row, parameters);
      const Status status = validate(
          row.hypothesis, row.shape,
          std::span<const double>(parameters, static_cast<std::size_t>(row.value_count)), method);
      if (status != Status::ok) reason = failure_reason(status, row.hypothesis);
    }
    const std::string_view result = std::string_view(earlier_row).substr(expected.size());
    const bool sound = reason.empty() ? is_computed_result(result) : result == kFailedResult;
    if (!sound) break;  // computed again from here
    earlier.keep();
    ++r.kept;
    if (!reason.empty()) {
      ++r.failed;
      r.failures.push_back(KeptFailure{record.line, std::move(reason), row.name, row.name_leads});
    }
    std::swap(row, r.last);
    more = source.read(record);
  }
  if (!source.fatal().empty()) return r;
  if (more) {
    r.has_pending = true;
    r.pending = std::move(record);
  } else if (earlier.next(earlier_row)) {
    r.problem = std::string("it has more rows than the input has ") + source.records_name();
    return r;
  }
  if (!earlier.cut()) {
    r.problem = std::string("it cannot be cut after its complete rows: ") + std::strerror(errno);
  }
  return r;
}

void tell_kept_failures(const Resumed& resumed, Console& console) {
  for (const KeptFailure& f : resumed.failures) {
    console.row_failed(f.line, f.reason, f.name, f.name_leads);
  }
}

}  // namespace kavo::cli
