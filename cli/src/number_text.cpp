#include "number_text.hpp"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include <fmt/format.h>

namespace kavo::cli {

namespace {

// Up to this magnitude every whole number is a double, so the shortest
// digits padded with zeros are the exact value, as fixed notation needs.
constexpr double kExactWhole = 9007199254740992.0;  // 2^53

// Eight decimal digits of n < 10^8 as bytes 0-9, the first in the lowest
// byte: all eight found at once in one register.
std::uint64_t eight_digits(std::uint32_t n) {
  std::uint64_t v = (n / 10000) | (static_cast<std::uint64_t>(n % 10000) << 32);
  std::uint64_t t = ((v * 10486) >> 20) & 0x0000007F0000007FULL;  // each half / 100
  v = t | ((v - t * 100) << 16);
  t = ((v * 103) >> 10) & 0x000F000F000F000FULL;  // each quarter / 10
  return t | ((v - t * 10) << 8);
}

constexpr std::uint64_t kZeros = 0x3030303030303030ULL;

// words * 8 bytes of '0' at out, in whole words (a call to memset costs more).
void zeros(char* out, int words) {
  for (int i = 0; i < words; ++i) std::memcpy(out + 8 * i, &kZeros, 8);
}

// The digits of n < 10^17 (every double's significand), without leading
// zeros, somewhere in buf (48 bytes, 32 readable after the digits' start):
// returns where, and their count.
const char* digits_of(std::uint64_t n, char* buf, int& count) {
  if (n < 100000000) {  // the counts of tables, mostly
    const std::uint64_t digits = eight_digits(static_cast<std::uint32_t>(n));
    const std::uint64_t text = digits + kZeros;
    std::memcpy(buf, &text, 8);
    const int lead = digits != 0 ? std::countr_zero(digits) / 8 : 7;
    count = 8 - lead;
    return buf + lead;
  }
  const std::uint64_t high = n / 100000000;
  const std::uint64_t middle = eight_digits(static_cast<std::uint32_t>(high % 100000000));
  const std::uint64_t low = eight_digits(static_cast<std::uint32_t>(n % 100000000));
  const auto top = static_cast<char>(high / 100000000);
  buf[0] = static_cast<char>('0' + top);
  const std::uint64_t middle_text = middle + kZeros, low_text = low + kZeros;
  std::memcpy(buf + 1, &middle_text, 8);
  std::memcpy(buf + 9, &low_text, 8);
  // With top 0, middle holds high, which is not 0: no further case.
  const int lead = top != 0 ? 0 : 1 + std::countr_zero(middle) / 8;
  count = 17 - lead;
  return buf + lead;
}

// "e+XX" (or three digits) after a mantissa.
char* write_exponent(char* out, int exponent) {
  *out++ = 'e';
  *out++ = exponent < 0 ? '-' : '+';
  unsigned e = static_cast<unsigned>(exponent < 0 ? -exponent : exponent);
  if (e >= 100) {
    *out++ = static_cast<char>('0' + e / 100);
    e %= 100;
  }
  *out++ = static_cast<char>('0' + e / 10);
  *out++ = static_cast<char>('0' + e % 10);
  return out;
}

char* fallback(char* out, double value) {
  return std::to_chars(out, out + kShortestBytes, value).ptr;
}

// digits (count of them, no trailing zeros; 32 bytes readable) times
// 10^(exponent - count + 1) laid out as to_chars's shortest form lays it out;
// null when only to_chars can (fixed notation padded with zeros past 2^53,
// where it prints the exact value). Copies are of fixed sizes, past the ends
// of what is needed (out has kShortestBytes), so that none is a call.
char* lay_out(char* out, const char* digits, int count, int exponent, bool exact_whole) {
  const int exponent_digits = exponent <= -100 || exponent >= 100 ? 3 : 2;
  const int scientific = count + (count > 1 ? 1 : 0) + 2 + exponent_digits;
  const int fixed = exponent < 0              ? 2 + (-exponent - 1) + count
                    : count <= exponent + 1 ? exponent + 1
                                              : count + 1;
  if (fixed <= scientific) {
    if (exponent < 0) {
      // 0.000ddd: at most 20 zeros here, or the scientific form is shorter.
      zeros(out, 3);
      out[1] = '.';
      out += 2 + (-exponent - 1);
      std::memcpy(out, digits, 17);
      return out + count;
    }
    std::memcpy(out, digits, 17);
    if (count <= exponent + 1) {
      if (count < exponent + 1 && !exact_whole) return nullptr;
      zeros(out + count, 2);  // a whole number below 2^53: 16 digits at most
      return out + exponent + 1;
    }
    out[exponent + 1] = '.';
    std::memcpy(out + exponent + 2, digits + exponent + 1, 16);
    return out + count + 1;
  }
  out[0] = digits[0];
  out[1] = '.';
  std::memcpy(out + 2, digits + 1, 16);
  out += count > 1 ? count + 1 : 1;
  return write_exponent(out, exponent);
}

}  // namespace

char* write_shortest(char* out, double value) {
  // A count (whole, positive, below 10^8, last digit not 0) is its digits:
  // with no trailing zero the fixed form is always the shorter.
  if (value >= 1.0 && value < 1e8) {
    const auto whole = static_cast<std::uint32_t>(value);
    if (static_cast<double>(whole) == value && whole % 10 != 0) {
      return std::to_chars(out, out + kShortestBytes, whole).ptr;
    }
  }
  if (!std::isfinite(value) || value == 0.0) return fallback(out, value);
  char* const start = out;
  if (std::signbit(value)) *out++ = '-';
  const double magnitude = std::fabs(value);
  char buffer[48];
  const char* digits;
  int count;
  int exponent;
  if (magnitude < kExactWhole &&
      static_cast<double>(static_cast<std::uint64_t>(magnitude)) == magnitude) {
    // A whole number's shortest digits are its own without trailing zeros.
    int length;
    digits = digits_of(static_cast<std::uint64_t>(magnitude), buffer, length);
    exponent = length - 1;
    count = length;
    while (digits[count - 1] == '0') --count;
  } else {
    const auto decimal = fmt::detail::dragonbox::to_decimal(magnitude);
    digits = digits_of(decimal.significand, buffer, count);
    // Dragonbox leaves no trailing zeros in the significand.
    exponent = decimal.exponent + count - 1;
  }
  char* end = lay_out(out, digits, count, exponent, magnitude < kExactWhole);
  return end != nullptr ? end : fallback(start, value);
}

char* write_scientific(char* out, double value) {
  const double magnitude = std::fabs(value);
  // Normal doubles only: their spacing is far below a seventh digit's unit.
  if (!(magnitude >= std::numeric_limits<double>::min() &&
        magnitude <= std::numeric_limits<double>::max())) {
    return std::to_chars(out, out + kShortestBytes, value, std::chars_format::scientific, 6).ptr;
  }
  const auto decimal = fmt::detail::dragonbox::to_decimal(magnitude);
  char buffer[48];
  int count;
  const char* digits = digits_of(decimal.significand, buffer, count);
  int exponent = decimal.exponent + count - 1;
  // The shortest digits D rounded to seven are the exact value rounded to
  // seven: no midpoint of seven-digit numbers (an eight-digit number) lies
  // between the value and D, as it would be a shorter choice than D, or, for
  // D of eight digits or fewer, farther from D than the values that read
  // back to the same double reach. Only D ending in 5 at the eighth digit
  // is itself such a midpoint, and only the exact value decides it.
  std::uint32_t seven = 0;
  if (count <= 7) {
    for (int i = 0; i < 7; ++i) seven = seven * 10 + (i < count ? static_cast<std::uint32_t>(digits[i] - '0') : 0);
  } else {
    if (count == 8 && digits[7] == '5') {
      return std::to_chars(out, out + kShortestBytes, value, std::chars_format::scientific, 6).ptr;
    }
    for (int i = 0; i < 7; ++i) seven = seven * 10 + static_cast<std::uint32_t>(digits[i] - '0');
    if (digits[7] >= '5') ++seven;  // past the midpoint: later digits cannot bring it back
    if (seven == 10000000) {
      seven = 1000000;
      ++exponent;
    }
  }
  if (std::signbit(value)) *out++ = '-';
  const std::uint64_t text = eight_digits(seven) + kZeros;  // "0ddddddd"
  char eight[8];
  std::memcpy(eight, &text, 8);
  out[0] = eight[1];
  out[1] = '.';
  std::memcpy(out + 2, eight + 2, 6);
  return write_exponent(out + 8, exponent);
}

}  // namespace kavo::cli
