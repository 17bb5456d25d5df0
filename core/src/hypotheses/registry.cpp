#include "hypotheses/registry.hpp"

namespace kavo {

const HypothesisSpec& hypothesis_spec(Hypothesis hypothesis) {
  switch (hypothesis) {
    case Hypothesis::independence: return kIndependence;
    case Hypothesis::symmetry: return kSymmetry;
    case Hypothesis::homogeneity: return kHomogeneity;
    case Hypothesis::hardy_weinberg: return kHardyWeinberg;
    case Hypothesis::proportion: break;
  }
  return kProportion;
}

}  // namespace kavo
