#include "fuzz_support.hpp"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "driver.hpp"
#include "hypotheses/registry.hpp"

namespace kavo_fuzz {

const kavo::HypothesisSpec& spec_by_index(unsigned index) {
  return kavo::hypothesis_spec(static_cast<kavo::Hypothesis>(index % kavo::kHypothesisCount));
}

namespace {

std::string drain(std::FILE* f) {
  std::fflush(f);
  std::string text;
  std::rewind(f);
  char buf[4096];
  std::size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, got);
  std::rewind(f);
  if (ftruncate(fileno(f), 0) != 0) std::abort();
  return text;
}

}  // namespace

Run run_driver(const kavo::HypothesisSpec& spec, std::vector<std::string> argv) {
  static std::FILE* out = std::tmpfile();
  static std::FILE* err = std::tmpfile();
  std::vector<char*> pointers;
  for (std::string& a : argv) pointers.push_back(a.data());
  pointers.push_back(nullptr);
  Run run;
  run.status = kavo::cli::run_program(static_cast<int>(argv.size()), pointers.data(), spec.id, {out, err});
  run.out = drain(out);
  run.err = drain(err);
  return run;
}

void require(bool holds, const char* property, const std::string& detail) {
  if (holds) return;
  std::fprintf(stderr, "property violated: %s\n%s\n", property, detail.c_str());
  std::abort();
}

}  // namespace kavo_fuzz
