#pragma once
// What the batch engine runs: a source of rows. Records are read in order on
// one thread at a time; turning a record into a table (parsing) is left to
// the workers, which may do it concurrently.

#include <cstdint>
#include <string>
#include <vector>

#include "kavo/kavo.hpp"
#include "program.hpp"

namespace kavo::cli {

// A record as read: its text, not yet parsed.
struct RawRecord {
  long line = 0;          // the input line it is on, for messages (0: none)
  bool too_long = false;  // cut at the reader's limit
  std::string text;
};

// A record made ready to compute. The writer prints `leading` (the fields
// before the values: a label, a site's columns), the values and the result.
struct RowInput {
  std::string leading;    // formatted output fields, each followed by a tab
  std::string name;       // how messages name the row (its label, its id); may be empty
  Hypothesis hypothesis = Hypothesis::independence;
  Shape shape;
  int value_count = 0;
  int dirichlet_count = 0;      // of the values, those the prior is added to
  bool values_read = false;     // all value_count values parsed
  std::vector<double> values;   // as given (value_count of them when read)
  // Added to the Dirichlet parameters when computing; shown in a column of
  // its own when not 0, never added into the values echoed.
  double prior = 0.0;
  std::string failure;          // why it is not computed; empty when it is
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
  virtual std::string header() const = 0;
  // Why the run cannot go on (empty when it can), and the input's read error.
  virtual const std::string& fatal() const = 0;
  virtual int read_error() const = 0;  // errno of a failed read, 0 when none
  virtual std::uint64_t bytes() const = 0;
};

}  // namespace kavo::cli
