// The fast number texts against std::to_chars's, byte for byte: batch
// output must not change by a digit.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "number_text.hpp"

namespace kavo::cli {
namespace {

// Counts the values whose text differs, in either form, showing the first few.
class Compare {
 public:
  void operator()(double value) {
    char expected[64], got[kShortestBytes + 16];
    const char* const want = expected;
    const char* const have = got;
    const char* expected_end = std::to_chars(expected, expected + sizeof expected, value).ptr;
    const char* got_end = write_shortest(got, value);
    same(value, std::string(want, expected_end), std::string(have, got_end));
    expected_end = std::to_chars(expected, expected + sizeof expected, value,
                                 std::chars_format::scientific, 6).ptr;
    got_end = write_scientific(got, value);
    same(value, std::string(want, expected_end), std::string(have, got_end));
  }
  int differ() const { return differ_; }

 private:
  void same(double value, const std::string& want, const std::string& have) {
    if (want != have && ++differ_ <= 5) {
      ADD_FAILURE() << std::hexfloat << value << ": " << have << " != " << want;
    }
  }

  int differ_ = 0;
};

TEST(NumberText, SameTextAsToChars) {
  Compare check;
  std::mt19937_64 bits(5);
  for (int i = 0; i < 1000000; ++i) {
    const std::uint64_t b = bits();
    double value;
    std::memcpy(&value, &b, sizeof value);
    check(value);
  }
  // Every layout boundary: m x 10^e for short m across the range (the
  // fixed/scientific choice, the exponent's third digit, subnormals).
  for (int e = -330; e <= 310; ++e) {
    for (int m : {1, 5, 12, 99, 123, 1001, 123456789}) {
      check(std::strtod((std::to_string(m) + "e" + std::to_string(e)).c_str(), nullptr));
    }
  }
  // Whole numbers: counts, trailing zeros, and both sides of 2^53, past
  // which fixed notation prints the exact value, not the shortest digits.
  for (int i = 0; i <= 100000; ++i) check(i);
  for (int e = 0; e < 1100; ++e) {
    const double p = std::ldexp(1.0, e);
    for (double v : {p, std::nextafter(p, 0.0), std::nextafter(p, 2 * p), -p, 1 / p}) check(v);
  }
  for (double p = 1; p < 1e300; p *= 10) {
    for (double v : {p, p * 3, p + 1, std::nextafter(p, 0.0)}) check(v);
  }
  const double special[] = {0.0, -0.0, std::numeric_limits<double>::infinity(),
                            -std::numeric_limits<double>::infinity(),
                            std::numeric_limits<double>::quiet_NaN(),
                            std::numeric_limits<double>::denorm_min(),
                            std::numeric_limits<double>::max(),
                            std::numeric_limits<double>::min(), 9007199254740993.0, 1e22, 1e23};
  for (double v : special) check(v);
  // Seven-digit rounding: values at, just below and just above the
  // midpoints between seven-digit numbers (an eighth digit 5), where only
  // the exact value decides.
  for (int i = 0; i < 20000; ++i) {
    const std::string text = std::to_string(1000000 + bits() % 9000000) + "5e" +
                             std::to_string(static_cast<int>(bits() % 600) - 300);
    const double v = std::strtod(text.c_str(), nullptr);
    for (double w : {v, std::nextafter(v, 0.0), std::nextafter(v, 1e300)}) check(w);
  }
  for (int m = 1; m < 100000; ++m) check(m + 0.5);
  EXPECT_EQ(check.differ(), 0);
}

}  // namespace
}  // namespace kavo::cli
