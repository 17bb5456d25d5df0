#pragma once
// Shared pieces of the fuzz targets: the five programs' specs, and running the
// driver in-process with its streams captured.

#include <string>
#include <vector>

#include "hypotheses/hypothesis_spec.hpp"

namespace kavo_fuzz {

const kavo::HypothesisSpec& spec_by_index(unsigned index);  // index modulo 5

struct Run {
  int status;
  std::string out;
  std::string err;
};

// Runs the shared driver on argv (argv[0] included) with captured streams.
Run run_driver(const kavo::HypothesisSpec& spec, std::vector<std::string> argv);

// Aborts with a message when a property does not hold, so libFuzzer keeps the input.
void require(bool holds, const char* property, const std::string& detail);

}  // namespace kavo_fuzz
