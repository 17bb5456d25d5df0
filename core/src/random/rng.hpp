#pragma once
// The random source: the minimal standard multiplicative congruential
// generator (multiplier 16807, modulus 2^31 - 1). Its state is a plain value
// owned by the caller and passed to everything that draws, so independent
// runs can proceed side by side in threads.

#include <bit>
#include <cstdint>

namespace kavo {

inline constexpr std::int32_t kRngModulus = 2147483647;

// The state runs over 1 .. 2^31 - 2; it is never 0.
struct Rng {
  std::int32_t state;
};

inline void rng_seed(Rng& rng, std::int32_t seed) { rng.state = seed; }

// a * s mod (2^31 - 1) for a and s in 1 .. 2^31 - 2. Since 2^31 = 1 modulo
// 2^31 - 1, folding the product's high bits onto its low ones reduces it with
// no division. The product is at most (2^31 - 2)^2, so the high part is below
// 2^31 - 3 and the folded sum below 2 (2^31 - 1): one subtraction finishes.
inline std::int32_t mulmod_m31(std::uint64_t a, std::uint64_t s) {
  constexpr std::uint64_t kModulus = static_cast<std::uint64_t>(kRngModulus);
  const std::uint64_t p = a * s;
  std::uint64_t r = (p & kModulus) + (p >> 31);
  if (r >= kModulus) r -= kModulus;
  return static_cast<std::int32_t>(r);
}

// Advances the state to 16807 * state mod (2^31 - 1) and returns it: the
// states of Schrage's 32-bit factorisation, step for step.
inline std::int32_t rng_next(Rng& rng) {
  rng.state = mulmod_m31(16807u, static_cast<std::uint64_t>(rng.state));
  return rng.state;
}

// True for a valid starting state: 1 .. 2^31 - 2.
inline bool rng_seed_valid(std::int64_t seed) { return seed >= 1 && seed < kRngModulus; }

// A uniform deviate strictly inside (0, 1), defined as the state times the
// constant 1/(2^31 - 1) held in x87 extended precision (64-bit mantissa), the
// product rounded to extended and then to double. Plain double division
// differs from that in the last bit for 262144 states, which would change the
// printed evidence.
inline double rng_uniform_extended(std::int32_t state) {
  constexpr long double kScale = 1.0L / 2147483647.0L;
  return static_cast<double>(static_cast<long double>(state) * kScale);
}

// The same values without extended precision, so they are the same on any
// IEEE double machine and cheaper on x86-64. Since 1/(2^31 - 1) =
// 2^-31 (1 + 2^-31 + 2^-62 + ...), s 2^-31 + s 2^-62 (1 + 2^-31) rounds to the
// correctly rounded quotient; the double rounding of the extended product lands
// one ulp higher exactly for the states at or above 0x70000000 whose low ten
// bits are 1011111111 (767). Checked over all 2^31 - 2 states in the tests.
inline double rng_uniform_from_state(std::int32_t state) {
  const double s = static_cast<double>(state);
  double u = s * 0x1p-31 + s * (0x1p-62 * (1.0 + 0x1p-31));
  if (state >= 0x70000000 && (state & 1023) == 767) {
    u = std::bit_cast<double>(std::bit_cast<std::uint64_t>(u) + 1);
  }
  return u;
}

inline double rng_uniform(Rng& rng) { return rng_uniform_from_state(rng_next(rng)); }

}  // namespace kavo
