// Many tables of one hypothesis in parallel. Tables are handed out one at a
// time, so a slow table does not hold back a whole share; each is computed
// exactly as compute() would, from its own generator, so the results do not
// depend on the number of threads.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "evidence.hpp"
#include "hypotheses/table.hpp"
#include "kavo/kavo.hpp"

namespace kavo {

namespace {

class ManyRun {
 public:
  ManyRun(const Table& table, std::span<const double> values, std::span<Result> results,
          const Settings& settings)
      : table_(table), values_(values), results_(results), settings_(settings),
        finished_(std::make_unique<std::atomic<bool>[]>(results.size())) {}

  // Computes tables until none is left or the run is stopped.
  void work() {
    const std::size_t n = results_.size();
    const std::size_t count = static_cast<std::size_t>(table_.layout.value_count);
    for (std::size_t i = next_++; i < n; i = next_++) {
      if (stop_.load(std::memory_order_relaxed)) break;
      double held[kMaxValues] = {};
      std::copy_n(values_.begin() + static_cast<std::ptrdiff_t>(i * count), count, held);
      results_[i] = compute_evidence(table_, held, settings_, &stop_);
      finished_[i].store(true, std::memory_order_release);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        ++done_;
      }
      changed_.notify_one();
    }
  }

  // Waits for the workers, reporting progress every interval; returns when
  // every table is finished, or when progress asked to stop and the workers
  // noticed.
  void watch(const ManyOptions& options, std::vector<std::thread>& workers) {
    const auto interval = std::chrono::milliseconds(std::max(1, options.progress_interval_ms));
    const std::size_t n = results_.size();
    Progress progress;
    progress.total = n;
    for (;;) {
      bool all_done;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_for(lock, interval, [&] { return done_ == n; });
        progress.done = done_;
        all_done = done_ == n;
      }
      while (progress.ready < n && finished_[progress.ready].load(std::memory_order_acquire)) {
        ++progress.ready;
      }
      if (all_done) break;
      if (!options.progress(progress)) {
        stop_.store(true);
        break;
      }
    }
    for (std::thread& t : workers) t.join();
    workers.clear();
    if (!stop_.load()) options.progress(progress);
  }

  bool stopped() const { return stop_.load(); }
  void stop() { stop_.store(true); }

  // Marks every table left unfinished as cancelled.
  void cancel_rest() {
    for (std::size_t i = 0; i < results_.size(); ++i) {
      if (finished_[i].load()) continue;
      Result cancelled;
      cancelled.method = settings_.method;
      cancelled.status = Status::cancelled;
      results_[i] = cancelled;
    }
  }

 private:
  const Table& table_;
  std::span<const double> values_;
  std::span<Result> results_;
  const Settings& settings_;
  std::unique_ptr<std::atomic<bool>[]> finished_;
  std::atomic<std::size_t> next_{0};
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t done_ = 0;
};

// The workers of a run. However the calling thread leaves compute_many (a
// progress callback that throws, a thread ended by unwinding its stack, a
// thread that could not be started), the run is stopped and every worker
// joined first: a joinable std::thread must never be destroyed.
struct Workers {
  ManyRun& run;
  std::vector<std::thread> threads;
  ~Workers() {
    if (threads.empty()) return;
    run.stop();
    for (std::thread& t : threads) {
      if (t.joinable()) t.join();
    }
  }
};

}  // namespace

Result compute(Hypothesis hypothesis, Shape shape, std::span<const double> values,
               const Settings& settings, const std::atomic<bool>& stop) {
  Table table;
  Status status = make_table(hypothesis, shape, table);
  if (status == Status::ok && values.size() != static_cast<std::size_t>(table.layout.value_count)) {
    status = Status::wrong_value_count;
  }
  if (status != Status::ok) {
    Result wrong;
    wrong.method = settings.method;
    wrong.status = status;
    return wrong;
  }
  double held[kMaxValues] = {};
  std::copy(values.begin(), values.end(), held);
  return compute_evidence(table, held, settings, &stop);
}

Status compute_many(Hypothesis hypothesis, std::span<const double> values,
                    std::span<Result> results, const Settings& settings,
                    const ManyOptions& options) {
  return compute_many(hypothesis, default_shape(hypothesis), values, results, settings, options);
}

Status compute_many(Hypothesis hypothesis, Shape shape, std::span<const double> values,
                    std::span<Result> results, const Settings& settings,
                    const ManyOptions& options) {
  Table table;
  const Status shape_status = make_table(hypothesis, shape, table);
  if (shape_status != Status::ok) return shape_status;
  const std::size_t count = static_cast<std::size_t>(table.layout.value_count);
  if (values.size() % count != 0 || values.size() / count != results.size()) {
    return Status::wrong_value_count;
  }
  if (results.empty()) {
    if (options.progress) options.progress(Progress{});
    return Status::ok;
  }

  int threads = options.threads;
  if (threads <= 0) threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  threads = std::min(threads, kMaxThreads);
  threads = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(threads), results.size()));

  ManyRun run(table, values, results, settings);
  Workers workers{run, {}};
  if (options.progress) {
    // The calling thread only watches, so progress is reported on time.
    for (int t = 0; t < threads; ++t) workers.threads.emplace_back([&run] { run.work(); });
    run.watch(options, workers.threads);
  } else {
    for (int t = 1; t < threads; ++t) workers.threads.emplace_back([&run] { run.work(); });
    run.work();
    for (std::thread& t : workers.threads) t.join();
    workers.threads.clear();
  }
  if (!run.stopped()) return Status::ok;
  run.cancel_rest();
  return Status::cancelled;
}

}  // namespace kavo
