#pragma once
// The one list of hypotheses, indexed by Hypothesis: adding a hypothesis is
// its file, its enumerator and its line here.

#include <iterator>

#include "hypotheses/hypothesis_spec.hpp"

namespace kavo {

// Each hypothesis's file defines its spec.
extern const HypothesisSpec kIndependence;
extern const HypothesisSpec kSymmetry;
extern const HypothesisSpec kHomogeneity;
extern const HypothesisSpec kHardyWeinberg;
extern const HypothesisSpec kProportion;
extern const HypothesisSpec kXLinkedHardyWeinberg;

// In the enumerators' order.
inline constexpr const HypothesisSpec* kHypothesisSpecs[] = {
    &kIndependence, &kSymmetry, &kHomogeneity, &kHardyWeinberg, &kProportion,
    &kXLinkedHardyWeinberg,
};
static_assert(std::size(kHypothesisSpecs) == kHypothesisCount);

// The description of a valid hypothesis (see hypothesis_valid).
const HypothesisSpec& hypothesis_spec(Hypothesis hypothesis);

inline bool hypothesis_valid(Hypothesis hypothesis) {
  return static_cast<unsigned>(hypothesis) < static_cast<unsigned>(kHypothesisCount);
}

}  // namespace kavo
