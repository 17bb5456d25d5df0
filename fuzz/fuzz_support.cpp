#include "fuzz_support.hpp"

#include <cstdio>
#include <cstdlib>

#include "driver.hpp"
#include "hypotheses/registry.hpp"
#include "process_support.hpp"

namespace kavo_fuzz {

const kavo::HypothesisSpec& spec_by_index(unsigned index) {
  return kavo::hypothesis_spec(static_cast<kavo::Hypothesis>(index % kavo::kHypothesisCount));
}

Run run_driver(const kavo::HypothesisSpec& spec, std::vector<std::string> argv) {
  std::vector<char*> pointers;
  for (std::string& a : argv) pointers.push_back(a.data());
  pointers.push_back(nullptr);
  const kavo_test::Captured c = kavo_test::capture([&](std::FILE* out, std::FILE* err) {
    return kavo::cli::run_program(static_cast<int>(argv.size()), pointers.data(), spec.id, {out, err});
  });
  return Run{c.status, c.out, c.err};
}

void require(bool holds, const char* property, const std::string& detail) {
  if (holds) return;
  std::fprintf(stderr, "property violated: %s\n%s\n", property, detail.c_str());
  std::abort();
}

}  // namespace kavo_fuzz
