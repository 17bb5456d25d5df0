// Computes evidences through the library interface, and one error, and
// prints them; the install test compares this with the programs' output.
#include <kavo/kavo.hpp>

#include <cstdio>

int main() {
  const double table[] = {12, 5, 7, 9};
  const kavo::Evidence ind = kavo::compute(kavo::Hypothesis::independence, table);
  const double genotypes[] = {12, 10, 4};
  kavo::EvidenceSettings fast;
  fast.max_draws = 20000;
  fast.precision = 0.01;
  const kavo::Evidence hw = kavo::compute(kavo::Hypothesis::hardy_weinberg, genotypes, fast);
  const double bad[] = {3, 5, 1.5};
  const kavo::Evidence refused = kavo::compute(kavo::Hypothesis::proportion, bad);
  std::printf("%s %e %lld\n", kavo::program_name(kavo::Hypothesis::independence), ind.evidence,
              static_cast<long long>(ind.draws));
  std::printf("%s %e %lld\n", kavo::program_name(kavo::Hypothesis::hardy_weinberg), hw.evidence,
              static_cast<long long>(hw.draws));
  std::printf("%s\n", kavo::describe(refused.error));
  return ind.error == kavo::EvidenceError::none && refused.error != kavo::EvidenceError::none ? 0 : 1;
}
