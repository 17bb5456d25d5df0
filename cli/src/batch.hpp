#pragma once
// The option form: batch mode (many tables, one per line of a file or of
// standard input) and one table given with options on the command line.
// Both write the same tab-separated table, streamed in input order. This is
// the run's orchestration: the input and output opened and checked, an
// earlier output resumed, the engine run, and the exit status.

#include "program.hpp"
#include "program_streams.hpp"

namespace kavo::cli {

// Status of a run stopped by a signal: 128 + the signal (130, 143, 129).
// A closed output pipe ends the run quietly with 128 + SIGPIPE.
int run_with_options(int argc, char** argv, const Program& program, ProgramStreams streams);

}  // namespace kavo::cli
