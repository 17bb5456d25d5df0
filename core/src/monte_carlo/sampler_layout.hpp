#pragma once
// The Monte Carlo sampler that draws a hypothesis's Dirichlet blocks.

#include "hypotheses/hypothesis_spec.hpp"
#include "monte_carlo/estimator.hpp"

namespace kavo {

inline SamplerLayout sampler_layout(const DirichletBlocks& blocks) {
  return blocks.count == 1 ? SamplerLayout::single_block : SamplerLayout::row_blocks;
}

}  // namespace kavo
