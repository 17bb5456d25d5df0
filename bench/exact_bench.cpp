// Cost of the exact evidence per table, through the public interface.
//
// Each benchmark cycles through a fixed set of 64 tables; the reported time
// is the mean per table. The counters give the median, 90th percentile and
// maximum per-table cost in microseconds of thread CPU time, each table timed
// on its own (see per_table_microseconds).
//
// Fixed shapes, one hypothesis at a time: random (every parameter
// log-uniform from about 1.001 to 1e6, half of them whole counts plus one),
// near (tables drawn around a point of the hypothesis, sizes log-uniform
// from 5 to 1e6, so that the evidence is neither 0 nor 1) and near_one (the
// random set with one cell at 1.0001, 1.001 or 1.01).
//
// cells/N: tables of N cells near the hypothesis (2: a proportion, 3: two
// alleles, 4 to 100: r x c independence), counts plus the uniform prior,
// about one cell in twenty empty (a parameter of exactly 1).
// monte_carlo_cells/N: a default Monte Carlo run on four of those tables,
// for the ratio.

#include <algorithm>
#include <cmath>
#include <random>
#include <span>
#include <time.h>
#include <vector>

#include <benchmark/benchmark.h>

#include "kavo/kavo.hpp"

namespace {

using kavo::Hypothesis;

struct Case {
  Hypothesis hypothesis;
  kavo::Shape shape;
  std::vector<double> values;
};

enum class Set { random, near, near_one };

double unit(std::mt19937_64& rng) { return std::uniform_real_distribution<double>(0.0, 1.0)(rng); }

// Counts around cell probabilities p for a sample of n, plus the prior 1;
// a cell empties with probability empty.
std::vector<double> counts_near(const std::vector<double>& p, double n, double empty,
                                std::mt19937_64& rng) {
  std::normal_distribution<double> normal(0.0, 1.0);
  std::vector<double> a;
  for (double q : p) {
    const double mean = n * q;
    const double count = std::max(0.0, std::round(mean + std::sqrt(mean) * normal(rng)));
    a.push_back(unit(rng) < empty ? 1.0 : count + 1.0);
  }
  return a;
}

// The fixed shapes' values from four parameters (proportion: two and a p0
// near the mode; Hardy-Weinberg: the first three).
Case fixed_case(Hypothesis h, std::vector<double> a, std::mt19937_64& rng) {
  if (h == Hypothesis::proportion) {
    a.resize(2);
    const double m = (a[0] - 1.0) / (a[0] + a[1] - 2.0);
    const double sd = std::sqrt(m * (1.0 - m) / (a[0] + a[1]));
    a.push_back(std::clamp(m + (1.0 + unit(rng)) * sd, 1e-9, 1.0 - 1e-9));
  } else if (h == Hypothesis::hardy_weinberg) {
    a.resize(3);
  }
  return {h, kavo::default_shape(h), a};
}

std::vector<Case> fixed_cases(Hypothesis h, Set set) {
  std::mt19937_64 rng(set == Set::random ? 1234 : set == Set::near ? 99 : 77);
  const double near_one[] = {1.0001, 1.001, 1.01};
  std::vector<Case> cases;
  for (int i = 0; i < 64; ++i) {
    std::vector<double> a(4);
    if (set == Set::near) {
      const double n = std::exp(std::log(5.0) + unit(rng) * std::log(2e5));
      const double u = 0.05 + 0.9 * unit(rng), v = 0.05 + 0.9 * unit(rng);
      std::vector<double> p;
      switch (h) {
        case Hypothesis::proportion: p = {u, 1.0 - u, 0.5, 0.5}; break;
        case Hypothesis::hardy_weinberg: p = {u * u, 2.0 * u * (1.0 - u), (1.0 - u) * (1.0 - u), 0.5}; break;
        case Hypothesis::symmetry: p = {u * v, 0.5 * (1.0 - v), 0.5 * (1.0 - v), (1.0 - u) * v}; break;
        default: p = {u * v, u * (1.0 - v), (1.0 - u) * v, (1.0 - u) * (1.0 - v)}; break;
      }
      a = counts_near(p, n, 0.0, rng);
      for (double& x : a) x = std::max(x, 1.001);
    } else {
      for (double& x : a) {
        x = 1.0 + std::exp(std::log(1e-3) + unit(rng) * std::log(1e9));
        if (i % 2 == 0) x = std::max(2.0, std::round(x));
      }
      if (set == Set::near_one) a[i % 4] = near_one[i % 3];
    }
    cases.push_back(fixed_case(h, a, rng));
  }
  return cases;
}

// Tables of the given number of cells near the hypothesis.
std::vector<Case> cell_cases(int cells, int count) {
  std::mt19937_64 rng(4242 + cells);
  std::vector<Case> cases;
  for (int i = 0; i < count; ++i) {
    const double n = std::exp(std::log(20.0) + unit(rng) * std::log(1e4));
    if (cells == 2) {
      const double u = 0.05 + 0.9 * unit(rng);
      std::vector<double> a = counts_near({u, 1.0 - u}, n, 0.05, rng);
      a.push_back(std::clamp(u + (unit(rng) - 0.5) * 4.0 * std::sqrt(u * (1.0 - u) / n), 0.01, 0.99));
      cases.push_back({Hypothesis::proportion, kavo::default_shape(Hypothesis::proportion), a});
      continue;
    }
    if (cells == 3) {
      const double u = 0.05 + 0.9 * unit(rng);
      cases.push_back({Hypothesis::hardy_weinberg, kavo::default_shape(Hypothesis::hardy_weinberg),
                       counts_near({u * u, 2.0 * u * (1.0 - u), (1.0 - u) * (1.0 - u)}, n, 0.05, rng)});
      continue;
    }
    const int r = static_cast<int>(std::lround(std::sqrt(cells)));
    std::vector<double> row(r), column(r), p;
    for (double& x : row) x = 0.2 + unit(rng);
    for (double& x : column) x = 0.2 + unit(rng);
    double total = 0.0;
    for (double x : row) for (double y : column) { p.push_back(x * y); total += x * y; }
    for (double& x : p) x /= total;
    cases.push_back({Hypothesis::independence, kavo::Shape::table(r, r), counts_near(p, n * cells, 0.05, rng)});
  }
  return cases;
}

double thread_cpu_microseconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) * 1e-3;
}

double evidence_of(const Case& c, const kavo::Settings& settings) {
  const kavo::Result r = kavo::compute(c.hypothesis, c.shape, c.values, settings);
  return r.status == kavo::Status::ok ? r.evidence : -1.0;
}

// The cost of one table: the clock costs about a microsecond a reading,
// so each reading spans enough repeated calls (at least 200 us) to make
// that negligible; the best of three such batches.
double per_table_microseconds(const Case& c, const kavo::Settings& settings, double& checksum) {
  double t0 = thread_cpu_microseconds();
  checksum += evidence_of(c, settings);
  const double once = std::max(thread_cpu_microseconds() - t0, 0.01);
  const int repeats = std::clamp(static_cast<int>(200.0 / once), 1, 100000);
  double best = 1e300;
  for (int batch = 0; batch < 3; ++batch) {
    t0 = thread_cpu_microseconds();
    for (int i = 0; i < repeats; ++i) checksum += evidence_of(c, settings);
    best = std::min(best, (thread_cpu_microseconds() - t0) / repeats);
  }
  return best;
}

void time_cases(benchmark::State& state, const std::vector<Case>& cases, const kavo::Settings& settings) {
  std::vector<double> per_table;
  double checksum = 0.0;
  int failed = 0;
  for (const Case& c : cases) {
    per_table.push_back(per_table_microseconds(c, settings, checksum));
    failed += evidence_of(c, settings) < 0.0;
  }
  benchmark::DoNotOptimize(checksum);
  std::sort(per_table.begin(), per_table.end());
  std::size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(evidence_of(cases[i++ % cases.size()], settings));
  state.counters["median_us"] = per_table[per_table.size() / 2];
  state.counters["p90_us"] = per_table[per_table.size() * 9 / 10];
  state.counters["max_us"] = per_table.back();
  state.counters["failed"] = failed;
}

kavo::Settings exact_settings() {
  kavo::Settings s;
  s.method = kavo::Method::exact;
  return s;
}

void fixed(benchmark::State& state, Hypothesis h, Set set) {
  time_cases(state, fixed_cases(h, set), exact_settings());
}

void cells(benchmark::State& state) {
  time_cases(state, cell_cases(static_cast<int>(state.range(0)), 64), exact_settings());
}

void monte_carlo_cells(benchmark::State& state) {
  kavo::Settings mc;
  mc.method = kavo::Method::monte_carlo;
  std::vector<Case> cases = cell_cases(static_cast<int>(state.range(0)), 4);
  // Monte Carlo takes no parameter of exactly 1: the prior 1.5 instead there.
  for (Case& c : cases) for (int k = 0; k < kavo::dirichlet_count(c.hypothesis, c.shape); ++k) c.values[k] = std::max(c.values[k], 1.5);
  double total = 0.0, checksum = 0.0;
  for (auto _ : state) {
    total = 0.0;
    for (const Case& c : cases) {
      const double t0 = thread_cpu_microseconds();
      checksum += evidence_of(c, mc);
      total += thread_cpu_microseconds() - t0;
    }
  }
  benchmark::DoNotOptimize(checksum);
  state.counters["mean_us"] = total / static_cast<double>(cases.size());
}

}  // namespace

#define FIXED(name, h)                                                                       \
  BENCHMARK_CAPTURE(fixed, name, h, Set::random)->Unit(benchmark::kMicrosecond);             \
  BENCHMARK_CAPTURE(fixed, name##_near, h, Set::near)->Unit(benchmark::kMicrosecond);        \
  BENCHMARK_CAPTURE(fixed, name##_near_one, h, Set::near_one)->Unit(benchmark::kMicrosecond)

FIXED(proportion, Hypothesis::proportion);
FIXED(hardy_weinberg, Hypothesis::hardy_weinberg);
FIXED(homogeneity, Hypothesis::homogeneity);
FIXED(independence, Hypothesis::independence);
FIXED(symmetry, Hypothesis::symmetry);

BENCHMARK(cells)->Arg(2)->Arg(3)->Arg(4)->Arg(9)->Arg(16)->Arg(36)->Arg(100)->Unit(benchmark::kMicrosecond);
BENCHMARK(monte_carlo_cells)->Arg(2)->Arg(3)->Arg(4)->Arg(9)->Arg(16)->Arg(36)->Arg(100)
    ->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
