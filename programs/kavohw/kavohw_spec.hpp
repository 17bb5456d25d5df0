#pragma once
#include "kavo/hypothesis_spec.hpp"

// Hardy-Weinberg equilibrium of the genotype classes aa, ab, bb.
const kavo::HypothesisSpec& kavohw_spec();
