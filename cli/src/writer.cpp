#include "writer.hpp"

#include <poll.h>
#include <sys/stat.h>

#include <charconv>

namespace kavo::cli {

namespace {

void append_number(std::string& out, double value) {
  char buf[32];
  const auto res = std::to_chars(buf, buf + sizeof buf, value);
  out.append(buf, res.ptr);
}

void append_format(std::string& out, const char* format, double value) {
  char buf[64];
  const int n = std::snprintf(buf, sizeof buf, format, value);
  out.append(buf, static_cast<std::size_t>(n));
}

}  // namespace

std::string tsv_field(std::string_view text) {
  if (text.find_first_of("\"\t\r\n") == std::string_view::npos) return std::string(text);
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

std::string header_line(const OutputColumns& columns) {
  std::string out;
  if (columns.labelled) out += tsv_field(columns.label_name) + '\t';
  for (const std::string& name : columns.value_names) out += tsv_field(name) + '\t';
  out += columns.method == Method::monte_carlo ? "evidence\tdraws\thalf_width"
                                               : "evidence\tdraws\terror_bound";
  out += "\tlog10_evidence\tsev\tg2\tdf\n";
  return out;
}

std::string row_prefix(const OutputColumns& columns, const TableRow& row, int value_count) {
  std::string out;
  if (columns.labelled) {
    out += row.has_label ? tsv_field(row.label) : "NA";
    out += '\t';
  }
  for (int i = 0; i < value_count; ++i) {
    if (row.values_read) {
      append_number(out, row.values[i]);
    } else {
      out += "NA";
    }
    out += '\t';
  }
  return out;
}

std::string row_result(const Result* result) {
  if (result == nullptr || result->status != Status::ok) return "NA\tNA\tNA\tNA\tNA\tNA\tNA\n";
  // Monte Carlo's figures carry its own accuracy, in the programs' "%e";
  // the exact method's carry every digit (the shortest text that reads back
  // to the same double).
  const bool exact = result->method != Method::monte_carlo;
  const auto figure = [&](std::string& text, double value) {
    if (exact) {
      append_number(text, value);
    } else {
      append_format(text, "%e", value);
    }
  };
  std::string out;
  figure(out, result->evidence);
  out += '\t';
  out += std::to_string(result->draws);
  out += '\t';
  append_format(out, "%e", result->error);
  out += '\t';
  figure(out, result->log10_evidence);
  out += '\t';
  figure(out, result->sev);
  out += '\t';
  append_number(out, result->g2);
  out += '\t';
  out += std::to_string(result->df);
  out += '\n';
  return out;
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
