#pragma once
// The help text of the option form, in one place.

#include <cstdio>
#include <string>

#include "program.hpp"

namespace kavo::cli {

// The whole of --help: the positional usage, then the details. 1 when it
// could not be written.
int print_help(std::FILE* out, const char* program, const Program& spec);

// The text of -h and --help after the positional usage.
void print_help_details(std::FILE* stream, const char* program, const Program& spec);

// The last part of a path: messages name the program, not where it lives.
std::string base_name(const char* path);

}  // namespace kavo::cli
