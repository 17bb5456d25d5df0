#pragma once
// The option form: batch mode (many tables, one per line of a file or of
// standard input) and one table given with options on the command line.
// Both write the same tab-separated table, streamed in input order.

#include <string>

#include "driver.hpp"
#include "program.hpp"

namespace kavo::cli {

// Status of a run stopped by a signal: 128 + the signal (130, 143).
// A closed output pipe ends the run quietly with 128 + SIGPIPE.
int run_with_options(int argc, char** argv, const Program& program, ProgramStreams streams);

// The text of -h and --help after the positional usage.
void print_help_details(std::FILE* stream, const char* program, const Program& spec);

// The last part of a path: messages name the program, not where it lives.
std::string base_name(const char* path);

}  // namespace kavo::cli
