#include "number_parse.hpp"

#include <charconv>
#include <system_error>

namespace kavo::cli {

namespace {

bool is_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

std::string_view trim(std::string_view text) {
  while (!text.empty() && is_space(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_space(text.back())) text.remove_suffix(1);
  return text;
}

std::size_t count_digits(std::string_view text, std::size_t pos) {
  std::size_t end = pos;
  while (end < text.size() && is_digit(text[end])) ++end;
  return end - pos;
}

}  // namespace

bool parse_decimal(std::string_view text, double& value) {
  text = trim(text);
  std::size_t pos = 0;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  const std::size_t body = pos;

  // Mantissa: digits, an optional point, digits; at least one digit in all.
  const std::size_t int_digits = count_digits(text, pos);
  pos += int_digits;
  std::size_t frac_digits = 0;
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    frac_digits = count_digits(text, pos);
    pos += frac_digits;
  }
  if (int_digits + frac_digits == 0) return false;
  const std::size_t mantissa_end = pos;

  // A whole number of up to 15 digits (a count, mostly) is exact as a
  // double: no general conversion needed.
  if (pos == text.size() && frac_digits == 0 && int_digits <= 15) {
    std::int64_t whole = 0;
    for (std::size_t i = body; i < body + int_digits; ++i) whole = whole * 10 + (text[i] - '0');
    const auto parsed = static_cast<double>(whole);
    value = negative ? -parsed : parsed;
    return true;
  }

  // Decimal exponent of the leading significant digit, to tell an overflow
  // from an underflow when the conversion is out of range.
  long long lead = 0;
  bool all_zero = true;
  for (std::size_t i = body; i < mantissa_end; ++i) {
    if (text[i] == '.' || text[i] == '0') continue;
    all_zero = false;
    lead = i < body + int_digits ? static_cast<long long>(body + int_digits - i) - 1
                                 : -static_cast<long long>(i - (body + int_digits));
    break;
  }

  long long exponent = 0;
  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    ++pos;
    bool exp_negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
      exp_negative = text[pos] == '-';
      ++pos;
    }
    const std::size_t exp_digits = count_digits(text, pos);
    if (exp_digits == 0) return false;
    for (std::size_t i = pos; i < pos + exp_digits; ++i) {
      if (exponent < 100000) exponent = exponent * 10 + (text[i] - '0');  // saturate
    }
    if (exp_negative) exponent = -exponent;
    pos += exp_digits;
  }
  if (pos != text.size()) return false;

  double parsed = 0.0;
  const auto [end, ec] = std::from_chars(text.data() + body, text.data() + text.size(), parsed,
                                         std::chars_format::general);
  if (end != text.data() + text.size()) return false;
  if (ec == std::errc::result_out_of_range) {
    if (all_zero || lead + exponent >= 0) return false;  // too large for a double
    parsed = 0.0;                                        // underflow
  } else if (ec != std::errc()) {
    return false;
  }
  value = negative ? -parsed : parsed;
  return true;
}

bool parse_whole(std::string_view text, std::int64_t& value) {
  text = trim(text);
  std::size_t pos = 0;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) pos = 1;
  const std::size_t digits = count_digits(text, pos);
  if (digits == 0 || pos + digits != text.size()) return false;
  // from_chars takes a leading minus but not a plus.
  const std::size_t from = text[0] == '+' ? 1 : 0;
  std::int64_t parsed = 0;
  const auto [end, ec] =
      std::from_chars(text.data() + from, text.data() + text.size(), parsed);
  if (ec != std::errc() || end != text.data() + text.size()) return false;
  value = parsed;
  return true;
}

}  // namespace kavo::cli
