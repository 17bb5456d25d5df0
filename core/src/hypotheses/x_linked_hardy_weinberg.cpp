// Hardy-Weinberg equilibrium on the X chromosome: females' genotypes AA, AB,
// BB and males' alleles A, B share one allele frequency theta. Females are
// one Dirichlet block (theta^2, 2 theta (1 - theta), (1 - theta)^2), males
// another (theta, 1 - theta).

#include "hypotheses/registry.hpp"

namespace {

bool parameters_valid(const double* a) { return kavo::all_greater_than_one(a, 5); }

// The theta that maximises the kernel on the hypothesis: the A alleles'
// excess over all alleles' (each parameter less 1; a female carries two
// alleles, a male one). Each block's last cell is what remains of it.
template <class Real>
void shared_frequency_point(const double* a, Real* p) {
  const Real aa = static_cast<Real>(a[0]) - 1, ab = static_cast<Real>(a[1]) - 1;
  const Real bb = static_cast<Real>(a[2]) - 1, males_a = static_cast<Real>(a[3]) - 1;
  const Real males_b = static_cast<Real>(a[4]) - 1;
  const Real theta = (2 * aa + ab + males_a) / (2 * (aa + ab + bb) + males_a + males_b);
  const Real p_aa = theta * theta;
  const Real p_ab = (2 * theta) * (1 - theta);
  p[0] = p_aa;
  p[1] = p_ab;
  p[2] = 1 - p_aa - p_ab;
  p[3] = theta;
  p[4] = 1 - theta;
}

void point(const double* a, double* p) { shared_frequency_point<double>(a, p); }

void precise_point(kavo::Shape, const double* a, long double* p) {
  shared_frequency_point<long double>(a, p);
}

// theta alone.
int one_frequency(kavo::Shape) { return 1; }

}  // namespace

namespace kavo {

const HypothesisSpec kXLinkedHardyWeinberg{
    Hypothesis::x_linked_hardy_weinberg, "x_linked_hardy_weinberg", "kavohw",
    // what the front ends show: option, command, title, description, shapes,
    // Monte Carlo limit
    {"x-linked", "kavohw --x-linked", "X-linked Hardy-Weinberg equilibrium",
     "females' genotypes AA, AB, BB and males' alleles A, B share one allele frequency, "
     "the females' in Hardy-Weinberg equilibrium",
     ShapeKind::fixed, 1e12},
    // the fixed shape: values, their names, cells, blocks, validation, point
    5, {"AA", "AB", "BB", "A", "B"}, 5, {2, {3, 2}}, parameters_valid, point,
    // the fixed shape (two alleles) is the only one
    {2, 1}, no_other_shapes,
    {nullptr, precise_point, one_frequency}};

}  // namespace kavo
