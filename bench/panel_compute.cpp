// The computing alone of a batch panel: reads a labelled three-count panel
// (the one bench/batch_scaling.sh writes), adds the prior and times the
// library's compute over every row on one thread. Subtracted from the batch
// run's time on one thread, it leaves the time spent reading, parsing and
// writing. Usage: kavo_panel_compute PANEL [monte_carlo PRECISION]
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "kavo/kavo.hpp"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s PANEL [monte_carlo PRECISION]\n", argv[0]);
    return 1;
  }
  std::ifstream in(argv[1]);
  std::vector<double> values;
  std::string line, label;
  std::getline(in, line);  // the header
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    double a, b, c;
    fields >> label >> a >> b >> c;
    values.insert(values.end(), {a + 1, b + 1, c + 1});
  }
  kavo::Settings settings;
  settings.method = kavo::Method::exact;
  if (argc >= 4) {
    settings.method = kavo::Method::monte_carlo;
    settings.precision = std::atof(argv[3]);
  }
  const std::size_t rows = values.size() / 3;
  double sum = 0.0;
  const auto start = std::chrono::steady_clock::now();
  const std::clock_t cpu_start = std::clock();
  for (std::size_t i = 0; i < rows; ++i) {
    const kavo::Result r = kavo::compute(kavo::Hypothesis::hardy_weinberg,
                                         std::span<const double>(&values[3 * i], 3), settings);
    sum += r.evidence;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double cpu = static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC;
  // The last line, read by the script: rows, wall seconds, CPU seconds.
  std::printf("checksum %.9g\n%zu %.6f %.6f\n", sum, rows, seconds, cpu);
  return 0;
}
