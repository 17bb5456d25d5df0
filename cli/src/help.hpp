#pragma once
// The help text of the option form, in one place.

#include <cstdio>
#include <string>

#include "program.hpp"

namespace kavo::cli {

// The positional form's usage: the program, then its parameters.
void print_usage(std::FILE* stream, const char* invoked, const Program& program);

// The whole of --help: the positional usage, then the details. 1 when it
// could not be written.
int print_help(std::FILE* out, const char* invoked, const Program& program);

// The text of -h and --help after the positional usage.
void print_help_details(std::FILE* stream, const char* invoked, const Program& program);

// The last part of a path: messages name the program, not where it lives.
std::string base_name(const char* path);

}  // namespace kavo::cli
