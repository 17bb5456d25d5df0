#pragma once
// Resuming an interrupted run: the earlier output's rows are this run's
// first rows, one per record of the source, in order. Each row kept is
// checked against its record (the label and values this run would write)
// and must hold sound results (seven fields; numbers that read back, or the
// failed row's NA where the record cannot be computed); the first row that
// is not sound is computed again, with every row after it.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "kavo/kavo.hpp"
#include "progress.hpp"
#include "row_source.hpp"

namespace kavo::cli {

// The complete lines of an earlier run's output.
class EarlierOutput {
 public:
  // Reads the header; false when the file holds no complete header (start over).
  bool open(std::FILE* file);
  const std::string& header() const { return header_; }
  // The next complete row; false when none is left.
  bool next(std::string& row);
  // The row last read stays.
  void keep();
  // Cuts what follows the kept rows and positions the file to append.
  bool cut();
  // No row is left to read: the last one was read, or the file was cut.
  bool exhausted() const { return exhausted_; }

 private:
  bool read_complete(std::string& line);

  std::FILE* file_ = nullptr;
  std::string header_;
  long kept_end_ = 0;
  bool exhausted_ = false;
};

// A kept row without an evidence, as the run that wrote it told it.
struct KeptFailure {
  long line = 0;
  std::string reason;
  std::string name;
  bool name_leads = false;
};

struct Resumed {
  std::uint64_t kept = 0;    // rows kept
  std::uint64_t failed = 0;  // of those, rows without an evidence
  // Told once the resume is accepted: a refused one names no row.
  std::vector<KeptFailure> failures;
  bool has_pending = false;  // `pending` is the first record to compute
  RawRecord pending;
  RowInput last;             // the last row kept, when one was
  std::string problem;       // why the file cannot be resumed (left as it was)
};

// Keeps the earlier rows that are sound, with each kept failed row's reason
// (see tell_kept_failures), and cuts the file after them. A fatal problem of
// the source ends it early (see source.fatal()); a fatal row is left
// pending, for the run to stop at.
Resumed resume(EarlierOutput& earlier, RowSource& source, Method method);

// Tells the kept failed rows' reasons as the run that wrote them did.
void tell_kept_failures(const Resumed& resumed, Console& console);

}  // namespace kavo::cli
