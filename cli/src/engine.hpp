#pragma once
// The batch engine: one pool of workers for the whole run. A worker that
// finds too few rows waiting reads the next records (one reader at a time,
// running ahead of the computing); rows are claimed in small runs, parsed,
// computed and formatted in the workers, and a worker that finishes a run
// holding the next row in input order writes every finished row from there. The calling
// thread only watches: signals, a closed output pipe, progress and flushing.
// At most kMaxRowsInFlight rows and about kMaxBytesInFlight bytes of input
// are held at once. A fatal row (see RowInput::fatal) stops the run once
// every row before it is written.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "kavo/kavo.hpp"
#include "progress.hpp"
#include "row_source.hpp"
#include "writer.hpp"

namespace kavo::cli {

class Engine {
 public:
  static constexpr std::size_t kMaxRowsInFlight = 2048;
  static constexpr std::size_t kMaxBytesInFlight = 8 << 20;

  struct Options {
    int threads = 1;
    Settings settings;
    std::uint64_t input_size = 0;  // bytes, for the time left (0: unknown)
    std::uint64_t kept = 0;        // rows kept from an earlier run
    bool write_header = true;      // false when appending to an earlier run
    const RowInput* before = nullptr;  // the last row kept from an earlier run
  };

  Engine(RowSource& source, Output& out, Console& console, const Options& options);
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // Runs every row of the source, `pending` first when given (a record read
  // before the run). Returns when the source is done and every row written,
  // or when the run was stopped (signal, failed write, fatal input).
  void run(RawRecord* pending);

  std::uint64_t rows_written() const { return written_.load(); }
  std::uint64_t rows_failed() const { return failed_; }

 private:
  struct Slot;

  void work();
  std::size_t read_records(std::uint64_t first, std::size_t limit, std::uint64_t& bytes,
                           bool& ended);
  void process(Slot& slot);
  void write_ready();
  void watch();
  void request_stop();
  Slot& slot(std::uint64_t row);

  RowSource& source_;
  Output& out_;
  Console& console_;
  Options options_;
  std::unique_ptr<Slot[]> ring_;
  RawRecord* pending_ = nullptr;

  // Reading and claiming, under mutex_.
  std::mutex mutex_;
  std::condition_variable changed_;   // for the workers
  std::condition_variable finished_;  // for the watcher: a worker has ended
  std::uint64_t read_ = 0;
  std::uint64_t claimed_ = 0;
  std::uint64_t bytes_in_flight_ = 0;
  bool reading_ = false;
  bool input_end_ = false;
  int active_ = 0;

  // Writing: one writer at a time, by the writing_ flag.
  std::atomic<bool> writing_{false};
  std::atomic<std::uint64_t> written_{0};
  std::atomic<bool> dirty_{false};
  bool header_written_ = false;
  bool rejected_ = false;  // a fatal row was reached
  std::string header_;  // set by the first reader, before any row is handed on
  std::uint64_t failed_ = 0;
  std::string batch_;

  std::atomic<bool> stop_{false};
  std::atomic<std::uint64_t> bytes_read_{0};
  std::atomic<bool> input_complete_{false};
  std::mutex console_mutex_;
};

}  // namespace kavo::cli
