#include "monte_carlo/estimator.hpp"

#include <cmath>
#include <vector>

#include "random/acceptance_bounds.hpp"
#include "random/dirichlet.hpp"
#include "random/gamma.hpp"
#include "monte_carlo/kernel_threshold.hpp"
#include "random/uniform_stream.hpp"

namespace kavo {

void tangent_check(TangentStats& st, const TangentSettings& settings) {
  const std::int64_t m_count = static_cast<std::int64_t>(settings.k) * st.n;
  const double m = static_cast<double>(m_count);
  const double mw = st.sum_w / m, min = st.sum_in / m, mout = st.sum_out / m;
  const double mw2 = st.sum_w2 / m, min2 = st.sum_in2 / m, mout2 = st.sum_out2 / m;

  const double sd_w = std::sqrt(mw2 - mw * mw);
  const double sd_in = std::sqrt(min2 - min * min);
  const double sd_out = std::sqrt(mout2 - mout * mout);

  const double est = min / mw;
  st.estimate = est;
  const double c_in = sd_in / mw;
  const double c_out = sd_out / mw;

  // Fieller's interval for the ratio Min / Mw; the covariance of ind * w with w
  // is written through the variance of out * w.
  const double A = mw * mw - kZ2 * (sd_w * sd_w) / m;
  const double B = mw * min - kZ2 * (sd_w * sd_w - sd_out * sd_out + min * mout) / m;
  const double C = min * min - kZ2 * (sd_in * sd_in) / m;
  const double D = B * B - A * C;
  st.h = D >= 0.0 ? std::sqrt(D) / A : 1.0;

  // Linearised (delta-method) standard error of the same ratio.
  const double one_minus = 1.0 - est;
  const double V = c_in * c_in * (one_minus * one_minus) + c_out * c_out * (est * est) +
                   2.0 * (est * est) * (one_minus * one_minus);
  st.se = std::sqrt(kZ2 * V / m);

  if (st.n < settings.min_draws) return;
  if (st.n >= settings.max_draws) {
    st.keep_going = false;
  } else if (st.h > 0.0 && st.h < settings.precision && st.se < settings.precision) {
    st.keep_going = false;
  }
}

namespace {

// Adds one draw's indicator to the sums and makes the check every 100 draws.
// False when the run has been cancelled.
inline bool add_draw(TangentStats& st, double ind, const TangentSettings& settings) {
  const double w = 1.0;
  const double w2 = w * w;
  const double out = 1.0 - ind;
  st.sum_w += w;
  st.sum_in += ind * w;
  st.sum_out += out * w;
  st.sum_w2 += w2;
  st.sum_in2 += ind * w2;
  st.sum_out2 += out * w2;
  if (st.n % 100 != 0) return true;
  tangent_check(st, settings);
  return !(settings.stop != nullptr && settings.stop->load(std::memory_order_relaxed));
}

TangentResult cancelled_run(const TangentStats& st) {
  TangentResult cancelled;
  cancelled.status = TangentStatus::cancelled;
  cancelled.draws = st.n;
  return cancelled;
}

TangentResult finished_run(const TangentStats& st) {
  TangentResult result;
  result.estimate = st.estimate;
  result.draws = st.n;
  result.fieller_half_width = st.h;
  result.linear_half_width = st.se;
  return result;
}

// The draw loop, specialised to the dimension and layout so the sampler and
// kernel inline and unroll.
template <int D, SamplerLayout Layout>
TangentResult run_draws(const double* a, double f_star, const TangentSettings& settings,
                        Rng& rng) {
  GammaShape shapes[D];
  AcceptanceBounds bounds[D];
  double excess[D];
  for (int i = 0; i < D; ++i) {
    shapes[i] = gamma_shape(a[i]);
    bounds[i] = AcceptanceBounds(shapes[i]);
    excess[i] = a[i] - 1.0;
  }

  const KernelThreshold<D> threshold(excess, f_star);

  TangentStats st;
  UniformStream uniforms(rng);
  double p[D];
  while (st.keep_going) {
    st.n = st.n + 1;
    if constexpr (Layout == SamplerLayout::row_blocks) {
      sample_row_blocks(uniforms, shapes, bounds, p);
    } else {
      sample_dirichlet(uniforms, shapes, bounds, D, p);
    }
    double ind = threshold.indicator(p);
    if (ind < 0.0) {
      const double f = log_kernel_excess(excess, p, D);
      ind = f >= f_star ? 1.0 : 0.0;
    }
    if (!add_draw(st, ind, settings)) return cancelled_run(st);
  }
  return finished_run(st);
}

// Any other layout: blocks of any size, up to kMaxCells cells. The per-run
// tables are allocated once, before the first draw; the kernel is compared
// in its log form.
TangentResult run_draws_general(const double* a, const int* sizes, int blocks, double f_star,
                                const TangentSettings& settings, Rng& rng) {
  int d = 0;
  for (int b = 0; b < blocks; ++b) d += sizes[b];
  std::vector<GammaShape> shapes(static_cast<std::size_t>(d));
  std::vector<AcceptanceBounds> bounds(static_cast<std::size_t>(d));
  std::vector<double> excess(static_cast<std::size_t>(d)), p(static_cast<std::size_t>(d));
  for (int i = 0; i < d; ++i) {
    shapes[i] = gamma_shape(a[i]);
    bounds[i] = AcceptanceBounds(shapes[i]);
    excess[i] = a[i] - 1.0;
  }
  TangentStats st;
  UniformStream uniforms(rng);
  while (st.keep_going) {
    st.n = st.n + 1;
    for (int b = 0, first = 0; b < blocks; first += sizes[b], ++b) {
      sample_dirichlet(uniforms, &shapes[first], &bounds[first], sizes[b], &p[first]);
    }
    const double ind = log_kernel_excess(excess.data(), p.data(), d) >= f_star ? 1.0 : 0.0;
    if (!add_draw(st, ind, settings)) return cancelled_run(st);
  }
  return finished_run(st);
}

}  // namespace

TangentResult estimate_tangent_mass(const double* a, int d, SamplerLayout layout,
                                    double f_star, const TangentSettings& settings,
                                    Rng& rng) {
  TangentResult failed;
  if (d < 1 || d > 4) {
    failed.status = TangentStatus::bad_dimension;
    return failed;
  }
  for (int i = 0; i < d; ++i) {
    if (!gamma_shape_valid(a[i])) {
      failed.status = TangentStatus::bad_gamma_shape;
      return failed;
    }
  }
  if (layout == SamplerLayout::row_blocks) {
    if (d != 4) {
      failed.status = TangentStatus::bad_dimension;
      return failed;
    }
    return run_draws<4, SamplerLayout::row_blocks>(a, f_star, settings, rng);
  }
  switch (d) {
    case 1: return run_draws<1, SamplerLayout::single_block>(a, f_star, settings, rng);
    case 2: return run_draws<2, SamplerLayout::single_block>(a, f_star, settings, rng);
    case 3: return run_draws<3, SamplerLayout::single_block>(a, f_star, settings, rng);
    default: return run_draws<4, SamplerLayout::single_block>(a, f_star, settings, rng);
  }
}

TangentResult estimate_tangent_mass(const double* a, const int* sizes, int blocks, double f_star,
                                    const TangentSettings& settings, Rng& rng) {
  TangentResult failed;
  int d = 0;
  for (int b = 0; b < blocks; ++b) {
    if (sizes[b] < 1) {
      failed.status = TangentStatus::bad_dimension;
      return failed;
    }
    d += sizes[b];
  }
  if (blocks < 1 || d > kMaxCells) {
    failed.status = TangentStatus::bad_dimension;
    return failed;
  }
  // The layouts with specialised loops keep them (and their exact stream).
  if (blocks == 1 && d <= 4) {
    return estimate_tangent_mass(a, d, SamplerLayout::single_block, f_star, settings, rng);
  }
  if (blocks == 2 && sizes[0] == 2 && sizes[1] == 2) {
    return estimate_tangent_mass(a, 4, SamplerLayout::row_blocks, f_star, settings, rng);
  }
  for (int i = 0; i < d; ++i) {
    if (!gamma_shape_valid(a[i])) {
      failed.status = TangentStatus::bad_gamma_shape;
      return failed;
    }
  }
  return run_draws_general(a, sizes, blocks, f_star, settings, rng);
}

}  // namespace kavo
