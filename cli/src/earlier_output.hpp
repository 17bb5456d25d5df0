#pragma once
// The complete rows of an earlier run's output, read back to resume it:
// its header, then its rows one by one; the file is cut after the rows
// kept, ready to append the rest.

#include <unistd.h>

#include <cstdio>
#include <string>

namespace kavo::cli {

// The complete rows of an earlier run's output, read back to resume it.
class EarlierOutput {
 public:
  // Reads the header; false when the file holds no complete header (start over).
  bool open(std::FILE* file) {
    file_ = file;
    std::string line;
    if (!read_complete(line)) return false;
    header_ = line + "\n";
    kept_end_ = std::ftell(file_);
    return true;
  }
  const std::string& header() const { return header_; }

  // The next complete row; false when none is left.
  bool next(std::string& row) {
    if (exhausted_) return false;
    if (!read_complete(row)) {
      exhausted_ = true;
      return false;
    }
    return true;
  }
  void keep() { kept_end_ = std::ftell(file_); }

  // Cuts what follows the kept rows and positions the file to append.
  bool cut() {
    exhausted_ = true;
    std::fflush(file_);
    return ftruncate(fileno(file_), kept_end_) == 0 && std::fseek(file_, kept_end_, SEEK_SET) == 0;
  }
  bool exhausted() const { return exhausted_; }

 private:
  bool read_complete(std::string& line) {
    line.clear();
    int c;
    while ((c = std::getc(file_)) != EOF) {
      if (c == '\n') return true;
      line.push_back(static_cast<char>(c));
    }
    return false;  // the last line of an interrupted write, or nothing
  }

  std::FILE* file_ = nullptr;
  std::string header_;
  long kept_end_ = 0;
  bool exhausted_ = false;
};

}  // namespace kavo::cli
