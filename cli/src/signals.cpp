#include "signals.hpp"

#include <csignal>

namespace kavo::cli {

namespace {

// The only mutable global: what a signal handler may touch.
volatile std::sig_atomic_t g_stop_signal = 0;

extern "C" void record_stop(int signal) { g_stop_signal = signal; }

}  // namespace

void install_stop_handlers() {
  struct sigaction action {};
  action.sa_handler = record_stop;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
}

int stop_signal() { return g_stop_signal; }

}  // namespace kavo::cli
