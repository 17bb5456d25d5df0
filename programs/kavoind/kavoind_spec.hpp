#pragma once
#include "kavo/hypothesis_spec.hpp"

// Independence of rows and columns in a 2x2 table.
const kavo::HypothesisSpec& kavoind_spec();
