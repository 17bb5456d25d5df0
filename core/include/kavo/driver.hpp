#pragma once
// The command-line flow shared by every program: read the parameters and run
// settings, refuse what is invalid, run the estimator and report the evidence.

#include <cstdio>

#include "kavo/hypothesis_spec.hpp"

namespace kavo {

struct ProgramStreams {
  std::FILE* out;
  std::FILE* err;
};

// Runs the program described by spec on argv and returns its exit status:
// 0 on success, 1 on any failure. Messages go to the given streams.
int run_program(int argc, char** argv, const HypothesisSpec& spec, ProgramStreams streams);

inline int run_program(int argc, char** argv, const HypothesisSpec& spec) {
  return run_program(argc, argv, spec, ProgramStreams{stdout, stderr});
}

}  // namespace kavo
