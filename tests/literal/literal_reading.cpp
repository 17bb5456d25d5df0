#include "literal/literal_reading.hpp"

#include <cmath>


namespace kavo_literal {

namespace {

struct Generator {
  std::int32_t s;
};

std::int32_t rng_next(Generator* g) {
  std::int32_t q = g->s / 127773;
  g->s = 16807 * (g->s - q * 127773) - 2836 * q;
  if (g->s <= 0) g->s = g->s + 2147483647;
  return g->s;
}

double rng_uniform(Generator* g) {
  const long double scale = 1.0L / 2147483647.0L;
  return static_cast<double>(rng_next(g) * scale);
}

double gamdev(Generator* g, double a) {
  if (a < 6 && a == std::floor(a)) {
    double x = 1.0;
    for (int i = 1; i <= a; i++) x = x * rng_uniform(g);
    return -std::log(x);
  }
  double x, y, e;
  do {
    double t1, t2;
    do {
      do {
        t1 = 2.0 * rng_uniform(g) - 1.0;
        t2 = 2.0 * rng_uniform(g) - 1.0;
      } while (t1 * t1 + t2 * t2 > 1.0);
      y = t2 / t1;
      double am = a - 1;
      double s = std::sqrt(2.0 * am + 1.0);
      x = s * y + am;
    } while (x <= 0.0);
    double am = a - 1;
    double s = std::sqrt(2.0 * am + 1.0);
    e = (1.0 + y * y) * std::exp(am * std::log(x / am) - s * y);
  } while (rng_uniform(g) > e);
  return x;
}

void sample_dirichlet(Generator* g, const double* a, int d, double* p) {
  double gam[4];
  double sum = 0.0;
  for (int i = 0; i < d; i++) {
    gam[i] = gamdev(g, a[i]);
    sum = sum + gam[i];
  }
  for (int i = 0; i < d; i++) p[i] = gam[i] / sum;
}

double log_kernel(const double* a, const double* p, int d) {
  double f = 0.0;
  for (int i = 0; i < d; i++) f = f + std::log(p[i]) * (a[i] - 1.0);
  return f;
}

}  // namespace

LiteralResult literal_tangent_mass(const kavo::HypothesisSpec& spec, const double* a,
                                   double f_star, std::int64_t max_draws, double precision) {
  const int k = 3;
  const std::int64_t min_draws = 10000;
  const double z2 = 6.7;
  Generator g{11};
  std::int64_t n = 0;
  double Sw = 0, Sin = 0, Sout = 0, Sw2 = 0, Sin2 = 0, Sout2 = 0, h = 0, estimate = 0;
  bool go_on = true;
  while (go_on) {
    n = n + 1;
    double p[4];
    if (spec.blocks.count == 2) {  // two rows of two
      sample_dirichlet(&g, a, 2, p);
      sample_dirichlet(&g, a + 2, 2, p + 2);
    } else {
      sample_dirichlet(&g, a, spec.dimension, p);
    }
    double f = log_kernel(a, p, spec.dimension);
    double w = 1.0;
    double w2 = w * w;
    int ind = (f >= f_star) ? 1 : 0;
    int out = 1 - ind;
    Sw = Sw + w;
    Sin = Sin + ind * w;
    Sout = Sout + out * w;
    Sw2 = Sw2 + w2;
    Sin2 = Sin2 + ind * w2;
    Sout2 = Sout2 + out * w2;
    if (n % 100 != 0) continue;
    std::int64_t m = k * n;
    double Mw = Sw / m, Min = Sin / m, Mout = Sout / m;
    double Mw2 = Sw2 / m, Min2 = Sin2 / m, Mout2 = Sout2 / m;
    double sw = std::sqrt(Mw2 - Mw * Mw);
    double sin = std::sqrt(Min2 - Min * Min);
    double sout = std::sqrt(Mout2 - Mout * Mout);
    estimate = Min / Mw;
    double cin = sin / Mw;
    double cout = sout / Mw;
    double A = Mw * Mw - z2 * (sw * sw) / m;
    double B = Mw * Min - z2 * (sw * sw - sout * sout + Min * Mout) / m;
    double C = Min * Min - z2 * (sin * sin) / m;
    double D = B * B - A * C;
    if (D >= 0) {
      h = std::sqrt(D) / A;
    } else {
      h = 1.0;
    }
    double V = cin * cin * ((1 - estimate) * (1 - estimate)) + cout * cout * (estimate * estimate) +
               2 * (estimate * estimate) * ((1 - estimate) * (1 - estimate));
    double se = std::sqrt(z2 * V / m);
    if (n < min_draws) {
      go_on = true;
    } else if (n >= max_draws) {
      go_on = false;
    } else if (h > 0 && h < precision && se < precision) {
      go_on = false;
    }
  }
  return LiteralResult{estimate, n, g.s};
}

}  // namespace kavo_literal
