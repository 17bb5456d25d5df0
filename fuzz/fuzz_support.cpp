#include "fuzz_support.hpp"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "kavo/driver.hpp"
#include "kavohomo/kavohomo_spec.hpp"
#include "kavohw/kavohw_spec.hpp"
#include "kavoind/kavoind_spec.hpp"
#include "kavomcn/kavomcn_spec.hpp"
#include "kavoprop/kavoprop_spec.hpp"

namespace kavo_fuzz {

const kavo::HypothesisSpec& spec_by_index(unsigned index) {
  switch (index % 5) {
    case 0: return kavoind_spec();
    case 1: return kavomcn_spec();
    case 2: return kavohomo_spec();
    case 3: return kavohw_spec();
    default: return kavoprop_spec();
  }
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
  run.status = kavo::run_program(static_cast<int>(argv.size()), pointers.data(), spec, {out, err});
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
