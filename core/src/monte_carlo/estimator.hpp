#pragma once
// The Monte Carlo estimator of the tangent mass: the posterior probability of
// the points whose log kernel reaches f_star, the log kernel's largest value
// on the hypothesis.

#include <atomic>
#include <cstdint>

#include "kavo/kavo.hpp"
#include "random/rng.hpp"

namespace kavo {

// How one posterior draw is made.
enum class SamplerLayout {
  single_block,  // one Dirichlet draw over all d cells
  row_blocks,    // two independent rows of two cells (d = 4)
};

// The running sums of one estimation. Every draw has weight 1, but the sums
// are kept as the weighted ratio estimator defines them.
struct TangentStats {
  std::int64_t n = 0;
  double sum_w = 0.0, sum_in = 0.0, sum_out = 0.0;
  double sum_w2 = 0.0, sum_in2 = 0.0, sum_out2 = 0.0;
  double h = 0.0;  // Fieller half-width at the last check
  double se = 0.0;  // linearised half-width at the last check
  double estimate = 0.0;
  bool keep_going = true;
};

struct TangentSettings {
  int k = 3;                                   // divisor factor of the check
  std::int64_t max_draws = kDefaultMaxDraws;  // maxMC
  std::int64_t min_draws = 10000;
  double precision = kDefaultPrecision;
  // When set, read at every check: true ends the run as cancelled.
  const std::atomic<bool>* stop = nullptr;
};

enum class TangentStatus {
  ok,
  bad_dimension,    // d or the layout is not one the samplers support
  bad_gamma_shape,  // a Dirichlet parameter below 1: no gamma deviate exists
  cancelled,        // settings.stop was raised
};

struct TangentResult {
  TangentStatus status = TangentStatus::ok;
  double estimate = 0.0;
  std::int64_t draws = 0;
  double fieller_half_width = 0.0;
  double linear_half_width = 0.0;
};

// The critical constant that multiplies every variance term of the check.
inline constexpr double kZ2 = 6.7;

// The check made every 100 draws: updates the estimate and both half-widths
// from the sums and clears keep_going when the stop rule is met.
void tangent_check(TangentStats& stats, const TangentSettings& settings);

// Draws from the Dirichlet posterior with parameters a[0..d-1] (d at most 4)
// in the given layout until the stop rule ends the run. Reads only the first d entries of
// a. Never prints, never exits, allocates nothing.
TangentResult estimate_tangent_mass(const double* a, int d, SamplerLayout layout,
                                    double f_star, const TangentSettings& settings,
                                    Rng& rng);

// The same for independent Dirichlet blocks of the given sizes over
// consecutive cells, at most kMaxCells in all. One block of at most four
// cells and two rows of two take the specialised loops above, with their
// stream; any other layout a general loop whose tables are allocated before
// the first draw.
TangentResult estimate_tangent_mass(const double* a, const int* sizes, int blocks, double f_star,
                                    const TangentSettings& settings, Rng& rng);

}  // namespace kavo
