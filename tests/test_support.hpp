#pragma once
// Helpers shared by the tests: counting generator steps, and running a
// program (in-process or as a child process) with its output captured.

#include <cstdint>
#include <string>
#include <vector>

#include "hypotheses/hypothesis_spec.hpp"
#include "process_support.hpp"
#include "random/rng.hpp"

namespace kavo_test {

// How many rng_next steps lead from `from` to `to` (at most `limit`; -1 if more).
int steps_between(kavo::Rng from, kavo::Rng to, int limit = 100000);

// Runs the shared driver in this process; args excludes the program name,
// which is passed as argv[0].
Captured run_in_process(const kavo::HypothesisSpec& spec, const std::string& argv0,
                        const std::vector<std::string>& args);

// Runs a built program as a child process; program is its name (kavoind, ...).
// Standard input comes from stdin_path (empty: /dev/null).
Captured run_binary(const std::string& program, const std::vector<std::string>& args,
                    const std::string& stdin_path = "");

// As run_binary, with standard error (and optionally output) sent to the
// given paths instead of being captured (such as /dev/full).
Captured run_binary_redirected(const std::string& program, const std::vector<std::string>& args,
                               const std::string& stdout_path, const std::string& stderr_path);

// The path of a built program.
std::string binary_path(const std::string& program);

// The lines of a text, and the tab-separated cells of a line.
std::vector<std::string> lines_of(const std::string& text);
std::vector<std::string> cells_of(const std::string& line);

// Writes text to a file.
void write_file(const std::string& path, const std::string& text);

std::string read_file(const std::string& path);

// A fresh path in a private temporary folder.
std::string temp_path(const std::string& name);

// The option form's result columns after the values, for each method, and
// a failed row's seven result fields.
inline const std::string kMonteCarloColumns =
    "evidence\tdraws\thalf_width\tlog10_evidence\tsev\tg2\tdf";
inline const std::string kExactColumns =
    "evidence\tdraws\terror_bound\tlog10_evidence\tsev\tg2\tdf";
inline const std::string kFailedResult = "NA\tNA\tNA\tNA\tNA\tNA\tNA";

}  // namespace kavo_test
