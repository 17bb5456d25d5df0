#pragma once
// The standardized evidence: the evidence ev of a hypothesis of dimension h
// in a posterior of dimension t, carried over to a space of dimension
// df = t - h through the chi-squared distributions of the two dimensions,
//   sev = 1 - F_chi2(df)(Q_chi2(t)(1 - ev)),
// so that evidences of tables of different sizes can be compared. Computed
// with the complements, so small evidences keep their digits.

namespace kavo {

// t >= 1, 1 <= df <= t; ev in [0, 1]. sev = ev when df == t.
double standardized_evidence(double evidence, int t, int df);

}  // namespace kavo
