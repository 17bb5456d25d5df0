#pragma once
// Strict, locale-independent number parsing for command-line and batch input.
// A number that does not fit is refused, never read as 0 or as its prefix.

#include <cstdint>
#include <string_view>

namespace kavo::cli {

// A finite decimal number: after surrounding white space is trimmed it must
// match [+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][+-]?[0-9]+)? and its value must
// not overflow a double (a value that underflows reads as the nearest double,
// possibly 0). No hexadecimal, inf or nan.
bool parse_decimal(std::string_view text, double& value);

// A whole number: after trimming, [+-]?[0-9]+ within the signed 64-bit range.
bool parse_whole(std::string_view text, std::int64_t& value);

}  // namespace kavo::cli
