#pragma once
#include "kavo/hypothesis_spec.hpp"

// Symmetry of a paired 2x2 table: the two discordant cells are equally likely.
const kavo::HypothesisSpec& kavomcn_spec();
