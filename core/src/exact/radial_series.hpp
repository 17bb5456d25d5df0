#pragma once
// A block's radial density h on [0, X] and its running integral, cheap to
// evaluate after one build.
//
// h is even in r, so it is a smooth function of rho = r^2, where its
// Gaussian-like decay e^-rho needs far lower degree than e^-r^2 does in r:
// the density is approximated in rho, which is where every level-set root
// is spent. The running integral is then taken from a second approximation
// in r, sampled from the first at no further root. A block with a small
// exponent starts from geometrically growing panels near 0, where its
// density changes on the scale of the quadratic part of psi.

#include <cmath>
#include <vector>

#include "beta_block.hpp"
#include "chebyshev_panels.hpp"

namespace kavo::exact {

class RadialSeries {
 public:
  // Builds both approximations on [0, x_end] to a sup-norm error of about
  // tolerance. Returns false when a panel budget ran out.
  bool build(const BetaBlock& block, double x_end, double tolerance);

  // h(r) for 0 <= r <= x_end, never negative.
  double density(double r) const;
  // The integral of h from x to x_end.
  double mass_to_end(double x) const;
  // The integral over [0, x_end].
  double total_mass() const { return in_r_.total_integral(); }

  double x_end() const { return x_end_; }
  // The integral over [0, x_end] of the estimated error of the density.
  double integrated_error() const { return integrated_error_; }
  // A bound on the error of the density that mass_to_end integrates, at any
  // one point: the mass between x and y is good to about density_error() * |y - x|.
  double density_error() const { return density_error_; }
  int panel_count() const { return in_rho_.panel_count() + in_r_.panel_count(); }
  // The radii in (0, x_end) where the density changes scale (the geometric
  // panel ends of a small exponent), for quadratures that see it.
  int structure_count() const { return static_cast<int>(scale_ends_.size()); }
  double structure_radius(int i) const { return scale_ends_[static_cast<std::size_t>(i)]; }

 private:
  ChebyshevPanels in_rho_;  // h(sqrt(rho)) on [0, x_end^2]
  ChebyshevPanels in_r_;    // h(r) on [0, x_end], with its running integral
  std::vector<double> scale_ends_;
  double x_end_ = 0.0;
  double integrated_error_ = 0.0;
  double density_error_ = 0.0;
};

}  // namespace kavo::exact
