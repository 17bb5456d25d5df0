#include "test_support.hpp"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "driver.hpp"

namespace kavo_test {

int steps_between(kavo::Rng from, kavo::Rng to, int limit) {
  for (int steps = 0; steps <= limit; ++steps) {
    if (from.state == to.state) return steps;
    kavo::rng_next(from);
  }
  return -1;
}

Captured run_in_process(const kavo::HypothesisSpec& spec, const std::string& argv0,
                        const std::vector<std::string>& args) {
  std::vector<std::string> storage;
  std::vector<char*> argv = make_argv(argv0, args, storage);
  return capture([&](std::FILE* out, std::FILE* err) {
    return kavo::cli::run_program(static_cast<int>(argv.size()) - 1, argv.data(), spec.id, {out, err});
  });
}

std::string binary_path(const std::string& program) {
  return std::string(KAVO_BIN_DIR) + "/" + program;
}

Captured run_binary_redirected(const std::string& program, const std::vector<std::string>& args,
                               const std::string& stdout_path, const std::string& stderr_path) {
  ChildStreams streams;
  streams.out_path = stdout_path;
  streams.err_path = stderr_path;
  return run_child(binary_path(program), args, streams);
}

Captured run_binary(const std::string& program, const std::vector<std::string>& args,
                    const std::string& stdin_path) {
  ChildStreams streams;
  streams.in_path = stdin_path;
  return run_child(binary_path(program), args, streams);
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> cells_of(const std::string& line) {
  std::vector<std::string> cells;
  std::istringstream in(line);
  for (std::string cell; std::getline(in, cell, '\t');) cells.push_back(cell);
  return cells;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void write_file(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

std::string temp_path(const std::string& name) {
  static std::string dir = [] {
    char tmpl[] = "/tmp/kavo-test-XXXXXX";
    const char* made = mkdtemp(tmpl);
    if (made == nullptr) throw std::runtime_error("mkdtemp failed");
    return std::string(made);
  }();
  return dir + "/" + name;
}

}  // namespace kavo_test
