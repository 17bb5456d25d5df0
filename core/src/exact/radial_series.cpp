#include "radial_series.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

namespace kavo::exact {

bool RadialSeries::build(const BetaBlock& block, double x_end, double tolerance) {
  x_end_ = x_end;
  // Below the scale where psi stops being quadratic the density has
  // structure on that scale, and beyond it a correction decaying like a
  // power of r: panels growing by 4 in r see each part at its own scale.
  const double scale = std::sqrt(block.n * std::min(psi(block, -1.0), psi(block, 1.0)));
  std::vector<double> r_ends = {0.0};
  for (double e = scale; e < 0.25 * x_end; e *= 4.0) r_ends.push_back(e);
  r_ends.push_back(x_end);
  scale_ends_.assign(r_ends.begin() + 1, r_ends.end() - 1);
  std::vector<double> rho_ends;
  for (double e : r_ends) rho_ends.push_back(e * e);
  rho_ends.back() = x_end * x_end;

  // Successive samples lie close together: each root starts from the last.
  RadialHint hint;
  bool ok = in_rho_.build(
      [&](double rho) { return radial_density(block, std::sqrt(std::max(rho, 0.0)), &hint); },
      rho_ends, tolerance, false);
  // The second approximation only has to follow the first; a tenth of the
  // tolerance keeps its own share small. Its samples cost no root, so it
  // takes more panels of degree 16 for cheaper evaluation.
  ok = in_r_.build([&](double r) { return in_rho_.value(r * r); }, r_ends, 0.1 * tolerance, true, 16) &&
       ok;
  integrated_error_ = in_rho_.sup_error() * x_end + in_r_.integrated_error();
  density_error_ = in_rho_.sup_error() + in_r_.sup_error();
  return ok;
}

double RadialSeries::density(double r) const { return std::max(0.0, in_rho_.value(r * r)); }

double RadialSeries::mass_to_end(double x) const { return std::max(0.0, in_r_.integral_to_end(x)); }

}  // namespace kavo::exact
