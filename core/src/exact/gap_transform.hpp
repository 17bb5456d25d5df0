#pragma once
// The Laplace transform of the kernel gap.
//
// Under a Dirichlet posterior with parameters a_i the log kernel is
// f(p) = sum c_i ln p_i, c_i = a_i - 1 >= 0, and its gap below the maximum is
// Y = max f - f(p) >= 0. Writing a Dirichlet block as independent gamma
// variables over their sum gives, for each block,
//
//   E[exp(-s Y)] = prod_i Gamma(a_i + c_i s) / Gamma(a_i) * Gamma(A) / Gamma(A + C s)
//                  * exp(-s sum_i c_i ln(c_i / C)),        A = sum a_i, C = sum c_i,
//
// and blocks multiply. It is analytic for Re s > -beta, beta the smallest
// a_i / c_i (above 1); its singularities are poles on the real axis left of
// -beta. A cell with c_i = 0 contributes nothing but its 1 in A.
//
// With large parameters the log-gamma values are huge and nearly cancel, so
// each is written as Stirling's formula plus Binet's remainder and the
// leading terms are cancelled analytically. With w_b = s + beta_b, beta_b the
// block's own smallest a_i / c_i, delta_i = a_i / c_i - beta_b (from the
// reciprocals 1 / c_i, without cancellation), z_i = c_i (w_b + delta_i), and
// the same for the whole block with capital letters,
//
//   ln E[exp(-s Y)] = sum_b [ K_b - tau_b ln w_b
//                             + sum_i ((z_i - 1/2) log1p(delta_i / w_b) + B(z_i))
//                             - ((Z - 1/2) log1p(Delta / w_b) + B(Z)) ],
//
// tau_b = (positive cells - 1) / 2 + zero cells, K_b the constant that makes
// the transform 1 at s = 0. Every term stays of moderate size for any
// parameters. Reentrant; no allocation after construction.
//
// On a contour where |w_b| >= mu, the cells whose delta_i is small against
// mu and whose z_i is large enough for a fixed number of Stirling terms
// have a sum that is one power series in 1 / w_b (expand): its
// coefficients are sums over the cells, so a node costs a few dozen
// multiplications however many cells there are.

#include <complex>
#include <limits>
#include <span>

#include "binet.hpp"
#include "kavo/kavo.hpp"

namespace kavo::exact {

class GapTransform {
 public:
  // a: the Dirichlet parameters, each >= 1; blocks: their sizes in order.
  GapTransform(std::span<const double> a, std::span<const int> blocks);

  // False when every parameter is 1: the kernel is flat and Y is 0.
  bool varies() const { return block_count_ > 0; }
  // The smallest a_i / c_i over the blocks: the transform is analytic for
  // Re s > -beta.
  double beta() const { return beta_; }
  // tau, the sum of the blocks' tau_b: M(s) falls like |s|^-tau far out, and
  // Y is spread about like a gamma variable of shape tau (half a chi-squared
  // variable of 2 tau degrees of freedom).
  double order() const { return order_; }
  // The smallest c_i above 0 (with varies()).
  double smallest_c() const { return smallest_c_; }
  // The rounding of the logarithm of the transform: its terms, the constants
  // K_b above all, are sums of many parts of moderate size, and an error in
  // the logarithm is a relative error of the survival function.
  double log_rounding() const {
    return log_rounding_ + (precision_ == SeriesPrecision::coarse ? series_error_ : 0.0);
  }
  // Stirling's series on the contour to 1e-16, or, deep in a tail, to
  // kCoarseSeriesError a term (added to log_rounding).
  void set_precision(SeriesPrecision precision) { precision_ = precision; }
  // ln E[exp(-s Y)] at s = w - beta (modulo 2 pi i), for w off the
  // non-positive real axis with |arg w| up to about 150 degrees; log_w is
  // ln w, which the caller may know more cheaply.
  // With sizes, adds the sizes of the small-argument log-gamma terms summed
  // here, which log_rounding does not count: a unit in the last place of
  // each is this node's own rounding.
  std::complex<double> log_at(std::complex<double> w, std::complex<double> log_w,
                              double* sizes = nullptr) const;
  // The same for real w > 0 (never through the series).
  double log_at(double w) const;

  // Sums the cells that allow it as series in 1 / w_b, valid where every
  // |w + beta_b - beta| >= smallest_modulus (a parabola of vertex mu with
  // its focus at -beta keeps |w_b| >= mu); each call replaces the last.
  void expand(double smallest_modulus);

 private:
  struct Cell {
    double c;      // a - 1
    double delta;  // a / c - beta_b, >= 0
    double log_c;
    int weight;    // on the contour: the block's equal cells this one stands for
  };

  // A series pays for itself even for one cell (with the block's own term):
  // a few multiplications replace Stirling's series and a logarithm at each
  // node. Blocks beyond kMaxSeries keep to the direct sum.
  static constexpr int kMaxTerms = 48;
  static constexpr int kMaxSeries = kMaxCells / 2;
  // No default member values: a table sets only the blocks it has (Block{}
  // for each), not all kMaxCells of them.
  struct Block {
    int first, count;      // positive cells in cells_
    int direct;            // cells_[first, first + direct) outside the series
    int single, distinct;  // of which the first single occur once, and up to
                           // distinct, weighted, stand for the rest
    int series;            // its series in series_, or -1
    int terms;             // coefficients of 1 / w_b^0 .. ^(terms - 1)
    bool whole_in_series;
    double shift;          // beta_b - beta, >= 0
    double tau;
    double constant;       // K_b
    Cell whole;            // C and Delta
  };
  // The products of the small arguments' shifts at a node, cells' and
  // blocks' apart, whose one logarithm serves every block.
  struct Shifts;
  // Equal cells of a block have equal terms at every node: the direct ones
  // are evaluated once, weighted (small counts repeat often).
  void group_equal(Block& b);
  template <class T>
  T block_log(const Block& b, T w, T log_w, bool use_series, double* sizes, Shifts* shifts) const;

  Cell cells_[kMaxCells];
  Block blocks_[kMaxCells];
  double series_[kMaxSeries][kMaxTerms];
  int block_count_ = 0;
  double beta_ = 0.0;
  double order_ = 0.0;
  double smallest_c_ = std::numeric_limits<double>::infinity();
  SeriesPrecision precision_ = SeriesPrecision::full;
  double series_error_ = 0.0;  // kCoarseSeriesError for each term summed at a node
  double log_rounding_ = 0.0;
};

}  // namespace kavo::exact
