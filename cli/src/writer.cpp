#include "writer.hpp"

#include <poll.h>
#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <system_error>

#include "number_text.hpp"

namespace kavo::cli {

void append_number(std::string& out, double value) {
  char buf[kShortestBytes];
  out.append(buf, write_shortest(buf, value));
}

void append_number(std::string& out, double value, std::chars_format format, int precision) {
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, value, format, precision);
  out.append(buf, res.ptr);
}

namespace {

// Room for any number a result field holds, with what write_shortest
// writes past its end.
constexpr std::size_t kNumberRoom = kShortestBytes;

char* write_whole(char* out, long long value) {
  return std::to_chars(out, out + kNumberRoom, value).ptr;
}

}  // namespace

void append_field(std::string& out, std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  // Most fields need neither quotes nor escapes: appended at once.
  const auto plain = [](char ch) {
    const auto c = static_cast<unsigned char>(ch);
    return c >= 0x20 && c != '"' && c != 0x7f;
  };
  if (std::all_of(text.begin(), text.end(), plain)) {
    out += text;
    return;
  }
  const bool quoted = text.find_first_of("\"\t\r\n") != std::string_view::npos;
  if (quoted) out += '"';
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c < 0x20 && c != '\t' && c != '\r' && c != '\n') || c == 0x7f) {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
      continue;
    }
    if (c == '"') out += '"';
    out += ch;
  }
  if (quoted) out += '"';
}

std::string tsv_field(std::string_view text) {
  std::string out;
  append_field(out, text);
  return out;
}

namespace {

// Numbers each followed by a tab, a few at a time through one buffer, so
// that a row's values are appended at once.
class TabbedNumbers {
 public:
  explicit TabbedNumbers(std::string& out) : out_(out) {}
  ~TabbedNumbers() { flush(); }
  TabbedNumbers(const TabbedNumbers&) = delete;
  TabbedNumbers& operator=(const TabbedNumbers&) = delete;
  void add(double value) {
    if (end_ + kNumberRoom + 1 > buf_ + sizeof buf_) flush();
    end_ = write_shortest(end_, value);
    *end_++ = '\t';
  }
  void flush() {
    out_.append(buf_, end_);
    end_ = buf_;
  }

 private:
  std::string& out_;
  char buf_[8 * (kNumberRoom + 1)];
  char* end_ = buf_;
};

}  // namespace

void append_values(std::string& out, const double* values, int count, bool read) {
  if (!read) {
    for (int i = 0; i < count; ++i) out += "NA\t";
    return;
  }
  TabbedNumbers numbers(out);
  for (int i = 0; i < count; ++i) numbers.add(values[i]);
}

void append_echo(std::string& out, const RowInput& row) {
  out += row.leading;
  if (!row.echoed) return;
  if (!row.values_read) {
    append_values(out, nullptr, row.value_count, false);
    if (row.prior != 0.0) append_values(out, &row.prior, 1, true);
    return;
  }
  TabbedNumbers numbers(out);
  for (int i = 0; i < row.value_count; ++i) numbers.add(row.values[static_cast<std::size_t>(i)]);
  if (row.prior != 0.0) numbers.add(row.prior);
}

std::string header_line(const OutputColumns& columns) {
  std::string out;
  for (const std::string& name : columns.leading) out += tsv_field(name) + '\t';
  if (columns.labelled) out += tsv_field(columns.label_name) + '\t';
  for (const std::string& name : columns.value_names) out += tsv_field(name) + '\t';
  if (columns.prior_column) out += "prior\t";
  out += "evidence\tdraws\t";
  out += describe_method(columns.method).error_column;
  out += "\tlog10_evidence\tsev\tg2\tdf\n";
  return out;
}

std::string row_prefix(const OutputColumns& columns, const TableRow& row, int value_count) {
  std::string out;
  if (columns.labelled) {
    out += row.has_label ? tsv_field(row.label) : "NA";
    out += '\t';
  }
  append_values(out, row.values, value_count, row.values_read);
  return out;
}

std::string row_result(const Result* result) {
  std::string out;
  append_result(out, result);
  return out;
}

void append_result(std::string& out, const Result* result) {
  if (result == nullptr || result->status != Status::ok) {
    out += kFailedResult;
    out += '\n';
    return;
  }
  // A method's figures carry every digit (the shortest text that reads back
  // to the same double) or its own accuracy, in the programs' "%e". The
  // fields are written into one buffer and appended once.
  const bool full_digits = describe_method(result->method).full_digits;
  char buf[7 * (kNumberRoom + 1)];
  char* end = buf;
  const auto figure = [&](double value) {
    end = full_digits ? write_shortest(end, value) : write_scientific(end, value);
    *end++ = '\t';
  };
  figure(result->evidence);
  end = write_whole(end, result->draws);
  *end++ = '\t';
  end = write_scientific(end, result->error);
  *end++ = '\t';
  figure(result->log10_evidence);
  figure(result->sev);
  end = write_shortest(end, result->g2);
  *end++ = '\t';
  end = write_whole(end, result->df);
  *end++ = '\n';
  out.append(buf, end);
}

namespace {

bool whole_number(std::string_view text) {
  long long n = 0;
  const auto res = std::from_chars(text.data(), text.data() + text.size(), n);
  return res.ec == std::errc() && res.ptr == text.data() + text.size() && n >= 0;
}

bool real_number(std::string_view text, double& value) {
  const auto res = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && res.ec == std::errc() && res.ptr == text.data() + text.size() &&
         !std::isnan(value);
}

}  // namespace

bool is_computed_result(std::string_view text) {
  std::string_view fields[7];
  for (int i = 0; i < 7; ++i) {
    const std::size_t tab = text.find('\t');
    if ((tab == std::string_view::npos) != (i == 6)) return false;
    fields[i] = text.substr(0, tab);
    text = tab == std::string_view::npos ? std::string_view() : text.substr(tab + 1);
  }
  double value = 0.0;
  if (!real_number(fields[0], value) || value < 0.0 || value > 1.0) return false;
  if (!whole_number(fields[1]) || !whole_number(fields[6])) return false;
  for (int i : {2, 3, 4, 5}) {
    if (!real_number(fields[i], value)) return false;
  }
  return true;
}

void Output::write(const std::string& text) {
  if (errno_ != 0 || text.empty()) return;
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), stream_) != text.size()) {
    errno_ = errno != 0 ? errno : EIO;
  }
}

void Output::flush() {
  if (errno_ != 0) return;
  errno = 0;
  if (std::fflush(stream_) != 0 || std::ferror(stream_)) errno_ = errno != 0 ? errno : EIO;
}

}  // namespace kavo::cli

namespace kavo::cli {

void Output::check_reader() {
  if (errno_ != 0) return;
  const int fd = fileno(stream_);
  if (is_pipe_ == -1) {
    struct stat info;
    is_pipe_ = fd >= 0 && fstat(fd, &info) == 0 && (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode));
  }
  if (is_pipe_ != 1) return;
  pollfd p{fd, 0, 0};
  if (poll(&p, 1, 0) == 1 && (p.revents & (POLLERR | POLLHUP)) != 0) errno_ = EPIPE;
}

}  // namespace kavo::cli
