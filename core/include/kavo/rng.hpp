#pragma once
// The random source: the minimal standard multiplicative congruential
// generator (multiplier 16807, modulus 2^31 - 1). Its state is a plain value
// owned by the caller and passed to everything that draws, so independent
// runs can proceed side by side in threads.

#include <cstdint>

namespace kavo {

inline constexpr std::int32_t kRngModulus = 2147483647;

// The state runs over 1 .. 2^31 - 2; it is never 0.
struct Rng {
  std::int32_t state;
};

inline void rng_seed(Rng& rng, std::int32_t seed) { rng.state = seed; }

// Advances the state to 16807 * state mod (2^31 - 1) and returns it.
// Schrage's factorisation keeps every intermediate inside 32 bits.
inline std::int32_t rng_next(Rng& rng) {
  const std::int32_t s = rng.state;
  const std::int32_t q = s / 127773;
  std::int32_t next = 16807 * (s - q * 127773) - 2836 * q;
  if (next <= 0) next += kRngModulus;
  rng.state = next;
  return next;
}

// A uniform deviate strictly inside (0, 1): the state times 1/(2^31 - 1).
// The scale is held in long double and the product rounded to double; plain
// double division gives a different last bit for about 262 thousand states,
// which would change the printed evidence.
inline double rng_uniform(Rng& rng) {
  constexpr long double kScale = 1.0L / 2147483647.0L;
  return static_cast<double>(static_cast<long double>(rng_next(rng)) * kScale);
}

}  // namespace kavo
