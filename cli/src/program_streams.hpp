#pragma once
// Where a program's output and messages go, and whether it owns the process.

#include <cstdio>

namespace kavo::cli {

struct ProgramStreams {
  std::FILE* out;
  std::FILE* err;
  // A whole process: the option form handles SIGINT, SIGTERM and SIGPIPE.
  bool handle_signals = false;
};

}  // namespace kavo::cli
