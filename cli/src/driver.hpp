#pragma once
// The command-line flow shared by every program: read the parameters and run
// settings, refuse what is invalid, run the estimator and report the evidence.

#include "kavo/kavo.hpp"
#include "program_streams.hpp"

namespace kavo::cli {

// Runs the program that tests the hypothesis on argv and returns its exit
// status: 0 on success, 1 on any failure (see run_with_options for the option
// form's others). Messages go to the given streams.
int run_program(int argc, char** argv, Hypothesis hypothesis, ProgramStreams streams);

inline int run_program(int argc, char** argv, Hypothesis hypothesis) {
  return run_program(argc, argv, hypothesis, ProgramStreams{stdout, stderr, true});
}

}  // namespace kavo::cli
