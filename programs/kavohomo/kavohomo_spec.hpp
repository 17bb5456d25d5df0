#pragma once
#include "kavo/hypothesis_spec.hpp"

// Homogeneity: two binomial proportions (the rows of a 2x2 table) are equal.
const kavo::HypothesisSpec& kavohomo_spec();
