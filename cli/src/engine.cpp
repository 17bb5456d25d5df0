#include "engine.hpp"

#include <algorithm>
#include <chrono>
#include <span>
#include <thread>
#include <vector>

#include "signals.hpp"

namespace kavo::cli {

namespace {

// Records read at a time by the reader, and rows claimed at a time at most:
// small enough that two workers share a short input, large enough that the
// shared counters are touched rarely.
constexpr std::size_t kReadRun = 256;
constexpr std::uint64_t kMaxClaim = 64;
// A slot's buffers above this size are released once written.
constexpr std::size_t kKeptCapacity = 4096;
// Finished rows are written once this many bytes of them are held.
constexpr std::size_t kWriteChunk = 1 << 16;

}  // namespace

struct Engine::Slot {
  RawRecord record;
  RowInput row;
  std::string out;     // the formatted row
  std::string reason;  // why it failed, for the message
  bool failed = false;
  bool cancelled = false;
  bool fatal = false;
  std::atomic<bool> done{false};
};

Engine::Engine(RowSource& source, Output& out, Console& console, const Options& options)
    : source_(source), out_(out), console_(console), options_(options),
      ring_(std::make_unique<Slot[]>(kMaxRowsInFlight)) {
  options_.threads = std::max(1, options_.threads);
}

Engine::~Engine() = default;

Engine::Slot& Engine::slot(std::uint64_t row) { return ring_[row % kMaxRowsInFlight]; }

void Engine::run(RawRecord* pending) {
  pending_ = pending;
  header_written_ = !options_.write_header;
  active_ = options_.threads;
  std::vector<std::thread> workers;
  workers.reserve(static_cast<std::size_t>(options_.threads));
  for (int t = 0; t < options_.threads; ++t) workers.emplace_back([this] { work(); });
  watch();
  for (std::thread& t : workers) t.join();
  // Rows finished after the last writer looked, when the run was stopped.
  write_ready();
  out_.write(batch_);
  batch_.clear();
  // A run stopped before its first row still writes the header (if the
  // source has one).
  if (!header_written_) {
    if (header_.empty()) header_ = source_.header();
    out_.write(header_);
    header_written_ = true;
  }
  out_.flush();
  std::lock_guard<std::mutex> lock(console_mutex_);
  console_.progress(written_.load(), read_, input_complete_.load(),
                    bytes_read_.load(), options_.input_size, options_.kept);
}

void Engine::request_stop() {
  stop_.store(true);
  std::lock_guard<std::mutex> lock(mutex_);
  changed_.notify_all();
}

void Engine::work() {
  const auto threads = static_cast<std::uint64_t>(options_.threads);
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stop_.load(std::memory_order_relaxed)) {
    const std::uint64_t waiting = read_ - claimed_;
    const std::uint64_t held = read_ - written_.load();
    // One slot of the ring is left to the row written last, which a fatal
    // row after it names.
    if (!input_end_ && !reading_ && held + 1 < kMaxRowsInFlight &&
        bytes_in_flight_ < kMaxBytesInFlight && waiting < kReadRun / 2 * threads) {
      // Read ahead, outside the lock: the other workers keep computing.
      reading_ = true;
      const std::uint64_t first = read_;
      const std::size_t limit = std::min<std::size_t>(kReadRun, kMaxRowsInFlight - 1 - held);
      lock.unlock();
      std::uint64_t bytes = 0;
      bool ended = false;
      const std::size_t got = read_records(first, limit, bytes, ended);
      lock.lock();
      read_ += got;
      bytes_in_flight_ += bytes;
      reading_ = false;
      if (ended) {
        input_end_ = true;
        input_complete_.store(true);
      }
      changed_.notify_all();
      continue;
    }
    if (waiting > 0) {
      // Claim a share that leaves work for the others.
      const std::uint64_t take = std::clamp<std::uint64_t>(waiting / (2 * threads), 1, kMaxClaim);
      const std::uint64_t first = claimed_;
      claimed_ += take;
      lock.unlock();
      // Written once the run is done: writing after every row would take
      // the lock and wake the others once a row.
      for (std::uint64_t row = first; row < first + take; ++row) process(slot(row));
      write_ready();
      lock.lock();
      continue;
    }
    if (input_end_) break;
    changed_.wait(lock);  // the reader is busy, or the rows in flight wait to be written
  }
  --active_;
  changed_.notify_all();
  finished_.notify_all();
}

std::size_t Engine::read_records(std::uint64_t first, std::size_t limit, std::uint64_t& bytes,
                                 bool& ended) {
  std::size_t got = 0;
  while (got < limit && !stop_.load(std::memory_order_relaxed)) {
    Slot& s = slot(first + got);
    if (pending_ != nullptr) {
      s.record = std::move(*pending_);
      pending_ = nullptr;
    } else {
      // Hand on what was read before waiting for more input.
      if (got > 0 && source_.may_wait()) break;
      if (!source_.read(s.record)) {
        ended = true;
        break;
      }
    }
    if (header_.empty()) header_ = source_.header();
    s.cancelled = false;
    s.fatal = false;
    bytes += s.record.text.size();
    ++got;
  }
  if (ended && header_.empty()) header_ = source_.header();
  bytes_read_.store(source_.bytes());
  return got;
}

void Engine::process(Slot& s) {
  if (stop_.load(std::memory_order_relaxed)) {
    s.cancelled = true;
    s.done.store(true);
    return;
  }
  RowInput& row = s.row;
  source_.parse(s.record, row);
  s.fatal = row.fatal;
  if (s.fatal) {
    s.done.store(true);
    return;
  }
  s.out.clear();
  append_echo(s.out, row);
  s.failed = false;
  if (!row.failure.empty()) {
    append_result(s.out, nullptr);
    s.failed = true;
    s.reason = row.failure;
  } else {
    double parameters[kMaxValues];
    parameters_of(row, parameters);
    const Result result =
        compute(row.hypothesis, row.shape,
                std::span<const double>(parameters, static_cast<std::size_t>(row.value_count)),
                options_.settings, stop_);
    if (result.status == Status::cancelled) {
      s.cancelled = true;
    } else {
      append_result(s.out, &result);
      if (result.status != Status::ok) {
        s.failed = true;
        s.reason = failure_reason(result.status, row.hypothesis);
      }
    }
  }
  s.done.store(true);
}

// Writes every finished row from the next one in order. One writer at a
// time; a worker that finds the writer busy leaves its row to it, and the
// writer looks again after letting go (both sides use sequentially
// consistent operations, so one of them sees the other's row).
void Engine::write_ready() {
  while (true) {
    if (writing_.exchange(true)) return;
    const std::uint64_t start = written_.load();
    std::uint64_t row = start;
    std::uint64_t bytes = 0;
    while (true) {
      Slot& s = slot(row);
      if (!s.done.load() || s.cancelled) break;
      if (!header_written_) {
        batch_ += header_;
        header_written_ = true;
      }
      if (s.fatal) {
        if (!rejected_) {
          rejected_ = true;
          source_.reject(s.record, s.row, row > 0 ? &slot(row - 1).row : options_.before);
          request_stop();
        }
        break;
      }
      batch_ += s.out;
      if (s.failed) {
        ++failed_;
        std::lock_guard<std::mutex> lock(console_mutex_);
        out_.write(batch_);  // the row before its message
        batch_.clear();
        console_.row_failed(s.record.line, s.reason, s.row.name, s.row.name_leads);
      }
      bytes += s.record.text.size();
      if (s.record.text.capacity() > kKeptCapacity) std::string().swap(s.record.text);
      if (s.out.capacity() > kKeptCapacity) std::string().swap(s.out);
      s.done.store(false);
      ++row;
    }
    // Once a batch, not once a row: the readers only wait a little longer
    // for the ring's slots.
    written_.store(row);
    // Rows go out in large writes (the watcher writes what is left at its
    // next look, so none waits long).
    if (batch_.size() >= kWriteChunk) {
      out_.write(batch_);
      batch_.clear();
    }
    if (row != start) {
      dirty_.store(true);
      if (out_.failed()) stop_.store(true);
      std::lock_guard<std::mutex> lock(mutex_);
      bytes_in_flight_ -= bytes;
      changed_.notify_all();
    }
    writing_.store(false);
    const Slot& next = slot(written_.load());
    if (!next.done.load() || next.cancelled || next.fatal) return;
  }
}

void Engine::watch() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (active_ > 0) {
    finished_.wait_for(lock, std::chrono::milliseconds(100));
    if (active_ == 0) break;
    const std::uint64_t read = read_;
    lock.unlock();
    if (stop_signal() != 0) request_stop();
    if (!writing_.exchange(true)) {
      if (dirty_.exchange(false)) {
        out_.write(batch_);
        batch_.clear();
        out_.flush();
      }
      out_.check_reader();
      const bool failed = out_.failed();
      writing_.store(false);
      if (failed) request_stop();
      write_ready();
    }
    {
      std::lock_guard<std::mutex> console_lock(console_mutex_);
      console_.progress(written_.load(), read, input_complete_.load(),
                        bytes_read_.load(), options_.input_size, options_.kept);
    }
    lock.lock();
  }
}

}  // namespace kavo::cli
