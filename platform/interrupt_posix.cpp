// Stop requests on POSIX: SIGINT, SIGTERM and SIGHUP.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <string>

#include "platform/interrupt.h"

namespace platform {
namespace {

// A signal handler may touch nothing but a lock-free atomic.
static_assert(std::atomic<bool>::is_always_lock_free);
std::atomic<bool>* g_stop = nullptr;

}  // namespace

// A file to remove, as the handler needs it made beforehand: its directory open, its name.
struct Leftover {
    std::atomic<bool> armed{false};
    int dir = -1;
    std::string name;
    Leftover* next = nullptr;
};

namespace {

// Newest first, each published whole; kept to the end of the process, as a handler may be
// reading them on any thread.
std::atomic<Leftover*> g_leftovers{nullptr};

extern "C" void OnStopSignal(int) {
    if (!g_stop->exchange(true))
        return;
    for (Leftover* leftover = g_leftovers.load(); leftover; leftover = leftover->next)
        if (leftover->armed)
            unlinkat(leftover->dir, leftover->name.c_str(), 0);
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
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

Leftover* RegisterLeftover(const std::string& path) {
    auto* leftover = new Leftover;
    size_t cut = path.rfind('/');
    leftover->name = path.substr(cut + 1);
    std::string dir = cut == std::string::npos ? "." : cut == 0 ? "/" : path.substr(0, cut);
    leftover->dir = open(dir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    leftover->armed = leftover->dir >= 0;
    leftover->next = g_leftovers.load();
    g_leftovers = leftover;
    return leftover;
}

void UnregisterLeftover(Leftover* leftover) {
    if (leftover)
        leftover->armed = false;
}

void IgnoreBrokenPipe() {
    signal(SIGPIPE, SIG_IGN);
}

}  // namespace platform
