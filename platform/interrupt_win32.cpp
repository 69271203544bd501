// Stop requests on Windows: Ctrl-C, Ctrl-Break and the console closing.
#include "platform/interrupt.h"

#include <windows.h>

#include "platform/wide_win32.h"

namespace platform {
namespace {

std::atomic<bool>* g_stop = nullptr;

}  // namespace

// A file to remove, its path made beforehand.
struct Leftover {
    std::atomic<bool> armed{true};
    std::wstring path;
    Leftover* next = nullptr;
};

namespace {

// Newest first, each published whole; kept to the end of the process, as the handler may be
// reading them.
std::atomic<Leftover*> g_leftovers{nullptr};

void RemoveLeftovers() {
    for (Leftover* leftover = g_leftovers.load(); leftover; leftover = leftover->next)
        if (leftover->armed.exchange(false))
            DeleteFileW(leftover->path.c_str());
}

// Runs on a thread of its own that the system starts for each event.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    bool second = g_stop->exchange(true);
    bool ending = event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT;
    if (second || ending)
        RemoveLeftovers();
    if (second)
        return FALSE;  // the second request: the system's default ends the process
    if (!ending)
        return TRUE;
    // Closing, logoff and shutdown end the process as soon as this returns: it waits here
    // while the run writes its closing lines, until the program ends or the system's grace
    // period runs out.
    Sleep(INFINITE);
    return TRUE;
}

}  // namespace

void RaiseOnInterrupt(std::atomic<bool>& stop) {
    g_stop = &stop;
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

Leftover* RegisterLeftover(const std::string& path) {
    auto* leftover = new Leftover;
    leftover->path = SystemPath(path);
    leftover->next = g_leftovers.load();
    g_leftovers = leftover;
    return leftover;
}

void UnregisterLeftover(Leftover* leftover) {
    if (leftover)
        leftover->armed = false;
}

void IgnoreBrokenPipe() {}

}  // namespace platform
