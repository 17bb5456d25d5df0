// Computes evidences through the library, one table at a time and many at
// once, and one error, and prints them; the install test compares this with
// the programs' output.
#include <kavo/kavo.hpp>

#include <cstdio>
#include <vector>

int main() {
  const double table[] = {12, 5, 7, 9};
  const kavo::Result ind = kavo::compute(kavo::Hypothesis::independence, table);
  kavo::Settings fast;
  fast.max_draws = 20000;
  fast.precision = 0.01;
  const double genotypes[] = {12, 10, 4, 12, 10, 4};
  std::vector<kavo::Result> hw(2);
  const kavo::Status many = kavo::compute_many(kavo::Hypothesis::hardy_weinberg, genotypes, hw, fast);
  const double bad[] = {3, 5, 1.5};
  const kavo::Result refused = kavo::compute(kavo::Hypothesis::proportion, bad);
  std::printf("%s %e %lld\n", kavo::program_name(kavo::Hypothesis::independence), ind.evidence,
              static_cast<long long>(ind.draws));
  std::printf("%s %e %lld\n", kavo::program_name(kavo::Hypothesis::hardy_weinberg), hw[1].evidence,
              static_cast<long long>(hw[1].draws));
  std::printf("%s\n", kavo::describe(refused.status));
  const bool ok = ind.status == kavo::Status::ok && many == kavo::Status::ok &&
                  hw[0].evidence == hw[1].evidence && refused.status != kavo::Status::ok;
  return ok ? 0 : 1;
}
