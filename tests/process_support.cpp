#include "process_support.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

extern char** environ;

namespace kavo_test {

namespace {

// Reads a capture file back and empties it for the next use.
std::string drain(std::FILE* f) {
  std::fflush(f);
  std::string text;
  std::rewind(f);
  char buf[4096];
  std::size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, got);
  std::rewind(f);
  if (ftruncate(fileno(f), 0) != 0) throw std::runtime_error("cannot empty a capture file");
  return text;
}

std::FILE* capture_file() {
  std::FILE* f = std::tmpfile();
  if (f == nullptr) throw std::runtime_error("tmpfile failed");
  return f;
}

}  // namespace

Captured capture(const std::function<int(std::FILE* out, std::FILE* err)>& body) {
  thread_local std::FILE* out = capture_file();
  thread_local std::FILE* err = capture_file();
  Captured c;
  c.status = body(out, err);
  c.out = drain(out);
  c.err = drain(err);
  return c;
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

pid_t spawn(const std::string& path, const std::vector<std::string>& args, const ChildStreams& s) {
  std::vector<std::string> storage;
  std::vector<char*> argv = make_argv(path, args, storage);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const auto place = [&](int target, int fd, const std::string& file, int flags) {
    if (fd >= 0) {
      posix_spawn_file_actions_adddup2(&actions, fd, target);
    } else if (!file.empty()) {
      posix_spawn_file_actions_addopen(&actions, target, file.c_str(), flags, 0600);
    }
  };
  place(1, s.out_fd, s.out_path, O_WRONLY | O_CREAT | O_TRUNC);
  place(2, s.err_fd, s.err_path, O_WRONLY | O_CREAT | O_TRUNC);
  if (s.close_fd >= 0) posix_spawn_file_actions_addclose(&actions, s.close_fd);
  posix_spawn_file_actions_addopen(&actions, 0, s.in_path.empty() ? "/dev/null" : s.in_path.c_str(),
                                   O_RDONLY, 0);
  pid_t pid = -1;
  const int failed = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) throw std::runtime_error("cannot start " + path);
  return pid;
}

int wait_child(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

Captured run_child(const std::string& path, const std::vector<std::string>& args,
                   ChildStreams streams) {
  return capture([&](std::FILE* out, std::FILE* err) {
    if (streams.out_fd < 0 && streams.out_path.empty()) streams.out_fd = fileno(out);
    if (streams.err_fd < 0 && streams.err_path.empty()) streams.err_fd = fileno(err);
    return wait_child(spawn(path, args, streams));
  });
}

}  // namespace kavo_test
