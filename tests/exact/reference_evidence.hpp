#pragma once
// Slow, independent reference values for the exact evidence.
//
// Works in the cell probabilities themselves: stick-breaking factors in
// log-odds coordinates, long double arithmetic, direct logarithms of the
// kernel, roots by TOMS 748 and nested adaptive Gauss-Kronrod quadrature
// over the level sets, with the last factor in closed form through the
// incomplete beta function. Shares no code with the method under test.

#include <vector>

namespace kavo::exact::testing {

// P(f(p) < f*) for Dirichlet blocks; the point is renormalised per block.
double reference_evidence(const std::vector<double>& a, const std::vector<int>& blocks,
                          const std::vector<double>& point);

// The two-cell closed form I(y_lo) + (1 - I(y_hi)) with y_lo, y_hi the ends
// of the set where the kernel is at least its value at p0.
double proportion_closed_form(double a1, double a2, double p0);
// The same in long double, whose range reaches about 1e-4900.
long double proportion_closed_form_long(double a1, double a2, double p0);

// Hypothesis points of the five programs.
std::vector<double> proportion_point(double p0);
std::vector<double> hardy_weinberg_point(const std::vector<double>& a);
std::vector<double> homogeneity_point(const std::vector<double>& a);
std::vector<double> independence_point(const std::vector<double>& a);
std::vector<double> symmetry_point(const std::vector<double>& a);
// Females AA AB BB then males A B at theta = the A alleles' share of the
// excesses (a female's two alleles, a male's one).
std::vector<double> x_linked_point(const std::vector<double>& a);

}  // namespace kavo::exact::testing
