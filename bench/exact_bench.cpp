// Cost of the exact evidence per table, one hypothesis at a time.
//
// Each benchmark cycles through a fixed set of tables (parameters from about
// 1.001 to 1e6, log-uniform, whole and non-whole, or the hard set with a cell
// just above 1); the reported time is the mean per table. The counters give
// the median, 90th percentile and maximum per-table cost in microseconds,
// each table timed on its own as the best of a few repetitions.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numeric>
#include <random>
#include <span>
#include <vector>

#include <benchmark/benchmark.h>

#include "exact_evidence.hpp"

namespace {

using kavo::exact::exact_evidence;

enum class Hypothesis { proportion, hardy_weinberg, homogeneity, independence, symmetry };

struct Case {
  std::vector<double> a;
  std::vector<int> blocks;
  std::vector<double> point;
};

Case make_case(Hypothesis h, const std::vector<double>& a) {
  Case c;
  c.a = a;
  const double s = std::accumulate(a.begin(), a.end(), 0.0);
  switch (h) {
    case Hypothesis::proportion: {
      c.a.resize(2);
      // A point within a few posterior widths of the mode.
      const double m = (c.a[0] - 1.0) / (c.a[0] + c.a[1] - 2.0);
      const double sd = std::sqrt(m * (1.0 - m) / (c.a[0] + c.a[1]));
      const double p0 = std::clamp(m + 1.7 * sd, 1e-9, 1.0 - 1e-9);
      c.blocks = {2};
      c.point = {p0, 1.0 - p0};
      break;
    }
    case Hypothesis::hardy_weinberg: {
      c.a.resize(3);
      const double s3 = c.a[0] + c.a[1] + c.a[2];
      const double t = (2.0 * c.a[0] + c.a[1] - 3.0) / ((s3 - 3.0) * 2.0);
      c.blocks = {3};
      c.point = {t * t, 2.0 * t * (1.0 - t), 1.0 - t * t - 2.0 * t * (1.0 - t)};
      break;
    }
    case Hypothesis::homogeneity: {
      const double t = (a[0] + a[2] - 2.0) / (s - 4.0);
      c.blocks = {2, 2};
      c.point = {t, 1.0 - t, t, 1.0 - t};
      break;
    }
    case Hypothesis::independence: {
      const double r = (a[0] + a[1] - 2.0) / (s - 4.0);
      const double col = (a[0] + a[2] - 2.0) / (s - 4.0);
      c.blocks = {4};
      c.point = {r * col, (1.0 - col) * r, (1.0 - r) * col, (1.0 - r) * (1.0 - col)};
      break;
    }
    case Hypothesis::symmetry: {
      const double m = (a[1] + a[2] - 2.0) / (2.0 * (s - 4.0));
      c.blocks = {4};
      c.point = {(a[0] - 1.0) / (s - 4.0), m, m, (a[3] - 1.0) / (s - 4.0)};
      break;
    }
  }
  return c;
}

std::vector<Case> make_cases(Hypothesis h, bool hard) {
  std::mt19937_64 rng(hard ? 77 : 1234);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const double near_one[] = {1.0001, 1.001, 1.01};
  std::vector<Case> cases;
  for (int i = 0; i < 64; ++i) {
    std::vector<double> a(4);
    for (double& v : a) {
      v = 1.0 + std::exp(std::log(1e-3) + unit(rng) * std::log(1e9));
      if (i % 2 == 0) v = std::max(2.0, std::round(v));  // whole counts plus one
    }
    if (hard) a[i % 4] = near_one[i % 3];
    cases.push_back(make_case(h, a));
  }
  return cases;
}

void run(benchmark::State& state, Hypothesis h, bool hard) {
  const std::vector<Case> cases = make_cases(h, hard);
  std::vector<double> per_table;
  double checksum = 0.0;
  for (const Case& c : cases) {
    double best = 1e300;
    for (int rep = 0; rep < 5; ++rep) {
      const auto t0 = std::chrono::steady_clock::now();
      const auto r = exact_evidence(c.a, c.blocks, c.point);
      const auto t1 = std::chrono::steady_clock::now();
      checksum += r.evidence;
      best = std::min(best, std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    per_table.push_back(best);
  }
  benchmark::DoNotOptimize(checksum);
  std::sort(per_table.begin(), per_table.end());
  std::size_t i = 0;
  for (auto _ : state) {
    const Case& c = cases[i++ % cases.size()];
    benchmark::DoNotOptimize(exact_evidence(c.a, c.blocks, c.point));
  }
  state.counters["median_us"] = per_table[per_table.size() / 2];
  state.counters["p90_us"] = per_table[per_table.size() * 9 / 10];
  state.counters["max_us"] = per_table.back();
}

}  // namespace

BENCHMARK_CAPTURE(run, proportion, Hypothesis::proportion, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(run, hardy_weinberg, Hypothesis::hardy_weinberg, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(run, homogeneity, Hypothesis::homogeneity, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(run, independence, Hypothesis::independence, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(run, symmetry, Hypothesis::symmetry, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(run, proportion_near_one, Hypothesis::proportion, true)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(run, hardy_weinberg_near_one, Hypothesis::hardy_weinberg, true)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(run, homogeneity_near_one, Hypothesis::homogeneity, true)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(run, independence_near_one, Hypothesis::independence, true)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(run, symmetry_near_one, Hypothesis::symmetry, true)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
