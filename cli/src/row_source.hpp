#pragma once
// What the batch engine runs: a source of rows. Records are read in order on
// one thread at a time; turning a record into a table (parsing) is left to
// the workers, which may do it concurrently.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kavo/kavo.hpp"
#include "program.hpp"

namespace kavo::cli {

// What a source keeps with a record besides its text (a record its reader
// has decoded already). It stays with the record it was read into, so a
// source reading into the same records again allocates it once.
struct RecordData {
  virtual ~RecordData() = default;
};

// A record as read: its text, not yet parsed.
struct RawRecord {
  long line = 0;          // the input line it is on, for messages (0: none)
  bool too_long = false;  // cut at the reader's limit
  std::string text;
  std::unique_ptr<RecordData> data;
};

// A record made ready to compute. The writer prints `leading` (the fields
// before the values: a label, a site's columns), the values and the result.
struct RowInput {
  std::string leading;    // formatted output fields, each followed by a tab
  std::string name;       // how messages name the row (its label, its id); may be empty
  bool name_leads = false;  // messages say "NAME: REASON", not "(NAME): REASON"
  Hypothesis hypothesis = Hypothesis::independence;
  Shape shape;
  int value_count = 0;
  int dirichlet_count = 0;      // of the values, those the prior is added to
  bool values_read = false;     // all value_count values parsed
  std::vector<double> values;   // as given (value_count of them when read)
  bool echoed = true;           // the values (and prior) follow `leading` in the output
  // Added to the Dirichlet parameters when computing; shown in a column of
  // its own when not 0, never added into the values echoed.
  double prior = 0.0;
  std::string failure;          // why it is not computed; empty when it is
  // The record is not one the input can hold: the run stops there, after
  // every row before it is written (failure says why; see RowSource::reject).
  bool fatal = false;
};

// The values computed with: the prior added to the Dirichlet parameters.
inline void parameters_of(const RowInput& row, double* parameters) {
  for (int i = 0; i < row.value_count; ++i) {
    parameters[i] = row.values[i] + (i < row.dirichlet_count ? row.prior : 0.0);
  }
}

class RowSource {
 public:
  virtual ~RowSource() = default;
  // The next record; false at the end, on a read error or on a problem that
  // stops the run (fatal()). Called by one thread at a time.
  virtual bool read(RawRecord& record) = 0;
  // Whether the next read may wait for input: rows already read are then
  // handed on first.
  virtual bool may_wait() const = 0;
  // Turns a record into a row. Const and safe to call from several threads
  // at once, between and during reads.
  virtual void parse(const RawRecord& record, RowInput& row) const = 0;
  // The output's header line; known once read() returned a record or false.
  // Empty when there is none to write (the input cannot be read as tables).
  virtual std::string header() const = 0;
  // A fatal row reached in input order, every row before it written;
  // `previous` is the row before it (null when none). fatal() then says why.
  virtual void reject(const RawRecord& /*record*/, const RowInput& /*row*/,
                      const RowInput* /*previous*/) {}
  // How messages name a record ("line 12"), and the input's records.
  virtual std::string record_name(const RawRecord& record, const RowInput& /*row*/) const {
    return "line " + std::to_string(record.line);
  }
  virtual const char* records_name() const { return "tables"; }
  // Why the run cannot go on (empty when it can), and the input's read error.
  virtual const std::string& fatal() const = 0;
  virtual int read_error() const = 0;  // errno of a failed read, 0 when none
  virtual std::uint64_t bytes() const = 0;
};

}  // namespace kavo::cli
