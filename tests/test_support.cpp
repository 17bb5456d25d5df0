#include "test_support.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "driver.hpp"

extern char** environ;

namespace kavo_test {

int steps_between(kavo::Rng from, kavo::Rng to, int limit) {
  for (int steps = 0; steps <= limit; ++steps) {
    if (from.state == to.state) return steps;
    kavo::rng_next(from);
  }
  return -1;
}

namespace {

std::string slurp(std::FILE* f) {
  std::string text;
  std::rewind(f);
  char buf[4096];
  std::size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, got);
  std::fclose(f);
  return text;
}

std::vector<char*> make_argv(const std::string& argv0, const std::vector<std::string>& args,
                             std::vector<std::string>& storage) {
  storage.clear();
  storage.push_back(argv0);
  storage.insert(storage.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& s : storage) argv.push_back(s.data());
  argv.push_back(nullptr);
  return argv;
}

// Two temporary files that receive a run's standard output and error.
struct CaptureFiles {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  CaptureFiles() {
    if (out == nullptr || err == nullptr) throw std::runtime_error("tmpfile failed");
  }
  // Reads both back (and closes them) into a result with the given status.
  Captured collect(int status) {
    Captured c;
    c.status = status;
    c.out = slurp(out);
    c.err = slurp(err);
    return c;
  }
};

}  // namespace

Captured run_in_process(const kavo::HypothesisSpec& spec, const std::string& argv0,
                        const std::vector<std::string>& args) {
  std::vector<std::string> storage;
  std::vector<char*> argv = make_argv(argv0, args, storage);
  CaptureFiles files;
  return files.collect(kavo::cli::run_program(static_cast<int>(argv.size()) - 1, argv.data(), spec.id,
                                         {files.out, files.err}));
}

namespace {

// Starts path with the file actions (destroyed here), waits for it and
// collects what it wrote to the capture files.
Captured spawn_and_collect(const std::string& path, std::vector<char*>& argv,
                           posix_spawn_file_actions_t& actions, CaptureFiles& files) {
  pid_t pid;
  const int failed = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) throw std::runtime_error("cannot start " + path);
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  return files.collect(WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus));
}

}  // namespace

std::string binary_path(const std::string& program) {
  return std::string(KAVO_BIN_DIR) + "/" + program;
}

Captured run_binary_redirected(const std::string& program, const std::vector<std::string>& args,
                               const std::string& stdout_path, const std::string& stderr_path) {
  const std::string path = binary_path(program);
  std::vector<std::string> storage;
  std::vector<char*> argv = make_argv(path, args, storage);
  CaptureFiles files;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (stdout_path.empty()) {
    posix_spawn_file_actions_adddup2(&actions, fileno(files.out), 1);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, stdout_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  }
  posix_spawn_file_actions_addopen(&actions, 2, stderr_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  return spawn_and_collect(path, argv, actions, files);
}

Captured run_binary(const std::string& program, const std::vector<std::string>& args,
                    const std::string& stdin_path) {
  const std::string path = binary_path(program);
  std::vector<std::string> storage;
  std::vector<char*> argv = make_argv(path, args, storage);
  CaptureFiles files;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fileno(files.out), 1);
  posix_spawn_file_actions_adddup2(&actions, fileno(files.err), 2);
  posix_spawn_file_actions_addopen(&actions, 0, stdin_path.empty() ? "/dev/null" : stdin_path.c_str(),
                                   O_RDONLY, 0);
  return spawn_and_collect(path, argv, actions, files);
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
