// Cost per draw of the estimator, tuned core against a literal reading of the
// same rules, for every program on inputs that exercise each gamma method:
// whole shapes below 6 (direct), shapes of 6 and more (rejection), non-whole
// shapes below 6 (rejection) and a mix. Each iteration is one whole run of a
// fixed number of draws (precision 0 never stops early).

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "random/acceptance_bounds.hpp"
#include "monte_carlo/estimator.hpp"
#include "evidence.hpp"
#include "kavo/kavo.hpp"
#include "literal/literal_reading.hpp"
#include "hypotheses/registry.hpp"
#include "monte_carlo/estimator.hpp"

namespace {

constexpr std::int64_t kDraws = 100000;

struct BenchInput {
  const kavo::HypothesisSpec* spec;
  const char* kind;
  std::vector<double> values;
};

std::string label(const BenchInput& in) {
  std::string s = std::string(in.spec->program_name) + "/" + in.kind + "/";
  for (std::size_t i = 0; i < in.values.size(); ++i) {
    if (i) s += "_";
    std::string v = std::to_string(in.values[i]);
    v.erase(v.find_last_not_of('0') + 1);
    if (v.back() == '.') v.pop_back();
    s += v;
  }
  return s;
}

void report(benchmark::State& state, std::int64_t draws) {
  state.counters["draws_per_s"] =
      benchmark::Counter(static_cast<double>(draws), benchmark::Counter::kIsIterationInvariantRate);
  // Seconds per draw, printed with an SI prefix ("257n" is 257 ns).
  state.counters["time_per_draw"] = benchmark::Counter(
      static_cast<double>(draws),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void tuned(benchmark::State& state, const BenchInput& in, std::int64_t max_draws,
           double precision) {
  const double f_star = kavo::hypothesis_f_star(*in.spec, in.values.data());
  kavo::TangentSettings settings;
  settings.max_draws = max_draws;
  settings.precision = precision;
  std::int64_t draws = 0;
  for (auto _ : state) {
    kavo::Rng rng{kavo::kDefaultSeed};
    const kavo::TangentResult r = kavo::estimate_tangent_mass(
        in.values.data(), in.spec->blocks.sizes, in.spec->blocks.count, f_star, settings, rng);
    benchmark::DoNotOptimize(r.estimate);
    draws = r.draws;
  }
  report(state, draws);
}

void literal(benchmark::State& state, const BenchInput& in, std::int64_t max_draws,
             double precision) {
  const double f_star = kavo::hypothesis_f_star(*in.spec, in.values.data());
  std::int64_t draws = 0;
  for (auto _ : state) {
    const kavo_literal::LiteralResult r =
        kavo_literal::literal_tangent_mass(*in.spec, in.values.data(), f_star, max_draws,
                                           precision);
    benchmark::DoNotOptimize(r.estimate);
    draws = r.draws;
  }
  report(state, draws);
}

// The per-run cost of tabulating one shape's acceptance bounds, paid once per
// rejection-method cell before the first draw.
void acceptance_table(benchmark::State& state) {
  const kavo::GammaShape shape = kavo::gamma_shape(12.0);
  for (auto _ : state) {
    const kavo::AcceptanceBounds bounds(shape);
    benchmark::DoNotOptimize(bounds.bin(0.5).reject_above);
  }
}

// Cost per draw as the table grows: r x c independence tables of non-whole
// parameters (every cell by the rejection method), through the shaped
// interface, 20000 draws a run. 2x2 takes the specialised loop; the others
// the general one.
void cells(benchmark::State& state, int rows, int columns) {
  std::vector<double> values;
  for (int i = 0; i < rows * columns; ++i) values.push_back(2.5 + (i * 7) % 11);
  kavo::Settings settings;
  settings.max_draws = 20000;
  settings.precision = 0.0;
  std::int64_t draws = 0;
  for (auto _ : state) {
    const kavo::Result r = kavo::compute(kavo::Hypothesis::independence,
                                         kavo::Shape::table(rows, columns), values, settings);
    benchmark::DoNotOptimize(r.evidence);
    draws = r.draws;
  }
  report(state, draws);
}

}  // namespace

int main(int argc, char** argv) {
  static const std::vector<BenchInput> inputs = {
      {&kavo::kIndependence, "mix", {12, 5, 7, 9}},
      {&kavo::kIndependence, "direct", {2, 3, 4, 5}},
      {&kavo::kIndependence, "rejection", {20, 8, 6, 30}},
      {&kavo::kIndependence, "nonwhole", {2.5, 3, 4.5, 5.5}},
      {&kavo::kSymmetry, "mix", {12, 5, 7, 9}},
      {&kavo::kHomogeneity, "mix", {12, 5, 7, 9}},
      {&kavo::kHomogeneity, "nonwhole", {1.5, 4, 2.2, 3}},
      {&kavo::kHardyWeinberg, "direct", {3, 4, 5}},
      {&kavo::kHardyWeinberg, "rejection", {25, 50, 30}},
      {&kavo::kHardyWeinberg, "nonwhole", {3, 2, 1.5}},
      {&kavo::kProportion, "rejection", {30, 70, 0.25}},
      {&kavo::kProportion, "nonwhole", {1.7, 2.3, 0.6}},
  };
  for (const BenchInput& in : inputs) {
    benchmark::RegisterBenchmark(("literal/" + label(in)).c_str(), literal, in, kDraws, 0.0)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("tuned/" + label(in)).c_str(), tuned, in, kDraws, 0.0)
        ->Unit(benchmark::kMillisecond);
  }
  // A whole run with the default maxMC and precision, stopped by the rule.
  const BenchInput& mix = inputs.front();
  const kavo::TangentSettings defaults;
  benchmark::RegisterBenchmark(("default_run/literal/" + label(mix)).c_str(), literal, mix,
                               defaults.max_draws, defaults.precision)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark(("default_run/tuned/" + label(mix)).c_str(), tuned, mix,
                               defaults.max_draws, defaults.precision)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("setup/acceptance_table/12", acceptance_table)
      ->Unit(benchmark::kMicrosecond);
  for (const auto& [rows, columns] : std::vector<std::pair<int, int>>{
           {2, 2}, {2, 3}, {3, 3}, {4, 4}, {6, 6}, {10, 10}}) {
    benchmark::RegisterBenchmark(
        ("cells/" + std::to_string(rows * columns) + "/independence_" + std::to_string(rows) +
         "x" + std::to_string(columns)).c_str(),
        cells, rows, columns)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
