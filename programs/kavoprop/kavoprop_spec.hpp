#pragma once
#include "kavo/hypothesis_spec.hpp"

// A binomial proportion equals a given p0. Reads A1, A2 and p0; only A1 and
// A2 are Dirichlet parameters.
const kavo::HypothesisSpec& kavoprop_spec();
