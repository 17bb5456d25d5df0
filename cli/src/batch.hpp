#pragma once
// Batch mode: many tables in one run, read one per line from a file or
// standard input, computed in parallel and written in input order as
// tab-separated rows.

#include "driver.hpp"
#include "program.hpp"

namespace kavo::cli {

// True when argv[1] asks for batch mode (an option other than -h, --help and
// --version).
bool is_batch_invocation(int argc, char** argv);

// Runs batch mode; returns 0 when every row was computed, 1 otherwise.
int run_batch(int argc, char** argv, const Program& program, ProgramStreams streams);

// The batch part of --help.
void print_batch_usage(std::FILE* stream, const char* program);

}  // namespace kavo::cli
