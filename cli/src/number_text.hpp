#pragma once
// Numbers as batch output writes them, byte for byte as std::to_chars
// writes them, at a fraction of its cost: the digits come from {fmt}'s
// Dragonbox (the shortest that read back), whole numbers are written
// directly, and the rare values whose text the shortest digits cannot settle
// go to std::to_chars.

namespace kavo::cli {

// Room to leave at out: the text is 24 bytes at most, but whole words are
// written past its end.
inline constexpr int kShortestBytes = 48;

// The shortest text that reads back to the same double, as
// std::to_chars(first, last, value) writes it (fixed or scientific, whichever
// is shorter, fixed on a tie). Writes at out (kShortestBytes of room);
// returns the end of its text.
char* write_shortest(char* out, double value);

// As "%e" prints it, and std::to_chars with chars_format::scientific and
// precision 6: seven significant digits of the exact value, correctly
// rounded. The same room at out.
char* write_scientific(char* out, double value);

}  // namespace kavo::cli
