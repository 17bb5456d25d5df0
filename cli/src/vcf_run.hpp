#pragma once
// kavohw --vcf: one output row per site of a VCF, bgzipped VCF or BCF, with
// the batch mode's output, threads, progress, signals and --resume.

#include <string>

#include "program_streams.hpp"
#include "options.hpp"
#include "program.hpp"

namespace kavo::cli {

// Returns the exit status, as batch mode's (0, 1, 128 + signal).
int run_vcf(const Program& program, const RunOptions& options, ProgramStreams streams,
            const std::string& name);

}  // namespace kavo::cli
