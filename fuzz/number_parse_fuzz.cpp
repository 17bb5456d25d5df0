// The strict number parsers: an accepted text converts to a finite value that
// agrees with the C library's reading and round-trips through its printed form;
// a refused text leaves the output untouched.

#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_support.hpp"
#include "number_parse.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  using kavo_fuzz::require;

  double value = 12345.0;
  if (kavo::cli::parse_decimal(text, value)) {
    require(std::isfinite(value), "accepted decimal is finite", text);
    // The process runs in the C locale, where strtod reads the same syntax.
    require(text.find('\0') == std::string::npos, "accepted decimal has no NUL", text);
    char* end = nullptr;
    const double expected = std::strtod(text.c_str(), &end);
    require(expected == value, "accepted decimal agrees with strtod", text);
    char printed[64];
    std::snprintf(printed, sizeof printed, "%.17g", value);
    double again = 0.0;
    require(kavo::cli::parse_decimal(printed, again) && again == value,
            "accepted decimal round-trips through %.17g", text + " -> " + printed);
  } else {
    require(value == 12345.0, "refused decimal leaves the value untouched", text);
  }

  std::int64_t whole = 777;
  if (kavo::cli::parse_whole(text, whole)) {
    require(text.find('\0') == std::string::npos, "accepted whole number has no NUL", text);
    errno = 0;
    const long long expected = std::strtoll(text.c_str(), nullptr, 10);
    require(errno == 0 && expected == whole, "accepted whole number agrees with strtoll", text);
    char printed[32];
    std::snprintf(printed, sizeof printed, "%" PRId64, whole);
    std::int64_t again = 0;
    require(kavo::cli::parse_whole(printed, again) && again == whole,
            "accepted whole number round-trips", text);
  } else {
    require(whole == 777, "refused whole number leaves the value untouched", text);
  }
  return 0;
}
