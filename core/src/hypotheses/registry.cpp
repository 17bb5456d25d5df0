#include "hypotheses/registry.hpp"

namespace kavo {

// An out-of-range value falls back on the last hypothesis rather than
// reading past the list; make_table refuses it before any computation.
const HypothesisSpec& hypothesis_spec(Hypothesis hypothesis) {
  const auto i = static_cast<unsigned>(hypothesis);
  return *kHypothesisSpecs[i < std::size(kHypothesisSpecs) ? i : std::size(kHypothesisSpecs) - 1];
}

}  // namespace kavo
