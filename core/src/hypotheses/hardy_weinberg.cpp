// Hardy-Weinberg equilibrium of the genotype classes aa, ab, bb of a
// two-allele locus.

#include "hypotheses/registry.hpp"

namespace {

bool parameters_valid(const double* a) { return kavo::all_greater_than_one(a, 3); }

// Genotype probabilities at the allele frequency theta that maximises the
// kernel: twice the aa class plus the ab class over twice the total, each
// parameter less 1. p_bb is what remains, not (1 - theta)^2.
void equilibrium_point(const double* a, double* p) {
  const double s = a[0] + a[1] + a[2];
  const double theta = (2.0 * a[0] + a[1] - 3.0) / ((s - 3.0) * 2.0);
  const double p_aa = theta * theta;
  const double p_ab = (2.0 * theta) * (1.0 - theta);
  p[0] = p_aa;
  p[1] = p_ab;
  p[2] = 1.0 - p_aa - p_ab;
}


// k alleles: the genotype classes (i, j), i <= j, in the order 11, 12, 22,
// 13, 23, 33, ...: (i, j) at j (j - 1) / 2 + i - 1, counting from 1.
int genotype_classes(int k) { return k * (k + 1) / 2; }
int genotype_index(int i, int j) { return j * (j - 1) / 2 + i - 1; }

bool alleles_valid(kavo::Shape s) {
  return s.rows >= 2 && s.columns == 1 && genotype_classes(s.rows) <= kavo::kMaxCells;
}

kavo::DirichletLayout one_block(kavo::Shape s) {
  const int cells = genotype_classes(s.rows);
  return {cells, cells, {1, {cells}}};
}

bool all_classes_valid(kavo::Shape s, const double* a) {
  return kavo::all_greater_than_one(a, genotype_classes(s.rows));
}

// theta_i^2 and 2 theta_i theta_j at the allele-count mode: theta_i is twice
// the homozygote's excess plus the heterozygotes' carrying allele i, over
// twice the total excess.
template <class Real>
void equilibrium_point_shaped(kavo::Shape s, const double* a, Real* p) {
  const int k = s.rows;
  Real theta[kavo::kMaxCells] = {}, total = 0;
  for (int j = 1; j <= k; ++j) {
    for (int i = 1; i <= j; ++i) {
      const Real e = static_cast<Real>(a[genotype_index(i, j)]) - 1;
      theta[i - 1] += e;
      theta[j - 1] += e;
      total += 2 * e;
    }
  }
  for (int i = 0; i < k; ++i) theta[i] /= total;
  for (int j = 1; j <= k; ++j) {
    for (int i = 1; i <= j; ++i) {
      p[genotype_index(i, j)] = i == j ? theta[i - 1] * theta[i - 1] : 2 * theta[i - 1] * theta[j - 1];
    }
  }
}

std::string genotype_name(kavo::Shape s, int index) {
  int j = 1;
  while (genotype_index(1, j + 1) <= index) ++j;
  const int i = index - genotype_index(1, j) + 1;
  return kavo::cell_name("A", i, j, s.rows >= 10);
}

// The allele frequencies: k - 1.
int alleles_dimension(kavo::Shape s) { return s.rows - 1; }

}  // namespace

namespace kavo {

const HypothesisSpec kHardyWeinberg{
    Hypothesis::hardy_weinberg, "hardy_weinberg", "kavohw",
    // what the front ends show: option, command, title, description, shapes,
    // Monte Carlo limit
    {"", "", "Hardy-Weinberg equilibrium",
     "three genotype classes aa, ab, bb are in Hardy-Weinberg equilibrium",
     ShapeKind::alleles, 1e11},
    // the fixed shape: values, their names, cells, blocks, validation, point
    3, {"Aaa", "Aab", "Abb"}, 3, {1, {3}}, parameters_valid, equilibrium_point,
    // the fixed shape itself, then the rules for every other shape
    {2, 1},
    {alleles_valid,
     one_block,
     all_classes_valid,
     equilibrium_point_shaped<double>,
     genotype_name},
    {nullptr, equilibrium_point_shaped<long double>, alleles_dimension}};

}  // namespace kavo
