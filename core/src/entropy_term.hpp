#pragma once
// phi(r) = r ln r - r + 1 >= 0: the term of a relative entropy, the gap of
// a kernel in units of its exponent. Near r = 1 it falls like (r - 1)^2 / 2
// and the plain formula cancels, so there it is the series
//   phi(1 + d) = sum_k>=2 (-d)^k / (k (k - 1)),
// 18 terms for |d| < 0.1 (the next below 6e-21).

#include <cmath>

namespace kavo {

template <class Real>
Real entropy_term(Real r) {
  const Real d = r - 1;
  if (d > Real(-0.1) && d < Real(0.1)) {
    Real sum = 0;
    for (int k = 19; k >= 2; --k) sum = (k % 2 == 0 ? 1 : -1) / Real(k * (k - 1)) + d * sum;
    return d * d * sum;
  }
  return r * std::log(r) - r + 1;
}

}  // namespace kavo
