#pragma once
// The library interface: the evidence for one of the five hypotheses, for
// given values and settings, without a command line. Nothing is printed and
// nothing exits; errors come back in the result. Reentrant: calls may run in
// parallel threads.
//
//   #include <kavo/kavo.hpp>
//   const double table[] = {12, 5, 7, 9};
//   kavo::Evidence e = kavo::compute(kavo::Hypothesis::independence, table);
//   if (e.error == kavo::EvidenceError::none) use(e.evidence, e.draws);

#include <cstdint>
#include <span>

namespace kavo {

enum class Hypothesis {
  independence,    // kavoind: A11 A12 A21 A22
  symmetry,        // kavomcn: A11 A12 A21 A22
  homogeneity,     // kavohomo: A11 A12 A21 A22
  hardy_weinberg,  // kavohw: Aaa Aab Abb
  proportion,      // kavoprop: A1 A2 p0
};

struct EvidenceSettings {
  std::int64_t max_draws = 2000000;  // maxMC
  double precision = 0.001;
  std::int32_t seed = 11;            // 1 .. 2147483646
};

enum class EvidenceError {
  none,
  wrong_value_count,    // not the hypothesis's count of values
  refused_values,       // a parameter not above 1, or p0 outside (0, 1)
  parameters_too_large, // no finite hypothesis point (the values' sum overflows)
  bad_seed,             // seed outside 1 .. 2147483646
};

struct Evidence {
  EvidenceError error = EvidenceError::none;
  double evidence = 0.0;    // 1 - the estimated tangent mass
  std::int64_t draws = 0;   // Monte Carlo draws used
  double half_width = 0.0;  // the larger of the two half-widths at the last check
};

// The values in the program's order (4, 3 or 3 of them, see Hypothesis).
Evidence compute(Hypothesis hypothesis, std::span<const double> values,
                 const EvidenceSettings& settings = {});

// The number of values the hypothesis takes, and the program that tests it.
int value_count(Hypothesis hypothesis);
const char* program_name(Hypothesis hypothesis);

// A short English description of an error.
const char* describe(EvidenceError error);

}  // namespace kavo
