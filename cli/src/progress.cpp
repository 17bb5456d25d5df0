#include "progress.hpp"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "reader.hpp"

namespace kavo::cli {

double seconds_left(double elapsed, std::uint64_t rows_done, std::uint64_t rows_read,
                    bool input_complete, std::uint64_t bytes_read, std::uint64_t input_size,
                    std::uint64_t kept) {
  if (rows_done == 0 || elapsed <= 0.0) return -1.0;
  const double read = static_cast<double>(rows_read + kept);
  double total = 0.0;
  if (input_complete) {
    total = read;
  } else if (input_size > 0 && bytes_read > 0) {
    total = read * static_cast<double>(input_size) / static_cast<double>(bytes_read);
  } else {
    return -1.0;
  }
  const double left = std::max(0.0, total - static_cast<double>(rows_done + kept));
  return left * elapsed / static_cast<double>(rows_done);
}

void Console::clear_line() {
  if (line_width_ == 0) return;
  std::fprintf(err_, "\r%*s\r", static_cast<int>(line_width_), "");
  line_width_ = 0;
}

std::string failure_reason(Status status, Hypothesis hypothesis) {
  if (status == Status::refused_values && hypothesis != Hypothesis::proportion) {
    return "Dirichlet parameters must be greater than 1";
  }
  return describe(status);
}

Console::~Console() {
  if (list_ != nullptr) std::fclose(list_);
}

void Console::list_failure(long line, const std::string& name, const std::string& reason) {
  if (list_path_.empty() || !list_problem_.empty()) return;
  std::string entry = std::to_string(line) + '\t' + printable(name) + '\t' + printable(reason) + '\n';
  if (list_ == nullptr && shown_ < cap_) {
    first_failures_.push_back(std::move(entry));
    return;
  }
  if (list_ == nullptr) {
    list_ = std::fopen(list_path_.c_str(), "w");
    if (list_ == nullptr) {
      list_problem_ = std::strerror(errno);
      return;
    }
    std::fputs("line\tlabel\treason\n", list_);
    for (const std::string& earlier : first_failures_) std::fputs(earlier.c_str(), list_);
    first_failures_.clear();
  }
  std::fputs(entry.c_str(), list_);
}

void Console::row_failed(long line, const std::string& reason, const std::string& name,
                         bool name_leads) {
  if (name_leads) return row_failed(line, name + ": " + reason);
  list_failure(line, name, reason);
  if (cap_ >= 0 && shown_ >= cap_) {
    ++hidden_;
    return;
  }
  ++shown_;
  // A table from the command line has no line.
  std::string where;
  if (line > 0) where = "line " + std::to_string(line) + (name.empty() ? "" : " (" + printable(name) + ")") + ": ";
  say(program_ + " ERROR : " + where + reason);
}

void Console::say(const std::string& text) {
  clear_line();
  std::fprintf(err_, "%s\n", text.c_str());
  std::fflush(err_);
}

void Console::progress(std::uint64_t rows_done, std::uint64_t rows_read, bool input_complete,
                       std::uint64_t bytes_read, std::uint64_t input_size, std::uint64_t kept,
                       bool force) {
  if (!show_) return;
  const auto now = std::chrono::steady_clock::now();
  if (!force && now - last_draw_ < std::chrono::milliseconds(500)) return;
  last_draw_ = now;
  const double elapsed = std::chrono::duration<double>(now - start_).count();
  char text[256];
  int n = std::snprintf(text, sizeof text, "%s: %llu rows, %.1f rows/s", program_.c_str(),
                        static_cast<unsigned long long>(rows_done),
                        elapsed > 0 ? static_cast<double>(rows_done) / elapsed : 0.0);
  const double left =
      seconds_left(elapsed, rows_done, rows_read, input_complete, bytes_read, input_size, kept);
  if (n > 0 && n < static_cast<int>(sizeof text) && left >= 0.0) {
    n += std::snprintf(text + n, sizeof text - static_cast<std::size_t>(n), ", about %.0f s left",
                       std::ceil(left));
  }
  clear_line();
  std::fputs(text, err_);
  std::fflush(err_);
  line_width_ = std::string(text).size() + 1;
}

void Console::finish() {
  clear_line();
  if (hidden_ > 0) {
    std::string where;
    if (list_ != nullptr) {
      const bool written = std::fclose(list_) == 0;
      list_ = nullptr;
      where = written ? "; all " + std::to_string(shown_ + hidden_) + " are listed in '" +
                            printable(list_path_) + "'"
                      : "; cannot write '" + printable(list_path_) + "'";
    } else if (!list_problem_.empty()) {
      where = "; cannot write '" + printable(list_path_) + "': " + list_problem_;
    }
    say(program_ + " ERROR : " + std::to_string(hidden_) +
        " more failed rows not shown (their rows hold NA)" + where);
    hidden_ = 0;
  }
  show_ = false;
}

}  // namespace kavo::cli
