#pragma once
// One Beta factor of the posterior and how far its log kernel falls below
// its maximum.
//
// The factor is y ~ Beta(alpha + 1, beta + 1 + k) with kernel
// g(y) = alpha ln y + beta ln(1 - y); k > 0 for the leading sticks of a
// stick-breaking Dirichlet, whose density carries the Jacobian (1 - y)^k
// on top of the kernel. The deficiency is D = max g - g(y) >= 0.
//
// Everything is written in the log-odds offset w from the mode m:
// y = m e^w / (1 - m + m e^w), so that D = n psi(w) with n = alpha + beta and
//   psi(w) = ln(1 - m + m e^w) - m w,
// convex, psi(0) = psi'(0) = 0, asymptotically linear on both sides. When
// m > 1/2 the factor is mirrored (y -> 1 - y) so that m <= 1/2 always, which
// keeps the series form of psi free of cancellation.
//
// The radial variable is r = sqrt(D). Its density h(r) (both sides of the
// mode together) is smooth and even in r, which is what makes polynomial
// approximation and polar coordinates work.

namespace kavo::exact {

struct BetaBlock {
  double m = 0.5;           // mode of the kernel in the mirrored frame, <= 1/2
  double one_minus_m = 0.5;  // 1 - m, computed without rounding 1 - m
  double n = 0.0;           // alpha + beta
  double alpha = 0.0;       // kernel exponents in the mirrored frame
  double beta = 0.0;
  double c_low = 1.0;       // log-odds density = kernel * y^c_low (1 - y)^c_high
  double c_high = 1.0;
  double shape_a = 0.0;     // y ~ Beta(shape_a, shape_b) in the mirrored frame
  double shape_b = 0.0;
  double half_curvature = 0.0;  // psi''(0) / 2 = m (1 - m) / 2
  double mode_density = 0.0;    // log-odds density at the mode
  double density_at_zero = 0.0;  // h(0)
};

BetaBlock make_beta_block(double alpha, double beta, int k);

double psi(const BetaBlock& b, double w);
double psi_derivative(const BetaBlock& b, double w);

// ln(1 - m + m e^w), the normaliser of y at offset w.
double log_normaliser(const BetaBlock& b, double w);

// A root found before: psi(w) = t with psi' and psi'' there. A root at a
// nearby level starts from its Taylor step instead of from the mode, which
// saves an iteration when many roots are taken at close levels.
struct RootHint {
  double t = 0.0;  // 0: none yet
  double w = 0.0;
  double first = 0.0;
  double second = 0.0;
};

// The offset w on the given side of the mode (side < 0: w < 0) with
// psi(w) = t, for t > 0. A hint, when given, is used and updated.
double level_root(const BetaBlock& b, double t, int side, RootHint* hint = nullptr);

// One hint for each side of the mode.
struct RadialHint {
  RootHint low;
  RootHint high;
};

// The density of r = sqrt(D) at r >= 0.
double radial_density(const BetaBlock& b, double r, RadialHint* hint = nullptr);

// P(sqrt(D) > r) through the incomplete beta function; accurate to about
// (a + b) * 2e-17 relative with plain double arithmetic.
double radial_tail(const BetaBlock& b, double r);

// ln E[exp(s D)] for 0 <= s < 1 (a Chernoff bound on the tails).
double log_moment_generating(const BetaBlock& b, double s);

}  // namespace kavo::exact
