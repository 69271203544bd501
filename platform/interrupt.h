// Requests from outside the process to stop: Ctrl-C and termination.
#pragma once

#include <atomic>

namespace platform {

// From now on SIGINT and SIGTERM (on Windows Ctrl-C, Ctrl-Break and closing the console)
// raise stop instead of ending the process; a second request ends it at once (status 130
// on POSIX). stop must live as long as the process.
void RaiseOnInterrupt(std::atomic<bool>& stop);

// Writing to a pipe whose reader has gone then fails with an error (EPIPE) instead of
// ending the process. Windows has no such signal.
void IgnoreBrokenPipe();

}  // namespace platform
