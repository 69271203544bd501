// Requests from outside the process to stop: Ctrl-C, termination and hang-up.
#pragma once

#include <atomic>
#include <string>

namespace platform {

// From now on SIGINT, SIGTERM and SIGHUP (on Windows Ctrl-C, Ctrl-Break and closing the
// console) raise stop instead of ending the process; a second request ends it at once (status
// 130 on POSIX). stop must live as long as the process.
void RaiseOnInterrupt(std::atomic<bool>& stop);

// Until Unregister with what it returned, the file at path is removed when a request ends the
// process at once (and on Windows when the console is closed, or the user logs off or the
// system shuts down, which end it soon after). Any number of files may be registered.
struct Leftover;
Leftover* RegisterLeftover(const std::string& path);
void UnregisterLeftover(Leftover* leftover);  // null is nothing

// Writing to a pipe whose reader has gone then fails with an error (EPIPE) instead of
// ending the process. Windows has no such signal.
void IgnoreBrokenPipe();

}  // namespace platform
