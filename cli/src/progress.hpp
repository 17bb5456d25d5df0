#pragma once
// Standard error during a run: the progress line, row messages (capped) and
// the closing lines, so that a message never runs into the progress line.

#include <chrono>
#include <cstdint>
#include <cstdio>

#include "kavo/kavo.hpp"
#include <string>
#include <vector>

namespace kavo::cli {

// The time left from the rows done so far: the rate since the start applied
// to the rows left. Rows in all are known once the input is read to its end;
// before that they are estimated from the share of the file read (0 when
// unknown). Rows kept from an earlier run (`kept`, read but not computed)
// count toward the file's share but not toward the rate. Negative when there
// is nothing to go on.
// Why a row has no evidence, in the words of its hypothesis (a p0 is named
// only where there is one).
std::string failure_reason(Status status, Hypothesis hypothesis);

double seconds_left(double elapsed, std::uint64_t rows_done, std::uint64_t rows_read,
                    bool input_complete, std::uint64_t bytes_read, std::uint64_t input_size,
                    std::uint64_t kept = 0);

class Console {
 public:
  Console(std::FILE* err, std::string program, bool show_progress, long message_cap)
      : err_(err), program_(std::move(program)), show_(show_progress), cap_(message_cap),
        start_(std::chrono::steady_clock::now()) {}
  ~Console();
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  // "PROGRAM ERROR : line N (NAME): REASON", up to the cap; NAME (the row's
  // label) shown escaped, and left out when empty. When the name leads:
  // "line N: NAME: REASON", the name part of the reason.
  void row_failed(long line, const std::string& reason, const std::string& name = "",
                  bool name_leads = false);
  // Where every failed row is listed (line, name, reason; tab-separated)
  // once there are more than the cap: a side file of the output.
  void list_failures_in(std::string path) { list_path_ = std::move(path); }
  // Any other line on standard error (without its '\n').
  void say(const std::string& text);
  // Redraws the progress line if shown and half a second has passed (or
  // `force`).
  void progress(std::uint64_t rows_done, std::uint64_t rows_read, bool input_complete,
                std::uint64_t bytes_read, std::uint64_t input_size, std::uint64_t kept = 0,
                bool force = false);
  // Clears the progress line for good and prints the note on capped messages.
  void finish();

  const std::string& program() const { return program_; }

 private:
  void clear_line();
  void list_failure(long line, const std::string& name, const std::string& reason);

  std::FILE* err_;
  std::string program_;
  bool show_;
  long cap_;
  long shown_ = 0;
  long hidden_ = 0;
  std::string list_path_;
  std::vector<std::string> first_failures_;  // listed once the cap is passed
  std::FILE* list_ = nullptr;
  std::string list_problem_;
  std::size_t line_width_ = 0;  // of the progress line on screen; 0 when none
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_draw_{};
};

}  // namespace kavo::cli
