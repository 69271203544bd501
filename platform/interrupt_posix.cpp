// Stop requests on POSIX: SIGINT, SIGTERM and SIGHUP.
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <cstring>

#include "platform/interrupt.h"

namespace platform {
namespace {

// A signal handler may touch nothing but a lock-free atomic.
static_assert(std::atomic<bool>::is_always_lock_free);
std::atomic<bool>* g_stop = nullptr;

// The file to remove, as the handler needs it made beforehand: its directory open, its name.
std::atomic<bool> g_leftover{false};
int g_leftoverDir = -1;
char g_leftoverName[NAME_MAX + 1];

extern "C" void OnStopSignal(int) {
    if (!g_stop->exchange(true))
        return;
    if (g_leftover)
        unlinkat(g_leftoverDir, g_leftoverName, 0);
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

void RegisterLeftover(const std::string& path) {
    UnregisterLeftover();
    size_t cut = path.rfind('/');
    std::string name = path.substr(cut + 1);
    std::string dir = cut == std::string::npos ? "." : cut == 0 ? "/" : path.substr(0, cut);
    if (g_leftoverDir >= 0)
        close(g_leftoverDir);
    g_leftoverDir = open(dir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    bool fits = name.size() < sizeof g_leftoverName;
    if (fits)
        std::memcpy(g_leftoverName, name.c_str(), name.size() + 1);
    g_leftover = g_leftoverDir >= 0 && fits;
}

void UnregisterLeftover() {
    g_leftover = false;
}

void IgnoreBrokenPipe() {
    signal(SIGPIPE, SIG_IGN);
}

}  // namespace platform
