#pragma once
// The one list of hypotheses, indexed by Hypothesis.

#include "hypotheses/hypothesis_spec.hpp"

namespace kavo {

const HypothesisSpec& hypothesis_spec(Hypothesis hypothesis);

// Each hypothesis's file defines its spec.
extern const HypothesisSpec kIndependence;
extern const HypothesisSpec kSymmetry;
extern const HypothesisSpec kHomogeneity;
extern const HypothesisSpec kHardyWeinberg;
extern const HypothesisSpec kProportion;

}  // namespace kavo
