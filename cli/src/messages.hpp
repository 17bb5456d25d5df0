#pragma once
// The error message forms shared by the command line and batch mode.

#include <cstdio>
#include <string>
#include <string_view>

namespace kavo::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;

// "invalid number for NAME: 'TEXT'", TEXT as given.
inline std::string invalid_number(std::string_view name, std::string_view text) {
  return "invalid number for " + std::string(name) + ": '" + std::string(text) + "'";
}

// Prints "PROGRAM ERROR : MESSAGE" and "Exiting..." and returns the failure status.
inline int report_error(std::FILE* err, const char* program, const std::string& message) {
  std::fprintf(err, "%s ERROR : %s\nExiting...\n", program, message.c_str());
  return kExitFailure;
}

}  // namespace kavo::cli
