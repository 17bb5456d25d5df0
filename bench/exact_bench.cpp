// Cost of the exact evidence per table, one hypothesis at a time.
//
// Each benchmark cycles through a fixed set of 64 tables; the reported time
// is the mean per table. The counters give the median, 90th percentile and
// maximum per-table cost in microseconds of thread CPU time, each table timed
// on its own (see per_table_microseconds).
//
// Sets: random (every parameter log-uniform from about 1.001 to 1e6, half of
// them whole counts plus one; far from the hypothesis most of these settle
// at once), near (tables drawn around a point of the hypothesis, sizes
// log-uniform from 5 to 1e6, so that the evidence is neither 0 nor 1), and
// near_one (the random set with one cell at 1.0001, 1.001 or 1.01, the
// slowest regime).

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <time.h>
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

enum class Set { random, near, near_one };

// A table of size n around a point of the hypothesis.
std::vector<double> near_table(Hypothesis h, std::mt19937_64& rng) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::normal_distribution<double> normal(0.0, 1.0);
  const double n = std::exp(std::log(5.0) + unit(rng) * std::log(2e5));
  const double u = 0.05 + 0.9 * unit(rng);
  const double v = 0.05 + 0.9 * unit(rng);
  std::vector<double> p;
  switch (h) {
    case Hypothesis::proportion: p = {u, 1.0 - u, 0.0, 0.0}; break;
    case Hypothesis::hardy_weinberg: p = {u * u, 2.0 * u * (1.0 - u), (1.0 - u) * (1.0 - u), 0.0}; break;
    case Hypothesis::homogeneity: p = {v * u, v * (1.0 - u), (1.0 - v) * u, (1.0 - v) * (1.0 - u)}; break;
    case Hypothesis::independence: p = {u * v, u * (1.0 - v), (1.0 - u) * v, (1.0 - u) * (1.0 - v)}; break;
    case Hypothesis::symmetry: p = {u * v, 0.5 * (1.0 - v), 0.5 * (1.0 - v), (1.0 - u) * v}; break;
  }
  std::vector<double> a(4);
  for (int i = 0; i < 4; ++i) {
    const double mean = n * p[i];
    a[i] = std::max(1.001, 1.0 + mean + 1.5 * std::sqrt(mean) * normal(rng));
  }
  return a;
}

std::vector<Case> make_cases(Hypothesis h, Set set) {
  std::mt19937_64 rng(set == Set::random ? 1234 : set == Set::near ? 99 : 77);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const double near_one[] = {1.0001, 1.001, 1.01};
  std::vector<Case> cases;
  for (int i = 0; i < 64; ++i) {
    std::vector<double> a(4);
    if (set == Set::near) {
      a = near_table(h, rng);
    } else {
      for (double& v : a) {
        v = 1.0 + std::exp(std::log(1e-3) + unit(rng) * std::log(1e9));
        if (i % 2 == 0) v = std::max(2.0, std::round(v));  // whole counts plus one
      }
      if (set == Set::near_one) a[i % 4] = near_one[i % 3];
    }
    cases.push_back(make_case(h, a));
  }
  return cases;
}

double thread_cpu_microseconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) * 1e-3;
}

// The cost of one table: the clock costs about a microsecond a reading,
// so each reading spans enough repeated calls (at least 200 us) to make
// that negligible; the best of three such batches.
double per_table_microseconds(const Case& c, double& checksum) {
  double t0 = thread_cpu_microseconds();
  checksum += exact_evidence(c.a, c.blocks, c.point).evidence;
  const double once = std::max(thread_cpu_microseconds() - t0, 0.01);
  const int repeats = std::clamp(static_cast<int>(200.0 / once), 1, 100000);
  double best = 1e300;
  for (int batch = 0; batch < 3; ++batch) {
    t0 = thread_cpu_microseconds();
    for (int i = 0; i < repeats; ++i) checksum += exact_evidence(c.a, c.blocks, c.point).evidence;
    best = std::min(best, (thread_cpu_microseconds() - t0) / repeats);
  }
  return best;
}

void run(benchmark::State& state, Hypothesis h, Set set) {
  const std::vector<Case> cases = make_cases(h, set);
  std::vector<double> per_table;
  double checksum = 0.0;
  for (const Case& c : cases) per_table.push_back(per_table_microseconds(c, checksum));
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

BENCHMARK_CAPTURE(run, proportion, Hypothesis::proportion, Set::random)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(run, hardy_weinberg, Hypothesis::hardy_weinberg, Set::random)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(run, homogeneity, Hypothesis::homogeneity, Set::random)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(run, independence, Hypothesis::independence, Set::random)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(run, symmetry, Hypothesis::symmetry, Set::random)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(run, proportion_near, Hypothesis::proportion, Set::near)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(run, hardy_weinberg_near, Hypothesis::hardy_weinberg, Set::near)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(run, homogeneity_near, Hypothesis::homogeneity, Set::near)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(run, independence_near, Hypothesis::independence, Set::near)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(run, symmetry_near, Hypothesis::symmetry, Set::near)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(run, proportion_near_one, Hypothesis::proportion, Set::near_one)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(run, hardy_weinberg_near_one, Hypothesis::hardy_weinberg, Set::near_one)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(run, homogeneity_near_one, Hypothesis::homogeneity, Set::near_one)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(run, independence_near_one, Hypothesis::independence, Set::near_one)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(run, symmetry_near_one, Hypothesis::symmetry, Set::near_one)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
