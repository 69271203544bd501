// Stop requests on Windows: Ctrl-C, Ctrl-Break and the console closing.
#include "platform/interrupt.h"

#include <windows.h>

#include "platform/wide_win32.h"

namespace platform {
namespace {

std::atomic<bool>* g_stop = nullptr;

// The file to remove, its path made beforehand.
std::atomic<bool> g_leftover{false};
std::wstring g_leftoverPath;

void RemoveLeftover() {
    if (g_leftover.exchange(false))
        DeleteFileW(g_leftoverPath.c_str());
}

// Runs on a thread of its own that the system starts for each event.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    bool second = g_stop->exchange(true);
    bool ending = event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT;
    if (second || ending)
        RemoveLeftover();
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

void RegisterLeftover(const std::string& path) {
    UnregisterLeftover();
    g_leftoverPath = SystemPath(path);
    g_leftover = true;
}

void UnregisterLeftover() {
    g_leftover = false;
}

void IgnoreBrokenPipe() {}

}  // namespace platform
