// Stop requests on POSIX: SIGINT and SIGTERM.
#include <signal.h>
#include <unistd.h>

#include "platform/interrupt.h"

namespace platform {
namespace {

// A signal handler may touch nothing but a lock-free atomic.
static_assert(std::atomic<bool>::is_always_lock_free);
std::atomic<bool>* g_stop = nullptr;

extern "C" void OnStopSignal(int) {
    if (g_stop->exchange(true))
        _exit(130);
}

}  // namespace

void RaiseOnInterrupt(std::atomic<bool>& stop) {
    g_stop = &stop;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // Reads and writes in progress go on: the run looks at the flag between blocks.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void IgnoreBrokenPipe() {
    signal(SIGPIPE, SIG_IGN);
}

}  // namespace platform
