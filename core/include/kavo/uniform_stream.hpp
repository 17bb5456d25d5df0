#pragma once
// The generator's uniforms, produced ahead in small blocks for the draw loop.
//
// The sequence is exactly rng_uniform's, value for value, but four states are
// computed per step from the state four places back (multipliers 16807^k mod
// 2^31 - 1), which cuts the serial dependency of the generator fourfold, and a
// block is produced before the samplers' unpredictable branches consume it, so
// a mispredicted branch no longer throws generator work away. The buffer is a
// fixed array inside the object: nothing is allocated.

#include <cstdint>

#include "kavo/rng.hpp"

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

  std::int32_t consumed_state() const { return pos_ == 0 ? last_state_ : states_[pos_ - 1]; }

 private:
  static constexpr int kBlock = 64;

  void refill() {
    last_state_ = consumed_state();
    std::uint64_t s = static_cast<std::uint64_t>(last_state_);
    for (int i = 0; i < kBlock; i += 4) {
      states_[i] = mulmod_m31(16807u, s);
      states_[i + 1] = mulmod_m31(282475249u, s);
      states_[i + 2] = mulmod_m31(1622650073u, s);
      states_[i + 3] = mulmod_m31(984943658u, s);
      s = static_cast<std::uint64_t>(states_[i + 3]);
    }
    for (int i = 0; i < kBlock; ++i) values_[i] = rng_uniform_from_state(states_[i]);
    pos_ = 0;
  }

  Rng& rng_;
  std::int32_t last_state_;  // the state before states_[0]
  int pos_ = kBlock;
  std::int32_t states_[kBlock] = {};
  double values_[kBlock] = {};
};

inline double rng_uniform(UniformStream& stream) { return stream.next(); }

}  // namespace kavo
