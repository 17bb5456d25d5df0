#pragma once
// The generator's uniforms, produced ahead in small blocks for the draw loop.
//
// The sequence is exactly rng_uniform's, value for value, but eight states are
// computed per step from the state eight places back (multipliers 16807^k mod
// 2^31 - 1), two at a time in SSE2 lanes where the machine has them, which
// cuts the serial dependency of the generator eightfold, and a block is
// produced before the samplers' unpredictable branches consume it, so a
// mispredicted branch no longer throws generator work away. The buffer is a
// fixed array inside the object: nothing is allocated.

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "random/rng.hpp"

namespace kavo {

class UniformStream {
 public:
  // Starts empty, as if a block had just been used up at the generator's state.
  explicit UniformStream(Rng& rng) : rng_(rng), last_state_(rng.state) {
    states_[kBlock - 1] = rng.state;
  }
  UniformStream(const UniformStream&) = delete;
  UniformStream& operator=(const UniformStream&) = delete;

  // Hands the generator back where the consumed uniforms left it.
  ~UniformStream() { rng_.state = consumed_state(); }

  double next() {
    if (pos_ == kBlock) refill();
    return values_[pos_++];
  }

  // 1 times the next n uniforms, multiplied in order: the direct method's
  // product, without a per-uniform check while the block lasts.
  double product(int n) {
    double x = 1.0;
    if (kBlock - pos_ >= n) {
      const double* v = values_ + pos_;
      for (int i = 0; i < n; ++i) x = x * v[i];
      pos_ += n;
      return x;
    }
    for (int i = 0; i < n; ++i) x = x * next();
    return x;
  }

  std::int32_t consumed_state() const { return pos_ == 0 ? last_state_ : states_[pos_ - 1]; }

 private:
  static constexpr int kBlock = 64;
  static constexpr int kJump = 8;
  // 16807^k mod (2^31 - 1) for k = 1 .. kJump.
  static constexpr std::uint64_t kJumpMultipliers[kJump] = {
      16807u, 282475249u, 1622650073u, 984943658u, 1144108930u, 470211272u, 101027544u, 1457850878u};

  void refill() {
    last_state_ = consumed_state();
#if defined(__SSE2__)
    fill_states_sse2();
#else
    std::uint64_t s = static_cast<std::uint64_t>(last_state_);
    for (int i = 0; i < kBlock; i += kJump) {
      for (int j = 0; j < kJump; ++j) states_[i + j] = mulmod_m31(kJumpMultipliers[j], s);
      s = static_cast<std::uint64_t>(states_[i + kJump - 1]);
    }
#endif
    for (int i = 0; i < kBlock; ++i) values_[i] = rng_uniform_from_state(states_[i]);
    pos_ = 0;
  }

#if defined(__SSE2__)
  // The same states two at a time: each 64-bit lane multiplies the state (in
  // its low half) by one jump multiplier, folds the product as mulmod_m31 does
  // and subtracts the modulus where the fold reached it.
  static __m128i mulmod_m31_pair(__m128i multipliers, __m128i s) {
    const __m128i modulus = _mm_set1_epi64x(kRngModulus);
    const __m128i p = _mm_mul_epu32(multipliers, s);
    const __m128i r = _mm_add_epi64(_mm_and_si128(p, modulus), _mm_srli_epi64(p, 31));
    const __m128i t = _mm_sub_epi64(r, modulus);
    // All ones in a lane where r was below the modulus (t negative).
    const __m128i below = _mm_shuffle_epi32(t, _MM_SHUFFLE(3, 3, 1, 1));
    return _mm_add_epi64(t, _mm_and_si128(below, modulus));
  }

  void fill_states_sse2() {
    // Lanes (k, k + 2) and (k + 1, k + 3): the second pair shifted into the odd
    // 32-bit slots leaves four consecutive states in order.
    const __m128i m13 = _mm_set_epi64x(kJumpMultipliers[2], kJumpMultipliers[0]);
    const __m128i m24 = _mm_set_epi64x(kJumpMultipliers[3], kJumpMultipliers[1]);
    const __m128i m57 = _mm_set_epi64x(kJumpMultipliers[6], kJumpMultipliers[4]);
    const __m128i m68 = _mm_set_epi64x(kJumpMultipliers[7], kJumpMultipliers[5]);
    __m128i s = _mm_set1_epi64x(last_state_);
    for (int i = 0; i < kBlock; i += kJump) {
      const __m128i r68 = mulmod_m31_pair(m68, s);
      const __m128i first = _mm_or_si128(mulmod_m31_pair(m13, s),
                                         _mm_slli_epi64(mulmod_m31_pair(m24, s), 32));
      const __m128i second = _mm_or_si128(mulmod_m31_pair(m57, s), _mm_slli_epi64(r68, 32));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(states_ + i), first);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(states_ + i + 4), second);
      s = _mm_shuffle_epi32(r68, _MM_SHUFFLE(3, 2, 3, 2));
    }
  }
#endif

  Rng& rng_;
  std::int32_t last_state_;  // the state before states_[0]
  int pos_ = kBlock;
  std::int32_t states_[kBlock] = {};
  double values_[kBlock] = {};
};

inline double rng_uniform(UniformStream& stream) { return stream.next(); }
inline double rng_uniform_product(UniformStream& stream, int n) { return stream.product(n); }

}  // namespace kavo
