// The product form of the kernel comparison may only answer when the log form
// would give the same answer; near the boundary it must leave it to the logs.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "random/dirichlet.hpp"
#include "monte_carlo/kernel_threshold.hpp"
#include "random/rng.hpp"

namespace {

// Compares the threshold's answer with the log form's for f_star at, just
// beside and far from the draw's own log kernel. Returns how many answers
// were left to the log form.
int check_against_logs(const double* a, int draws) {
  constexpr int D = 4;
  double excess[D];
  kavo::GammaShape shapes[D];
  kavo::AcceptanceBounds bounds[D];
  for (int i = 0; i < D; ++i) {
    excess[i] = a[i] - 1.0;
    shapes[i] = kavo::gamma_shape(a[i]);
    bounds[i] = kavo::AcceptanceBounds(shapes[i]);
  }
  kavo::Rng rng{11};
  int undecided = 0;
  for (int n = 0; n < draws; ++n) {
    double p[D];
    kavo::sample_dirichlet(rng, shapes, bounds, D, p);
    const double f = kavo::log_kernel_excess(excess, p, D);
    const double scale = 1.0 + std::fabs(f);
    const double stars[] = {f,
                            std::nextafter(f, -INFINITY),
                            std::nextafter(f, INFINITY),
                            f - 1e-13 * scale,
                            f + 1e-13 * scale,
                            f - 1e-9 * scale,
                            f + 1e-9 * scale,
                            f - 0.5,
                            f + 0.5};
    for (double f_star : stars) {
      const kavo::KernelThreshold<D> threshold(excess, f_star);
      const double ind = threshold.indicator(p);
      if (ind < 0.0) {
        ++undecided;
        continue;
      }
      const double expected = f >= f_star ? 1.0 : 0.0;
      if (ind != expected) {
        ADD_FAILURE() << "draw " << n << " f " << f << " f_star " << f_star;
        return undecided;
      }
    }
  }
  return undecided;
}

}  // namespace

TEST(KernelThreshold, AnswersOnlyAsTheLogFormWould) {
  const int draws = 20000;
  const double small[] = {2, 3, 4, 5};
  const double mixed[] = {12, 5, 7, 9};
  const double ones[] = {1, 1, 2, 30};
  // At f_star = f and one ulp either side the logs must decide; at 1e-13 they
  // may; at 1e-9 and beyond the product should settle it.
  for (const double* a : {small, mixed, ones}) {
    const int undecided = check_against_logs(a, draws);
    EXPECT_GE(undecided, 3 * draws) << a[0];
    EXPECT_LE(undecided, 5 * draws) << a[0];
  }
}

TEST(KernelThreshold, LeavesToTheLogsWhatTheProductCannotTell) {
  const double p[4] = {0.1, 0.2, 0.3, 0.4};
  const double whole[4] = {1, 2, 3, 4};
  const double non_whole[4] = {1, 2.5, 3, 4};
  const double large[4] = {10, 10, 10, 10};  // total past 32
  const double negative[4] = {-0.5, 2, 3, 4};
  EXPECT_GE(kavo::KernelThreshold<4>(whole, -10.0).indicator(p), 0.0);
  EXPECT_LT(kavo::KernelThreshold<4>(non_whole, -10.0).indicator(p), 0.0);
  EXPECT_LT(kavo::KernelThreshold<4>(large, -10.0).indicator(p), 0.0);
  EXPECT_LT(kavo::KernelThreshold<4>(negative, -10.0).indicator(p), 0.0);
  EXPECT_LT(kavo::KernelThreshold<4>(whole, -INFINITY).indicator(p), 0.0);
  EXPECT_LT(kavo::KernelThreshold<4>(whole, -1000.0).indicator(p), 0.0);
  // A zero cell (whose log times its excess the log form must see), a NaN
  // and a cell too small for the product to stay exact enough.
  const kavo::KernelThreshold<4> threshold(whole, -10.0);
  const double zero[4] = {0.0, 0.2, 0.3, 0.5};
  const double nan[4] = {std::numeric_limits<double>::quiet_NaN(), 0.2, 0.3, 0.5};
  const double tiny[4] = {1e-12, 0.2, 0.3, 0.5};
  EXPECT_LT(threshold.indicator(zero), 0.0);
  EXPECT_LT(threshold.indicator(nan), 0.0);
  EXPECT_LT(threshold.indicator(tiny), 0.0);
}
