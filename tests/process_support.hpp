#pragma once
// Running the command line for tests and fuzz targets: in this process with
// its streams captured, or as a child process with its streams redirected.

#include <sys/types.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace kavo_test {

struct Captured {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs body with two temporary files for standard output and error (kept
// per thread and emptied each time) and returns what it wrote to them.
Captured capture(const std::function<int(std::FILE* out, std::FILE* err)>& body);

// argv for a program: argv0, then args, then a null pointer; `storage` owns the text.
std::vector<char*> make_argv(const std::string& argv0, const std::vector<std::string>& args,
                             std::vector<std::string>& storage);

// Where a child's standard streams go. A path is opened for it (standard
// input from /dev/null when empty); a descriptor, when not -1, is used as it
// is. Output and error with neither are captured by run_child.
struct ChildStreams {
  std::string in_path;
  std::string out_path;
  std::string err_path;
  int out_fd = -1;
  int err_fd = -1;
  int close_fd = -1;  // closed in the child (the other end of a pipe)
};

// Starts the program at path with args (argv[0] is the path); returns its pid.
pid_t spawn(const std::string& path, const std::vector<std::string>& args, const ChildStreams& streams);

// Waits for a child: its exit status, or 128 + the signal that ended it.
int wait_child(pid_t pid);

// Runs a child to its end with its streams as given, capturing those
// without a path or descriptor.
Captured run_child(const std::string& path, const std::vector<std::string>& args,
                   ChildStreams streams);

}  // namespace kavo_test
