#pragma once
// Stopping a run on SIGINT, SIGTERM or SIGHUP (a closed terminal): the handlers only record the signal;
// the run checks it, writes what it has computed and exits 128 + signal.

namespace kavo::cli {

// Installs the handlers (without SA_RESTART, so a blocked read returns) and
// ignores SIGPIPE, so a closed output pipe is a failed write the run sees.
void install_stop_handlers();

// The signal that asked to stop, or 0.
int stop_signal();

}  // namespace kavo::cli
