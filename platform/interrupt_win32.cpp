// Stop requests on Windows: Ctrl-C, Ctrl-Break and the console closing.
#include "platform/interrupt.h"

#include <windows.h>

namespace platform {
namespace {

std::atomic<bool>* g_stop = nullptr;

// Runs on a thread of its own that the system starts for each event.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (g_stop->exchange(true))
        return FALSE;  // the second request: the system's default ends the process
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT)
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

void IgnoreBrokenPipe() {}

}  // namespace platform
